#include "export/export_rules.h"

#include <charconv>

#include "export/export_options.h"
#include "export/file_ops.h"
#include "sources/playlist.h"

namespace zv {

int32_t bitrate_from_entry(std::string_view text, ExportCommand command) {
    const int32_t fallback = command == ExportCommand::ExportAll ? 128 : 192;
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return fallback;
    text = text.substr(start);
    unsigned long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data())
        return fallback;
    if (value < 32 || value > 320)
        return fallback;
    for (int32_t rate : MP3_BITRATES) {
        if (static_cast<unsigned long>(rate) >= value)
            return rate;
    }
    return fallback;
}

bool is_plain_name_part(std::string_view affix) {
    return affix.find('/') == std::string_view::npos &&
           affix.find("..") == std::string_view::npos && affix.find('\0') == std::string_view::npos;
}

std::string effective_name_affix(std::string_view affix, bool save_to_source_folder) {
    if (save_to_source_folder && affix.empty())
        return "zel_";
    return std::string(affix);
}

std::string export_all_target(std::string_view source_path, const ExportAllNaming& naming) {
    std::string name(file_name_part(source_path));
    std::string folder;
    if (naming.save_to_source_folder) {
        folder = std::string(source_path.substr(0, source_path.size() - name.size()));
    } else {
        folder = naming.folder;
        if (folder.empty() || folder.back() != '/')
            folder += '/';
    }
    std::string affix = effective_name_affix(naming.affix, naming.save_to_source_folder);
    std::string path;
    if (naming.affix_is_postfix) {
        size_t dot = name.rfind('.');
        if (dot == std::string::npos) {
            path = folder + name + affix;
        } else {
            path = folder + name.substr(0, dot) + affix + name.substr(dot);
        }
    } else {
        path = folder + affix + name;
    }
    return naming.output_mp3 ? mp3_mode_target(path) : path;
}

std::string mp3_mode_target(std::string_view chosen_path) {
    std::string_view base = chosen_path;
    if (has_extension_ci(chosen_path, ".wav") || has_extension_ci(chosen_path, ".mp3")) {
        base = chosen_path.substr(0, chosen_path.size() - 4);
    }
    return std::string(base) + ".wav";
}

std::string final_output_path(std::string_view target, bool output_mp3) {
    return final_output_path(target, output_mp3 ? ExportFormat::Mp3 : ExportFormat::Wav);
}

std::string final_output_path(std::string_view target, ExportFormat format) {
    return strip_extension(target) + export_format_extension(format);
}

int32_t opus_bitrate_from_entry(std::string_view text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return OPUS_DEFAULT_KBPS;
    text = text.substr(start);
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data() || value < OPUS_MIN_KBPS || value > OPUS_MAX_KBPS)
        return OPUS_DEFAULT_KBPS;
    return static_cast<int32_t>(value);
}

bool skip_entry(int32_t song_mark, bool skipping) {
    return skipping && song_mark != MARK_NONE;
}

}  // namespace zv

namespace zv {

std::string with_name_extension(std::string_view target) {
    std::string_view name = file_name_part(target);
    if (name.find('.') != std::string_view::npos)
        return std::string(target);
    return std::string(target) + ".wav";
}

}  // namespace zv
