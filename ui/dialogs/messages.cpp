#include "ui/dialogs/messages.h"

#include <variant>

#include "sources/playlist.h"
#include "ui/dialogs/ui_text.h"

namespace zv {
QString from_utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Language window_text_language() {
    return message_text(CONFIRM_CAPTION) == QString::fromUtf8(CONFIRM_CAPTION) ? Language::Japanese
                                                                               : Language::English;
}

QString fill_text(const char* format, std::initializer_list<QString> values) {
    const QString f = message_text(format);
    QString out;
    auto next = values.begin();
    for (qsizetype i = 0; i < f.size(); ++i) {
        if (f[i] == QLatin1Char('%') && i + 1 < f.size() &&
            (f[i + 1] == QLatin1Char('s') || f[i + 1] == QLatin1Char('d')) &&
            next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += f[i];
        }
    }
    return out;
}

BoxMessage error_message(const QString& text) {
    return BoxMessage{message_text(APP_MESSAGE_CAPTION), text, MessageIcon::Warning,
                      MessageButtons::Ok};
}

BoxMessage confirm_message(const QString& text) {
    return BoxMessage{message_text(CONFIRM_CAPTION), text, MessageIcon::Question,
                      MessageButtons::OkCancel};
}

BoxMessage device_problem_message(DeviceProblem problem) {
    switch (problem) {
        case DeviceProblem::NoOutput:
            return error_message(message_text(TEXT_NO_OUTPUT_DEVICE));
        case DeviceProblem::NoInput:
            break;
    }
    return error_message(message_text(TEXT_NO_INPUT_DEVICE));
}

BoxMessage list_full_message() {
    return error_message(fill_text(TEXT_LIST_FULL, {QString::number(MAX_SONGS)}));
}

BoxMessage wave_format_error_message() {
    return BoxMessage{message_text(WAVE_FORMAT_ERROR_CAPTION), message_text(TEXT_WAVE_FORMAT_ERROR),
                      MessageIcon::Warning, MessageButtons::Ok};
}

BoxMessage device_open_error_message(const DeviceError& error) {
    QString text;
    switch (error.failure) {
        case DeviceFailure::SystemError:
            text = from_utf8(error.system_text);
            break;
        case DeviceFailure::JackServerGone:
            text = message_text(TEXT_JACK_SERVER_GONE);
            break;
        case DeviceFailure::JackPortsRefused:
            text = message_text(TEXT_JACK_PORTS_REFUSED);
            break;
        case DeviceFailure::LiveNeedsOneSystem:
            text = message_text(TEXT_LIVE_NEEDS_ONE_SYSTEM);
            break;
    }
    if (!error.device.empty()) {
        text += QLatin1Char('\n') + from_utf8(error.device);
    }
    return BoxMessage{QString(), text, MessageIcon::None, MessageButtons::Ok};
}

BoxMessage encoder_params_too_long_message() {
    return BoxMessage{message_text(ENCODER_PARAMS_ERROR_CAPTION),
                      message_text(ENCODER_PARAMS_ERROR_TEXT), MessageIcon::Warning,
                      MessageButtons::Ok};
}

BoxMessage language_next_start_message() {
    return BoxMessage{message_text(APP_MESSAGE_CAPTION), message_text(TEXT_LANGUAGE_NEXT_START),
                      MessageIcon::None, MessageButtons::Ok};
}

BoxMessage export_song_confirm_message(std::string_view source, std::string_view target) {
    return confirm_message(
        fill_text(TEXT_EXPORT_SONG_CONFIRM, {from_utf8(source), from_utf8(target)}));
}

BoxMessage export_all_confirm_message(bool to_source_folders, std::string_view folder) {
    if (to_source_folders) {
        return confirm_message(message_text(TEXT_EXPORT_ALL_TO_SOURCE_FOLDERS));
    }
    return confirm_message(fill_text(TEXT_EXPORT_ALL_TO_FOLDER, {from_utf8(folder)}));
}

BoxMessage export_confirm_message(const ExportConfirmation& question) {
    if (const auto* song = std::get_if<ConfirmExportSong>(&question)) {
        return export_song_confirm_message(song->source, song->target);
    }
    const auto& all = std::get<ConfirmExportAll>(question);
    return export_all_confirm_message(all.beside_sources, all.folder);
}

BoxMessage export_refusal_message(const ExportRefusal& refusal) {
    switch (refusal.kind) {
        case ExportRefusalKind::NoSongSelected:
            return error_message(message_text(TEXT_NO_SONG_SELECTED));
        case ExportRefusalKind::PlaylistEmpty:
            return error_message(message_text(TEXT_PLAYLIST_EMPTY));
        case ExportRefusalKind::AffixNotPlain:
            return error_message(fill_text(TEXT_AFFIX_NOT_PLAIN, {from_utf8(refusal.affix)}));
        case ExportRefusalKind::NoFolder:
            break;
    }
    return error_message(message_text(TEXT_NO_FOLDER));
}

QString target_clash_text(const TargetClash& clash) {
    switch (clash.kind) {
        case TargetClashKind::ReplacesItself:
            return fill_text(TEXT_REPLACES_ITSELF, {from_utf8(clash.output)});
        case TargetClashKind::ReplacesSource:
            return fill_text(TEXT_REPLACES_SOURCE,
                             {from_utf8(clash.output), from_utf8(clash.other)});
        case TargetClashKind::SameOutput:
            break;
    }
    return fill_text(TEXT_SAME_OUTPUT, {from_utf8(clash.output), from_utf8(clash.other)});
}

std::optional<BoxMessage> playlist_file_message(const PlaylistFileResult& result,
                                                std::string_view path) {
    const QString file = from_utf8(path);
    const QString why =
        QStringLiteral("\n(") + from_utf8(playlist_file_reason(result)) + QLatin1Char(')');
    switch (result.status) {
        case PlaylistFileStatus::ok:
        case PlaylistFileStatus::engine_busy:
            return std::nullopt;
        case PlaylistFileStatus::cannot_open:
            return error_message(message_text(TEXT_PLAYLIST_CANNOT_OPEN) + file + why);
        case PlaylistFileStatus::wrong_size:
            return error_message(message_text(TEXT_NOT_A_PLAYLIST) + file);
        case PlaylistFileStatus::read_error:
            return error_message(message_text(TEXT_PLAYLIST_CANNOT_READ) + file + why);
        case PlaylistFileStatus::cannot_write:
            return error_message(message_text(TEXT_PLAYLIST_CANNOT_SAVE) + file + why);
    }
    return std::nullopt;
}

BoxMessage save_user_preset_message(int n) {
    // Full-width digits in the Japanese question, plain ones in the English.
    static const char* const DIGITS[] = {QT_TRANSLATE_NOOP("Message", "１"),
                                         QT_TRANSLATE_NOOP("Message", "２"),
                                         QT_TRANSLATE_NOOP("Message", "３")};
    const int i = n < 1 ? 0 : n > 3 ? 2 : n - 1;
    return confirm_message(fill_text(TEXT_SAVE_USER_PRESET, {message_text(DIGITS[i])}));
}

BoxMessage latest_version_message() {
    return BoxMessage{message_text(LATEST_VERSION_CAPTION),
                      fill_text(TEXT_LATEST_VERSION, {QString::fromUtf8(HOME_PAGE_URL)}),
                      MessageIcon::Question, MessageButtons::YesNo};
}

BoxMessage paths_too_long_message(int count) {
    return error_message(fill_text(TEXT_PATHS_TOO_LONG, {QString::number(count)}));
}

BoxMessage save_failed_message(std::string_view path, std::string_view why) {
    return error_message(fill_text(TEXT_SAVE_FAILED, {from_utf8(path), from_utf8(why)}));
}

BoxMessage ini_write_failed_message(std::string_view path, std::string_view why) {
    return error_message(fill_text(TEXT_INI_WRITE_FAILED, {from_utf8(path), from_utf8(why)}));
}

BoxMessage program_folder_unusable_message(std::string_view why) {
    return error_message(fill_text(TEXT_PROGRAM_FOLDER_UNUSABLE, {from_utf8(why)}));
}

BoxMessage export_cancelled_message(std::string_view target) {
    return BoxMessage{message_text(APP_MESSAGE_CAPTION),
                      fill_text(TEXT_EXPORT_CANCELLED, {from_utf8(target)}), MessageIcon::None,
                      MessageButtons::Ok};
}

BoxMessage encoder_not_confirmed_message(std::string_view program, std::string_view params) {
    BoxMessage m = confirm_message(
        fill_text(TEXT_ENCODER_NOT_CONFIRMED, {from_utf8(program), from_utf8(params)}));
    m.default_is_negative = true;
    return m;
}

BoxMessage songs_left_out_message(int count) {
    BoxMessage m = list_full_message();
    m.text += QStringLiteral("\n\n") + fill_text(TEXT_SONGS_LEFT_OUT, {QString::number(count)});
    return m;
}

BoxMessage export_failed_message(std::string_view source, const QString& why) {
    return error_message(fill_text(TEXT_EXPORT_FAILED, {from_utf8(source), why}));
}

BoxMessage export_all_failed_message(const QString& lines) {
    return error_message(fill_text(TEXT_EXPORT_ALL_FAILED, {lines}));
}

BoxMessage export_all_loudness_message(const QStringList& lines) {
    QStringList shown = lines.mid(0, LOUDNESS_SUMMARY_LINES);
    if (lines.size() > LOUDNESS_SUMMARY_LINES) {
        shown << fill_text(TEXT_LOUDNESS_MORE_SONGS,
                           {QString::number(lines.size() - LOUDNESS_SUMMARY_LINES)});
    }
    return BoxMessage{QString::fromUtf8(APP_MESSAGE_CAPTION),
                      fill_text(TEXT_EXPORT_ALL_LOUDNESS, {shown.join(QLatin1Char('\n'))}),
                      MessageIcon::None, MessageButtons::Ok};
}

BoxMessage encoder_request_message(bool use_external, std::string_view program,
                                   std::string_view params) {
    BoxMessage m = confirm_message(fill_text(
        TEXT_ENCODER_REQUEST, {use_external ? QStringLiteral("ON") : QStringLiteral("OFF"),
                               from_utf8(program), from_utf8(params)}));
    m.default_is_negative = true;
    return m;
}

}  // namespace zv
