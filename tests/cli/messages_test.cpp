// Every message of zvmp3-cli, read from its catalogue (cli/cli_messages.h) and made from each
// of the core's facts: the English never holds Japanese, every message has its Japanese, and
// the texts the command line printed in Japanese before stay as they were.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_messages.h"
#include "cli/fact_texts.h"

namespace zv::cli {
namespace {

// True when the UTF-8 text holds a kana, a kanji, a CJK symbol or a full-width form.
bool has_cjk(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xE3 || (c >= 0xE4 && c <= 0xE9) || c == 0xEF) {
            // U+3000..U+9FFF start with E3..E9, the full-width forms U+FF00.. with EF BC..BF.
            if (c != 0xEF ||
                (i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0xBC)) {
                return true;
            }
        }
    }
    return false;
}

struct CatalogueEntry {
    std::string name;
    std::string en;
    std::string ja;
};

// The Message constants of the catalogue: each "Message NAME{...};" with its two texts, each
// one or more string literals.
std::vector<CatalogueEntry> read_catalogue() {
    std::ifstream in(std::string(ZV_SOURCE_DIR) + "/cli/cli_messages.h");
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    std::vector<CatalogueEntry> entries;
    const std::string marker = "Message MSG_";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        CatalogueEntry e;
        const size_t brace = text.find('{', at);
        e.name = text.substr(at + 8, brace - at - 8);
        std::string* part = &e.en;
        for (size_t i = brace + 1; i < text.size() && text[i] != '}'; ++i) {
            if (text[i] == ',') {
                part = &e.ja;
            } else if (text[i] == '"') {
                // Escapes are kept as written ("\\n" stays two characters).
                for (++i; i < text.size() && text[i] != '"'; ++i) {
                    if (text[i] == '\\') {
                        *part += text[i++];
                    }
                    *part += text[i];
                }
            }
        }
        entries.push_back(e);
    }
    return entries;
}

TEST(CliMessages, EveryEnglishTextIsFreeOfJapaneseAndEveryMessageHasItsJapanese) {
    const std::vector<CatalogueEntry> entries = read_catalogue();
    EXPECT_GT(entries.size(), 80u);
    for (const CatalogueEntry& e : entries) {
        EXPECT_FALSE(e.en.empty()) << e.name;
        EXPECT_FALSE(has_cjk(e.en)) << e.name << ": " << e.en;
        EXPECT_FALSE(e.ja.empty()) << e.name;
    }
    // The reader itself: a text made of two literals, and a Japanese one.
    bool seen = false;
    for (const CatalogueEntry& e : entries) {
        if (e.name == "MSG_NO_OUTPUT_DEVICE") {
            seen = true;
            EXPECT_EQ(e.en,
                      "No usable output sound device was found.\\nThe player and ON-AIR mode "
                      "cannot be used.");
            EXPECT_TRUE(has_cjk(e.ja));
        }
    }
    EXPECT_TRUE(seen);
}

// Every fact the command line words, in both languages.
std::vector<std::string> every_fact_text(Language language) {
    std::vector<std::string> texts;
    for (const DeviceProblem p : {DeviceProblem::NoOutput, DeviceProblem::NoInput}) {
        texts.push_back(text(device_problem_message(p), language));
    }
    for (const PlaylistFileStatus status :
         {PlaylistFileStatus::engine_busy, PlaylistFileStatus::cannot_open,
          PlaylistFileStatus::wrong_size, PlaylistFileStatus::read_error,
          PlaylistFileStatus::cannot_write}) {
        PlaylistFileResult r;
        r.status = status;
        r.error_number = status == PlaylistFileStatus::read_error ? EIO : 0;
        r.kind = status == PlaylistFileStatus::cannot_open ? FileKind::Folder : FileKind::Regular;
        r.reason = "/x.plt: disk full";
        texts.push_back(playlist_file_error_text(r, language));
    }
    for (const ExportRefusalKind k :
         {ExportRefusalKind::NoSongSelected, ExportRefusalKind::PlaylistEmpty,
          ExportRefusalKind::AffixNotPlain, ExportRefusalKind::NoFolder}) {
        texts.push_back(export_refusal_text(ExportRefusal{k, "a/b"}, language));
    }
    for (const TargetClashKind k : {TargetClashKind::ReplacesItself,
                                    TargetClashKind::ReplacesSource, TargetClashKind::SameOutput}) {
        texts.push_back(target_clash_text(TargetClash{k, "/o.wav", "/b.wav"}, language));
    }
    for (const DeviceFailure f : {DeviceFailure::JackServerGone, DeviceFailure::JackPortsRefused,
                                  DeviceFailure::LiveNeedsOneSystem}) {
        DeviceError error;
        error.failure = f;
        error.device = "system";
        texts.push_back(device_error_text(error, language));
    }
    return texts;
}

TEST(CliMessages, TheCoresFactsAreWordedInTheOutputsLanguage) {
    for (const std::string& t : every_fact_text(Language::English)) {
        EXPECT_FALSE(t.empty());
        EXPECT_FALSE(has_cjk(t)) << t;
    }
    const std::vector<std::string> japanese = every_fact_text(Language::Japanese);
    for (size_t i = 0; i < japanese.size(); ++i) {
        // The writer's own message of a failed save is the system's, in every language.
        if (japanese[i] != "/x.plt: disk full") {
            EXPECT_TRUE(has_cjk(japanese[i])) << japanese[i];
        }
    }
    // What the command line printed before, in either language.
    EXPECT_EQ(japanese[0],
              "使用可能な出力サウンドデバイスが見つかりません。\nプレーヤー機能、ON-AIRモードは使用"
              "できません。");
    EXPECT_EQ(japanese[1],
              "使用可能な入力サウンドデバイスが見つかりません。\nON-AIRモードは使用できません。");
    const std::vector<std::string> english = every_fact_text(Language::English);
    EXPECT_EQ(english[3], "cannot open: a folder, not a regular file");
    EXPECT_EQ(english[4], "not a playlist file (a playlist file is exactly 640008 bytes)");
    EXPECT_EQ(english[5], "read error: Input/output error");
    EXPECT_EQ(english[9],
              "the name affix \"a/b\" is not a plain part of a file name (no \"/\", "
              "no \"..\")");
    EXPECT_EQ(english[12], "its output /o.wav would replace the song /b.wav");
    EXPECT_EQ(english[16],
              "low latency needs the input and the output on the same sound system\nsystem");

    // The sound system's own reason is passed on as it gives it, in either language.
    DeviceError busy;
    busy.system_text = "Device unavailable";
    busy.device = "USB DAC";
    EXPECT_EQ(device_error_text(busy, Language::Japanese), "Device unavailable\nUSB DAC");
    busy.device.clear();
    EXPECT_EQ(device_error_text(busy, Language::English), "Device unavailable");
}

}  // namespace
}  // namespace zv::cli
