// Every text the window shows in a message box, with its caption, icon and buttons, in one
// place so that the window and the tests share them. The functions fill in the variable parts;
// nothing here shows anything (see dialog_host.h).
#pragma once

#include <QString>
#include <QStringList>

#include <string_view>

#include "text/language.h"

namespace zv {

enum class MessageIcon { None, Warning, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct BoxMessage {
    QString caption;
    QString text;  // plain text, never rich text: paths and tags may hold '<'
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // Enter answers Cancel (No) rather than OK (Yes): for questions whose safe answer is no.
    bool default_is_negative = false;
};

inline bool is_yes(MessageAnswer a) {
    return a == MessageAnswer::Ok || a == MessageAnswer::Yes;
}

inline constexpr const char* APP_MESSAGE_CAPTION = "ZelvonicMP3";
inline constexpr const char* CONFIRM_CAPTION = QT_TRANSLATE_NOOP("Message", "確認");
inline constexpr const char* LATEST_VERSION_CAPTION = QT_TRANSLATE_NOOP("Message", "最新情報");
inline constexpr const char* WAVE_FORMAT_ERROR_CAPTION = "WAVE Format Error";

inline constexpr const char* VERSION_TEXT = "V3.04.03";
// The project's home page, opened by the "latest version" command.
inline constexpr const char* HOME_PAGE_URL = "https://zelvonicmp3.example.org/";

inline constexpr const char* TEXT_LIST_FULL =
    QT_TRANSLATE_NOOP("Message",
                      "サウンドファイルの最大登録数 %d 曲 "
                      "を超えました。\n最大数を超えたファイルは登録されていません。");
inline constexpr const char* TEXT_WAVE_FORMAT_ERROR = QT_TRANSLATE_NOOP(
    "Message",
    "このファイルフォーマットはサポートしていません。\nサポートサウンドファイル： 48k/44.1k/32k, "
    "1ch/2ch, 16bit");
inline constexpr const char* TEXT_EXPORT_SONG_CONFIRM = QT_TRANSLATE_NOOP(
    "Message", "登録されたファイル[ %s ]から\nファイル[ %s ]を作成します。\n\nよろしいですか？");
inline constexpr const char* TEXT_EXPORT_ALL_TO_SOURCE_FOLDERS = QT_TRANSLATE_NOOP(
    "Message", "元のファイルと同じフォルダにファイルを出力します。\n\nよろしいですか？");
inline constexpr const char* TEXT_EXPORT_ALL_TO_FOLDER =
    QT_TRANSLATE_NOOP("Message", "フォルダ[ %s ]にファイルを出力します。\n\nよろしいですか？");
// The question stands as the program has always asked it, "しまず" included.
inline constexpr const char* TEXT_SAVE_USER_PRESET = QT_TRANSLATE_NOOP(
    "Message", "ユーザープリセット%sに現在のパラメータを保存しまず\nよろしいですか？");
inline constexpr const char* TEXT_LATEST_VERSION =
    QT_TRANSLATE_NOOP("Message", "作者のWEBページへ接続しますか？\n最新版の入手ができます。\n%s");
inline constexpr const char* TEXT_EXTERNAL_ENCODER_IN_USE =
    QT_TRANSLATE_NOOP("Message", "※ 外部MP3エンコーダを使用中です。");

// Messages this program adds: a failure is never silent.
inline constexpr const char* TEXT_SAVE_FAILED =
    QT_TRANSLATE_NOOP("Message", "ファイル[ %s ]を保存できませんでした。\n%s");
inline constexpr const char* TEXT_INI_WRITE_FAILED =
    QT_TRANSLATE_NOOP("Message", "設定ファイル[ %s ]に書き込めませんでした。\n%s");
inline constexpr const char* TEXT_EXPORT_FAILED =
    QT_TRANSLATE_NOOP("Message", "ファイル[ %s ]を出力できませんでした。\n%s");
// Added to a failure whose MP3 encoding failed: the output format option is WAV from then on.
inline constexpr const char* TEXT_SWITCHED_TO_WAV =
    QT_TRANSLATE_NOOP("Message", "MP3 エンコードに失敗したため、出力形式を WAV に切り替えました。");
inline constexpr const char* TEXT_EXPORT_ALL_FAILED =
    QT_TRANSLATE_NOOP("Message", "次のファイルは出力できませんでした。\n\n%s");
// After Export All: the loudness of every song written, a "file: figures" line each; past
// LOUDNESS_SUMMARY_LINES songs one line counts the rest (a box of 2000 lines would not fit
// on a screen).
inline constexpr const char* TEXT_EXPORT_ALL_LOUDNESS =
    QT_TRANSLATE_NOOP("Message", "出力したファイルのラウドネス (EBU R128)\n\n%s");
inline constexpr const char* TEXT_LOUDNESS_MORE_SONGS =
    QT_TRANSLATE_NOOP("Message", "（ほか %d 曲）");
constexpr int LOUDNESS_SUMMARY_LINES = 20;
inline constexpr const char* TEXT_PATHS_TOO_LONG = QT_TRANSLATE_NOOP(
    "Message",
    "パスが長すぎるため、%d 個のファイルは登録されていません。\n（パスは255バイトまでです。）");
inline constexpr const char* TEXT_AFFIX_HAS_SEPARATOR =
    QT_TRANSLATE_NOOP("Message", "出力ファイル名に付加する文字列に「/」は使用できません。");
inline constexpr const char* TEXT_ENCODER_REQUEST = QT_TRANSLATE_NOOP(
    "Message",
    "このパラメータファイルは外部MP3エンコーダの設定を変更しようとしています。\n\n"
    "外部MP3エンコーダを使用： %s\nプログラム： %s\nパラメータ： %s\n\n"
    "この設定を読み込みますか？\n"
    "（キャンセルを選ぶと、外部MP3エンコーダの設定は今のまま変わりません。）");

// The window's language setting takes effect when the program starts again.
inline constexpr const char* TEXT_LANGUAGE_NEXT_START =
    QT_TRANSLATE_NOOP("Message", "言語の変更は、次回の起動時に反映されます。");

// The program folder cannot be used: the program does not start (the reason follows).
inline constexpr const char* TEXT_PROGRAM_FOLDER_UNUSABLE = QT_TRANSLATE_NOOP(
    "Message", "プログラムフォルダを使用できないため、ZelvonicMP3 を起動できません。\n%s");
// After a song's export was cancelled: nothing was written under its name.
inline constexpr const char* TEXT_EXPORT_CANCELLED = QT_TRANSLATE_NOOP(
    "Message", "ファイル[ %s ]の出力を中止しました。\nこのファイルは作成されていません。");
// Before an MP3 export runs an external encoder this program folder has not seen confirmed
// (it came with the state file, a user preset or a parameter file).
inline constexpr const char* TEXT_ENCODER_NOT_CONFIRMED =
    QT_TRANSLATE_NOOP("Message",
                      "次の外部MP3エンコーダは、まだ確認されていません。\n\n"
                      "プログラム： %s\nパラメータ： %s\n\n"
                      "このプログラムを実行しますか？\n"
                      "（キャンセルを選ぶと、内蔵のMP3エンコーダで出力します。）");
// Songs a scan or a drop left out because the list was full.
inline constexpr const char* TEXT_SONGS_LEFT_OUT =
    QT_TRANSLATE_NOOP("Message", "リストがいっぱいのため、%d 個のファイルは登録されていません。");
// Drops that cannot add anything now.
inline constexpr const char* TEXT_DROP_IN_ONAIR =
    QT_TRANSLATE_NOOP("Message", "ON AIR モード中は、曲をリストに登録できません。");
inline constexpr const char* TEXT_PLAYLIST_DROP_WHILE_BUSY = QT_TRANSLATE_NOOP(
    "Message", "再生中はプレイリストを開けません。\n停止してから、もう一度ドロップしてください。");

// Errors: caption "ZelvonicMP3", warning icon, OK.
BoxMessage error_message(const QString& text);
// Confirmations: caption "確認", question icon, OK and Cancel.
BoxMessage confirm_message(const QString& text);

BoxMessage no_output_device_message();
BoxMessage no_input_device_message();
BoxMessage list_full_message();  // with the list's 2000 songs
BoxMessage wave_format_error_message();
// A device that cannot be opened: the system's text (with a line break and the device's name
// for an output device), no caption, OK.
BoxMessage device_open_error_message(std::string_view system_text, std::string_view device_name);
BoxMessage encoder_params_too_long_message();
BoxMessage language_next_start_message();  // caption "ZelvonicMP3", no icon, OK

BoxMessage export_song_confirm_message(std::string_view source, std::string_view target);
BoxMessage export_all_confirm_message(bool to_source_folders, std::string_view folder);
BoxMessage save_user_preset_message(int n);  // n = 1..3, written as a full-width digit
BoxMessage latest_version_message();
BoxMessage paths_too_long_message(int count);
BoxMessage save_failed_message(std::string_view path, std::string_view why);
BoxMessage ini_write_failed_message(std::string_view path, std::string_view why);
BoxMessage export_failed_message(std::string_view source, std::string_view why);
// One message at the end of Export All for every song that failed ("source: why" lines).
BoxMessage export_all_failed_message(const QString& lines);
// The loudness summary at the end of Export All: caption "ZelvonicMP3", no icon, OK.
BoxMessage export_all_loudness_message(const QStringList& lines);

BoxMessage program_folder_unusable_message(std::string_view why);
BoxMessage export_cancelled_message(std::string_view target);
// The question before an unconfirmed external encoder runs: OK/Cancel, Cancel the default.
BoxMessage encoder_not_confirmed_message(std::string_view program, std::string_view params);
// The list-full message with the count of the songs a scan or a drop left out.
BoxMessage songs_left_out_message(int count);

// The parameter-file question before the external encoder fields are taken from it.
BoxMessage encoder_request_message(bool use_external, std::string_view program,
                                   std::string_view params);

// Replaces the "%s" (or "%d") fields of a design text in order; the values are taken as they
// are (a '%' in a path stays a '%').
QString fill_text(const char* format, std::initializer_list<QString> values);

QString from_utf8(std::string_view text);

// The language the installed translator gives the window's texts (Japanese when none is).
Language window_text_language();

}  // namespace zv
