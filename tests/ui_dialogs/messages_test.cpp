#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "dialog_test_support.h"
#include "ui/dialogs/messages.h"

namespace zv {
namespace {

// The loudness summary after Export All keeps to a screen: past its lines, one counts the rest.
TEST(Messages, LoudnessSummaryCountsWhatDoesNotFit) {
    QStringList lines;
    for (int i = 0; i < LOUDNESS_SUMMARY_LINES; ++i) {
        lines << QStringLiteral("/out/%1.wav: -9.0 LUFS").arg(i);
    }
    BoxMessage m = export_all_loudness_message(lines);
    EXPECT_EQ(m.caption, QStringLiteral("ZelvonicMP3"));
    EXPECT_EQ(m.buttons, MessageButtons::Ok);
    EXPECT_EQ(m.text, QStringLiteral("出力したファイルのラウドネス (EBU R128)\n\n") +
                          lines.join(QLatin1Char('\n')));
    lines << QStringLiteral("/out/x.wav: -9.0 LUFS") << QStringLiteral("/out/y.wav: -9.0 LUFS");
    m = export_all_loudness_message(lines);
    EXPECT_TRUE(m.text.endsWith(QStringLiteral("/out/19.wav: -9.0 LUFS\n（ほか 2 曲）")))
        << m.text.toStdString();
    EXPECT_EQ(m.text.indexOf(QStringLiteral("/out/x.wav")), -1);
}

TEST(Messages, TextsCaptionsAndIcons) {
    BoxMessage m = export_song_confirm_message("/music/a.mp3", "/out/b.mp3");
    EXPECT_EQ(m.caption, QStringLiteral("確認"));
    EXPECT_EQ(m.icon, MessageIcon::Question);
    EXPECT_EQ(m.buttons, MessageButtons::OkCancel);
    EXPECT_EQ(m.text,
              QStringLiteral("登録されたファイル[ /music/a.mp3 ]から\nファイル[ /out/b.mp3 ]を"
                             "作成します。\n\nよろしいですか？"));

    // A '%' in a path is taken as it is, not as another field.
    m = export_all_confirm_message(false, "/out/100%s");
    EXPECT_EQ(m.text,
              QStringLiteral("フォルダ[ /out/100%s ]にファイルを出力します。\n\nよろしいですか？"));
    EXPECT_EQ(
        export_all_confirm_message(true, "/ignored").text,
        QStringLiteral("元のファイルと同じフォルダにファイルを出力します。\n\nよろしいですか？"));

    m = save_user_preset_message(2);
    EXPECT_EQ(m.caption, QStringLiteral("確認"));
    EXPECT_EQ(m.text, QStringLiteral(
                          "ユーザープリセット２に現在のパラメータを保存しまず\nよろしいですか？"));

    m = list_full_message();
    EXPECT_EQ(m.caption, QStringLiteral("ZelvonicMP3"));
    EXPECT_EQ(m.icon, MessageIcon::Warning);
    EXPECT_EQ(m.text,
              QStringLiteral("サウンドファイルの最大登録数 2000 曲 を超えました。\n最大数を超え"
                             "たファイルは登録されていません。"));

    m = wave_format_error_message();
    EXPECT_EQ(m.caption, QStringLiteral("WAVE Format Error"));
    EXPECT_EQ(m.icon, MessageIcon::Warning);

    m = latest_version_message();
    EXPECT_EQ(m.caption, QStringLiteral("最新情報"));
    EXPECT_EQ(m.buttons, MessageButtons::YesNo);
    EXPECT_TRUE(m.text.startsWith(
        QStringLiteral("作者のWEBページへ接続しますか？\n最新版の入手ができます。\nhttp")));

    DeviceError open_error;
    open_error.system_text = "Device unavailable";
    open_error.device = "USB DAC";
    m = device_open_error_message(open_error);
    EXPECT_TRUE(m.caption.isEmpty());
    EXPECT_EQ(m.text, QStringLiteral("Device unavailable\nUSB DAC"));
    open_error.device.clear();
    open_error.system_text = "Busy";
    EXPECT_EQ(device_open_error_message(open_error).text, QStringLiteral("Busy"));
    open_error.failure = DeviceFailure::LiveNeedsOneSystem;
    open_error.device = "system";
    EXPECT_EQ(
        device_open_error_message(open_error).text,
        QStringLiteral("低遅延モードには、同じサウンドシステムの入力と出力が必要です。\nsystem"));

    EXPECT_EQ(device_problem_message(DeviceProblem::NoOutput).text,
              QStringLiteral("使用可能な出力サウンドデバイスが見つかりません。\nプレーヤー機能、ON-"
                             "AIRモードは使用できません。"));
    m = encoder_params_too_long_message();
    EXPECT_EQ(m.caption, QStringLiteral("外部MP3エンコーダ パラメータエラー"));
    EXPECT_EQ(m.text, QStringLiteral("パラメータの文字列が長すぎます。 (MAX LENGTH=260)"));

    m = encoder_request_message(true, "/bin/sh", "-c %1");
    EXPECT_TRUE(m.default_is_negative);
    EXPECT_TRUE(m.text.contains(QStringLiteral("/bin/sh")));
    EXPECT_TRUE(m.text.contains(QStringLiteral("-c %1")));
}

// The real message box: plain text, the icon, the buttons and which one Enter and Escape
// press.
TEST(QtDialogHost, ShowsAMessageBoxAndReturnsTheAnswer) {
    QtDialogHost host;
    struct Seen {
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton default_button = QMessageBox::NoButton;
        Qt::TextFormat format = Qt::AutoText;
    };
    auto answer_with = [](Seen& seen, Qt::Key key) {
        QTimer::singleShot(0, [&seen, key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen.text = box->text();
            seen.icon = box->icon();
            seen.buttons = box->standardButtons();
            seen.default_button = box->standardButton(box->defaultButton());
            seen.format = box->textFormat();
            QTest::keyClick(box, key);
        });
    };
    Seen seen;
    answer_with(seen, Qt::Key_Return);
    EXPECT_EQ(host.show(nullptr, export_song_confirm_message("<b>a</b>", "b")), MessageAnswer::Ok);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_TRUE(seen.text.contains(QStringLiteral("<b>a</b>")));

    answer_with(seen, Qt::Key_Escape);
    EXPECT_EQ(host.show(nullptr, save_user_preset_message(1)), MessageAnswer::Cancel);

    // The encoder question's Enter is its safe answer.
    answer_with(seen, Qt::Key_Return);
    EXPECT_EQ(host.show(nullptr, encoder_request_message(true, "/bin/sh", "")),
              MessageAnswer::Cancel);
    EXPECT_EQ(seen.default_button, QMessageBox::Cancel);

    answer_with(seen, Qt::Key_Escape);
    EXPECT_EQ(host.show(nullptr, latest_version_message()), MessageAnswer::No);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);

    answer_with(seen, Qt::Key_Return);
    EXPECT_EQ(host.show(nullptr, list_full_message()), MessageAnswer::Ok);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
}

}  // namespace
}  // namespace zv
