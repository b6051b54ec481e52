#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstring>

#include "dialog_test_support.h"
#include "settings/ini_settings.h"
#include "settings/text_field.h"
#include "tests/support/scratch_dir.h"
#include "ui/dialogs/export_again_dialog.h"
#include "ui/dialogs/export_options_dialog.h"

namespace zv {
namespace {

bool same(const ExportOptions& a, const ExportOptions& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ExportOptionsDialog, BitrateRulesDependOnTheCommand) {
    struct Case {
        const char* typed;
        int32_t song;
        int32_t all;
    };
    const Case cases[] = {{"100", 112, 112}, {"321", 192, 128}, {"0", 192, 128},
                          {"abc", 192, 128}, {"320", 320, 320}, {"32", 32, 32}};
    for (const Case& c : cases) {
        for (ExportCommand cmd : {ExportCommand::ExportSong, ExportCommand::ExportAll}) {
            ExportOptions o;
            EncoderSettings e;
            test::ScriptedHost host;
            ExportOptionsDialog d(cmd, o, e, host);
            d.bitrate_edit()->setText(QString::fromUtf8(c.typed));
            d.accept();
            EXPECT_EQ(e.mp3_bitrate_kbps, cmd == ExportCommand::ExportSong ? c.song : c.all)
                << c.typed;
        }
    }
}

TEST(ExportOptionsDialog, ShowsTheOptionsAndTheExternalEncoderNote) {
    ExportOptions o;
    o.output_mp3 = 0;
    o.affix_is_postfix = 1;
    o.save_to_source_folder = 1;
    set_text(o.tag_album_prefix, "Live-");
    EncoderSettings e;
    e.mp3_bitrate_kbps = 256;
    test::ScriptedHost host;
    {
        ExportOptionsDialog d(ExportCommand::ExportSong, o, e, host);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Export a song"));
        EXPECT_TRUE(d.wav_radio()->isChecked());
        EXPECT_EQ(d.bitrate_edit()->text(), QStringLiteral("256"));
        EXPECT_TRUE(d.bitrate_edit()->isEnabled());
        EXPECT_EQ(d.album_edit()->text(), QStringLiteral("Live-"));
        EXPECT_TRUE(d.note_label()->text().isEmpty());
        EXPECT_EQ(d.affix_edit(), nullptr);
        EXPECT_EQ(d.source_folder_check(), nullptr);
    }
    e.use_external_encoder = 1;
    ExportOptionsDialog d(ExportCommand::ExportAll, o, e, host);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Export All Songs"));
    EXPECT_EQ(d.note_label()->text(), QStringLiteral("※ 外部MP3エンコーダを使用中です。"));
    EXPECT_FALSE(d.bitrate_edit()->isEnabled());
    EXPECT_EQ(d.affix_edit()->text(), QStringLiteral("mm_"));
    EXPECT_TRUE(d.postfix_radio()->isChecked());
    EXPECT_TRUE(d.source_folder_check()->isChecked());
}

TEST(ExportOptionsDialog, OkReadsEveryControlAndCancelChangesNothing) {
    ExportOptions o;
    EncoderSettings e;
    test::ScriptedHost host;
    {
        const ExportOptions before = o;
        ExportOptionsDialog d(ExportCommand::ExportAll, o, e, host);
        d.wav_radio()->setChecked(true);
        d.title_edit()->setText(QStringLiteral("x"));
        d.postfix_radio()->setChecked(true);
        d.normalise_check()->setChecked(false);
        d.bitrate_edit()->setText(QStringLiteral("64"));
        d.reject();
        EXPECT_TRUE(same(o, before));
        EXPECT_EQ(e.mp3_bitrate_kbps, 128);
    }
    ExportOptionsDialog d(ExportCommand::ExportAll, o, e, host);
    d.wav_radio()->setChecked(true);
    // 11 three-byte characters: 33 bytes, cut to 30 so no character is split.
    d.album_edit()->setText(QStringLiteral("あいうえおかきくけこさ"));
    d.title_edit()->setText(QStringLiteral("T-"));
    d.affix_edit()->setText(QStringLiteral("_x"));
    d.postfix_radio()->setChecked(true);
    d.source_folder_check()->setChecked(true);
    d.normalise_check()->setChecked(false);
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(o.output_mp3, 0);
    EXPECT_EQ(text_of(o.tag_album_prefix), "あいうえおかきくけこ");
    EXPECT_EQ(text_of(o.tag_title_prefix), "T-");
    EXPECT_EQ(text_of(o.name_affix), "_x");
    EXPECT_EQ(o.affix_is_postfix, 1);
    EXPECT_EQ(o.save_to_source_folder, 1);
    EXPECT_EQ(o.normalise_on_export, 0);
    EXPECT_TRUE(host.messages.empty());
}

// FLAC and Opus beside WAV and MP3. The state file keeps only MP3 or not; the INI file says
// which "not MP3" was chosen, so MP3 in the state file stays MP3 whatever the INI file says.
TEST(ExportOptionsDialog, FourFormatsAndTheIniKeysBehindThem) {
    test::ScratchDir dir;
    const IniSettings ini(dir / "zelmp3.ini");
    ExportOptions o;
    EncoderSettings e;
    test::ScriptedHost host;
    read_export_format_keys(ini, o, e);  // nothing stored yet: WAV, 128 kbit/s
    EXPECT_EQ(o.non_mp3_format, ExportFormat::Wav);
    EXPECT_EQ(e.opus_bitrate_kbps, 128);
    {
        ExportOptionsDialog d(ExportCommand::ExportSong, o, e, host);
        EXPECT_TRUE(d.mp3_radio()->isChecked());  // the start value
        EXPECT_EQ(d.opus_bitrate_edit()->text(), QStringLiteral("128"));
        d.opus_radio()->setChecked(true);
        d.opus_bitrate_edit()->setText(QStringLiteral("96"));
        d.accept();
    }
    EXPECT_EQ(o.output_mp3, 0);
    EXPECT_EQ(export_format(o), ExportFormat::Opus);
    EXPECT_EQ(e.opus_bitrate_kbps, 96);
    std::string error;
    ASSERT_TRUE(write_export_format_keys(ini, o, e, error)) << error;
    EXPECT_EQ(ini.read(IniKey::ExportFormat), "Opus");
    EXPECT_EQ(ini.read(IniKey::OpusBitrate), "96");

    // The next program run: the state file says "not MP3", the INI file says Opus at 96.
    ExportOptions next;
    next.output_mp3 = 0;
    EncoderSettings next_e;
    read_export_format_keys(ini, next, next_e);
    {
        ExportOptionsDialog d(ExportCommand::ExportAll, next, next_e, host);
        EXPECT_TRUE(d.opus_radio()->isChecked());
        EXPECT_EQ(d.opus_bitrate_edit()->text(), QStringLiteral("96"));
        d.flac_radio()->setChecked(true);
        d.opus_bitrate_edit()->setText(QStringLiteral("500"));  // out of range: the default
        d.accept();
    }
    EXPECT_EQ(export_format(next), ExportFormat::Flac);
    EXPECT_EQ(next_e.opus_bitrate_kbps, 128);

    // A state file (or parameter file) that says MP3 keeps meaning MP3.
    ExportOptions mp3;
    mp3.output_mp3 = 1;
    read_export_format_keys(ini, mp3, next_e);
    ExportOptionsDialog d(ExportCommand::ExportSong, mp3, next_e, host);
    EXPECT_TRUE(d.mp3_radio()->isChecked());
    // Hand-edited keys fall back to WAV and the default bitrate.
    ASSERT_TRUE(ini.write(IniKey::ExportFormat, "Vorbis", error));
    ASSERT_TRUE(ini.write(IniKey::OpusBitrate, "12x", error));
    read_export_format_keys(ini, mp3, next_e);
    EXPECT_EQ(mp3.non_mp3_format, ExportFormat::Wav);
    EXPECT_EQ(next_e.opus_bitrate_kbps, 128);
}

TEST(ExportOptionsDialog, AnAffixThatLeadsIntoAnotherFolderIsRefused) {
    ExportOptions o;
    set_text(o.name_affix, "../x_");  // as a hand-edited state file may hold it
    EncoderSettings e;
    test::ScriptedHost host;
    const ExportOptions before = o;
    ExportOptionsDialog d(ExportCommand::ExportAll, o, e, host);
    d.wav_radio()->setChecked(true);
    d.accept();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("ZelvonicMP3"));
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Warning);
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_TRUE(same(o, before));
    // Typing a "/" is not possible at all.
    d.affix_edit()->clear();
    QTest::keyClicks(d.affix_edit(), QStringLiteral("a/b"));
    EXPECT_EQ(d.affix_edit()->text(), QStringLiteral("ab"));
}

