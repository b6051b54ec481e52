#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include <fstream>

#include "dialog_test_support.h"
#include "settings/text_field.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"
#include "ui/dialogs/encoder_settings_dialog.h"

namespace zv {
namespace {

struct EncoderDialogFixture : ::testing::Test {
    test::ScratchDir dir;
    IniSettings ini{dir / "zelmp3.ini"};
    test::ScriptedHost host;
    EncoderSettings s;
    bool idle = true;
    std::function<bool()> engine_idle = [this] { return idle; };
};

TEST_F(EncoderDialogFixture, OkTakesTheFieldsAndCancelChangesNothing) {
    set_text(s.external_encoder_path, "/usr/bin/enc");
    set_text(s.external_encoder_params, "-b 128 %1 %2");
    {
        EncoderSettingsDialog d(s, host, ini, engine_idle);
        EXPECT_FALSE(d.use_check()->isChecked());
        EXPECT_EQ(d.path_edit()->text(), QStringLiteral("/usr/bin/enc"));
        EXPECT_EQ(d.params_edit()->text(), QStringLiteral("-b 128 %1 %2"));
        d.use_check()->setChecked(true);
        d.params_edit()->setText(QStringLiteral("-x"));
        d.reject();
        EXPECT_EQ(s.use_external_encoder, 0);
        EXPECT_EQ(text_of(s.external_encoder_params), "-b 128 %1 %2");
    }
    EncoderSettingsDialog d(s, host, ini, engine_idle);
    d.use_check()->setChecked(true);
    d.path_edit()->setText(QStringLiteral("/opt/enc dir/enc"));
    // The edits hold at most 257 characters.
    d.params_edit()->setText(QString(300, QLatin1Char('p')));
    d.accept();
    EXPECT_EQ(s.use_external_encoder, 1);
    EXPECT_EQ(text_of(s.external_encoder_path), "/opt/enc dir/enc");
    EXPECT_EQ(text_of(s.external_encoder_params), std::string(257, 'p'));
}

TEST_F(EncoderDialogFixture, RefChoosesTheProgramOnlyWhileIdle) {
    const std::string program = dir / "myenc";
    std::ofstream(program) << "#!/bin/sh\n";
    EncoderSettingsDialog d(s, host, ini, engine_idle);

    idle = false;
    d.ref_button()->click();
    EXPECT_TRUE(host.dialogs.empty());

    idle = true;
    host.steps.push_back(test::cancel_dialog([](QDialog& dialog) {
        auto& fd = static_cast<QFileDialog&>(dialog);
        // Linux programs have no extension: the dialog shows the executable files first, and
        // every file on the second filter.
        EXPECT_EQ(fd.nameFilters().value(0),
                  QStringLiteral("外部MP3エンコーダー（実行可能なプログラム）を開く (*)"));
        EXPECT_EQ(fd.selectedNameFilter(),
                  QStringLiteral("外部MP3エンコーダー（実行可能なプログラム）を開く"));
        EXPECT_TRUE(fd.filter().testFlag(QDir::Executable));
        fd.selectNameFilter(fd.nameFilters().value(1));
        emit fd.filterSelected(fd.selectedNameFilter());
        EXPECT_FALSE(fd.filter().testFlag(QDir::Executable));
        EXPECT_TRUE(fd.defaultSuffix().isEmpty());
    }));
    d.ref_button()->click();
    EXPECT_TRUE(d.path_edit()->text().isEmpty());
    EXPECT_EQ(ini.read(IniKey::EncToolDir), home_folder());

    host.steps.push_back(test::choose_files({program}));
    d.ref_button()->click();
    EXPECT_EQ(d.path_edit()->text().toStdString(), program);
    EXPECT_EQ(ini.read(IniKey::EncToolDir), program);
    EXPECT_EQ(text_of(s.external_encoder_path), "");  // only OK stores it
}

TEST_F(EncoderDialogFixture, KeyboardAlone) {
    EncoderSettingsDialog d(s, host, ini, engine_idle);
    ASSERT_TRUE(test::show_active(d));
    d.use_check()->setFocus();
    std::vector<QWidget*> walk = test::tab_walk(d);
    std::vector<QWidget*> expected = {d.use_check(),
                                      d.path_edit(),
                                      d.ref_button(),
                                      d.params_edit(),
                                      d.buttons()->button(QDialogButtonBox::Ok),
                                      d.buttons()->button(QDialogButtonBox::Cancel)};
    EXPECT_EQ(walk, expected);
    // Space ticks the box, Enter in an edit is OK (not "Ref.").
    d.use_check()->setFocus();
    QTest::keyClick(d.use_check(), Qt::Key_Space);
    d.params_edit()->setFocus();
    QTest::keyClicks(d.params_edit(), QStringLiteral("%1 %2"));
    QTest::keyClick(d.params_edit(), Qt::Key_Return);
    EXPECT_TRUE(host.dialogs.empty());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(s.use_external_encoder, 1);
    EXPECT_EQ(text_of(s.external_encoder_params), "%1 %2");
}

}  // namespace
}  // namespace zv
