#include "ui/dialogs/messages.h"

#include "export/external_encoder.h"
#include "playback/device_list.h"
#include "sources/playlist.h"
#include "ui/dialogs/ui_text.h"

namespace zv {
namespace {

// The core's texts that the window shows, marked for the translation catalogue here: the core
// does not use Qt. They must stay the same as the core's constants (a test compares).
[[maybe_unused]] constexpr const char* CORE_MESSAGES[] = {
    QT_TRANSLATE_NOOP("Message",
                      "使用可能な出力サウンドデバイスが見つかりません。\nプレーヤー機能、ON-"
                      "AIRモードは使用できません。"),
    QT_TRANSLATE_NOOP(
        "Message",
        "使用可能な入力サウンドデバイスが見つかりません。\nON-AIRモードは使用できません。"),
    QT_TRANSLATE_NOOP("Message", "外部MP3エンコーダ パラメータエラー"),
    QT_TRANSLATE_NOOP("Message", "パラメータの文字列が長すぎます。 (MAX LENGTH=260)"),
};

}  // namespace

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

BoxMessage no_output_device_message() {
    return error_message(message_text(NO_OUTPUT_DEVICE_TEXT));
}

BoxMessage no_input_device_message() {
    return error_message(message_text(NO_INPUT_DEVICE_TEXT));
}

BoxMessage list_full_message() {
    return error_message(fill_text(TEXT_LIST_FULL, {QString::number(MAX_SONGS)}));
}

BoxMessage wave_format_error_message() {
    return BoxMessage{message_text(WAVE_FORMAT_ERROR_CAPTION), message_text(TEXT_WAVE_FORMAT_ERROR),
                      MessageIcon::Warning, MessageButtons::Ok};
}

BoxMessage device_open_error_message(std::string_view system_text, std::string_view device_name) {
    QString text = from_utf8(system_text);
    if (!device_name.empty()) {
        text += QLatin1Char('\n') + from_utf8(device_name);
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

BoxMessage export_failed_message(std::string_view source, std::string_view why) {
    return error_message(fill_text(TEXT_EXPORT_FAILED, {from_utf8(source), from_utf8(why)}));
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