TEST(ExportOptionsDialog, KeyboardAlone) {
    ExportOptions o;
    EncoderSettings e;
    test::ScriptedHost host;
    ExportOptionsDialog d(ExportCommand::ExportAll, o, e, host);
    ASSERT_TRUE(test::show_active(d));
    d.buttons()->button(QDialogButtonBox::Cancel)->setFocus();
    std::vector<QWidget*> walk = test::tab_walk(d);
    std::vector<QWidget*> expected = {d.buttons()->button(QDialogButtonBox::Cancel),
                                      d.mp3_radio(),  // the checked one of the format group
                                      d.bitrate_edit(),
                                      d.opus_bitrate_edit(),
                                      d.album_edit(),
                                      d.title_edit(),
                                      d.normalise_check(),
                                      d.affix_edit(),
                                      d.prefix_radio(),
                                      d.source_folder_check(),
                                      d.buttons()->button(QDialogButtonBox::Ok)};
    EXPECT_EQ(walk, expected);
    d.bitrate_edit()->setFocus();
    d.bitrate_edit()->setText(QStringLiteral("100"));
    QTest::keyClick(d.bitrate_edit(), Qt::Key_Enter);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(e.mp3_bitrate_kbps, 112);

    ExportOptionsDialog again(ExportCommand::ExportSong, o, e, host);
    ASSERT_TRUE(test::show_active(again));
    again.bitrate_edit()->setText(QStringLiteral("320"));
    QTest::keyClick(&again, Qt::Key_Escape);
    EXPECT_EQ(again.result(), QDialog::Rejected);
    EXPECT_EQ(e.mp3_bitrate_kbps, 112);
}

TEST(ExportAgainDialog, ButtonsGiveOneTwoAndZero) {
    {
        ExportAgainDialog d(false, "/music/out");
        EXPECT_EQ(d.folder_field()->text(), QStringLiteral("/music/out"));
        EXPECT_TRUE(d.folder_field()->isReadOnly());
        EXPECT_EQ(d.all_button()->text(), QStringLiteral("すべて"));
        EXPECT_EQ(d.new_only_button()->text(), QStringLiteral("未処理のファイルのみ"));
        d.new_only_button()->click();
        EXPECT_EQ(d.result(), EXPORT_AGAIN_NEW_ONLY);
    }
    {
        ExportAgainDialog d(true, "/ignored");
        EXPECT_EQ(d.folder_field()->text(), QStringLiteral("( Original Folder )"));
        d.all_button()->click();
        EXPECT_EQ(d.result(), EXPORT_AGAIN_ALL);
    }
    ExportAgainDialog d(false, "/x");
    d.cancel_button()->click();
    EXPECT_EQ(d.result(), EXPORT_AGAIN_CANCEL);
}

TEST(ExportAgainDialog, KeyboardAlone) {
    {
        ExportAgainDialog d(false, "/x");
        ASSERT_TRUE(test::show_active(d));
        EXPECT_EQ(QApplication::focusWidget(), d.all_button());
        std::vector<QWidget*> walk = test::tab_walk(d);
        std::vector<QWidget*> expected = {d.all_button(), d.new_only_button(), d.cancel_button(),
                                          d.folder_field()};
        EXPECT_EQ(walk, expected);
        d.all_button()->setFocus();
        QTest::keyClick(d.all_button(), Qt::Key_Return);
        EXPECT_EQ(d.result(), EXPORT_AGAIN_ALL);
    }
    ExportAgainDialog d(false, "/x");
    ASSERT_TRUE(test::show_active(d));
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.result(), EXPORT_AGAIN_CANCEL);
    EXPECT_FALSE(d.isVisible());
}

}  // namespace
}  // namespace zv
