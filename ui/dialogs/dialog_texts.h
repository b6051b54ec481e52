// The texts of the dialogs' controls, as the program's dialogs have always shown them: the
// Japanese dialogs' texts where they exist, else the dialog's own English texts. BoxMessage box
// texts are in messages.h. The Japanese texts are marked for the translation catalogue and
// translated where they are shown (ui_text.h).
#pragma once

#include <QtGlobal>

namespace zv {

inline constexpr const char* CANCEL_TEXT_JA = QT_TRANSLATE_NOOP("Dialog", "ｷｬﾝｾﾙ");
inline constexpr const char* OK_TEXT = "OK";
inline constexpr const char* CANCEL_TEXT = "Cancel";

// Sound-device settings (menu 358).
inline constexpr const char* DEVICE_DIALOG_TITLE =
    QT_TRANSLATE_NOOP("Dialog", "サウンドデバイスの設定");
inline constexpr const char* DEVICE_CHOOSE_TEXT =
    QT_TRANSLATE_NOOP("Dialog", "使用するサウンドデバイスを選択して下さい");
inline constexpr const char* DEVICE_INPUT_LABEL = QT_TRANSLATE_NOOP("Dialog", "入力：");
inline constexpr const char* DEVICE_OUTPUT_LABEL = QT_TRANSLATE_NOOP("Dialog", "出力：");
inline constexpr const char* DEVICE_RATE_LABEL =
    QT_TRANSLATE_NOOP("Dialog", "ON AIR モード サンリング周波数：");
inline constexpr const char* DEVICE_RATE_NOTE =
    QT_TRANSLATE_NOOP("Dialog", "（音飛びが発生する場合は、低い周波数を選択して下さい。）");
inline constexpr const char* DEVICE_AUTOSTART_TEXT =
    QT_TRANSLATE_NOOP("Dialog", "ON AIR モードを起動時に自動スタートする");
inline constexpr const char* DEVICE_LOW_LATENCY_TEXT = "Low latency";
inline constexpr const char* DEVICE_BUFFERS_LABEL =
    QT_TRANSLATE_NOOP("Dialog", "サウンドバッファ数（2-8）：");
inline constexpr const char* DEVICE_RESTART_NOTE = QT_TRANSLATE_NOOP(
    "Dialog",
    "※サウンドカードやケーブル接続を変更した場合は、アプリケーションを再起動する必要があります。");

// Export a song / Export All Songs.
inline constexpr const char* EXPORT_SONG_TITLE = "Export a song";
inline constexpr const char* EXPORT_ALL_TITLE = "Export All Songs";
inline constexpr const char* EXPORT_WAV_TEXT = "WAV";
inline constexpr const char* EXPORT_MP3_TEXT = "MP3,  Bit rate (up to 320 bps)";
inline constexpr const char* EXPORT_FLAC_TEXT = "FLAC";
inline constexpr const char* EXPORT_OPUS_TEXT = "Opus,  Bit rate (12 to 256 kbps)";
inline constexpr const char* EXPORT_TAG_GROUP = "Add prefix to MP3 TAG(IDv1)";
inline constexpr const char* EXPORT_ALBUM_LABEL = "Album:";
inline constexpr const char* EXPORT_TITLE_LABEL = "Title:";
inline constexpr const char* EXPORT_NORMALISE_TEXT =
    "Normalize level of input file (Keep max level )";
inline constexpr const char* EXPORT_NOTE_LABEL = "NOTE:";
inline constexpr const char* EXPORT_AFFIX_GROUP = "Add string to output file name.";
inline constexpr const char* EXPORT_PREFIX_TEXT = "Prefix";
inline constexpr const char* EXPORT_POSTFIX_TEXT = "Postfix";
inline constexpr const char* EXPORT_FOLDER_GROUP = "Specify the save folder";
inline constexpr const char* EXPORT_SOURCE_FOLDER_TEXT = "Save to the original folder";

// The export-again question of Export All.
inline constexpr const char* EXPORT_AGAIN_TITLE = "Export MP3/WAV files";
inline constexpr const char* EXPORT_AGAIN_FOLDER_TEXT =
    "Export MP3/WAV files to the following folder.";
inline constexpr const char* EXPORT_AGAIN_ORIGINAL_FOLDER = "( Original Folder )";
inline constexpr const char* EXPORT_AGAIN_QUESTION =
    "There are some files already exported. Do you wish to export all files again?";
inline constexpr const char* EXPORT_AGAIN_ALL_TEXT = QT_TRANSLATE_NOOP("Dialog", "すべて");
inline constexpr const char* EXPORT_AGAIN_NEW_ONLY_TEXT =
    QT_TRANSLATE_NOOP("Dialog", "未処理のファイルのみ");

// External encoder settings (menu 269).
inline constexpr const char* ENCODER_DIALOG_TITLE = "Settings for external encoding program";
inline constexpr const char* ENCODER_USE_TEXT = "Use an external MP3 encoding program";
inline constexpr const char* ENCODER_PATH_LABEL = "Ext encoder program path:";
inline constexpr const char* ENCODER_PARAMS_LABEL = "Parameters for ext encoder:";
inline constexpr const char* ENCODER_REF_TEXT = "Ref.";
inline constexpr const char* ENCODER_USAGE_LABEL =
    "Usage for embedding the file path to the parameters:";
inline constexpr const char* ENCODER_USAGE_TEXT =
    "  %1 - Input WAV file path\n  %2 - Output MP3 file path\n (ex.) In case of using lame "
    "and specifying maximum variable bitrate to 256kbps: \n    -v -B 256 %1 %2";

// The export progress dialog.
inline constexpr const char* EXPORT_PROGRESS_TITLE = "ZelvonicMP3 : Exporting WAV/MP3 File...";
inline constexpr const char* EXPORT_TIME_LABEL = "Processed WAV Time :";
inline constexpr const char* EXPORT_THROTTLE_TEXT = "Don't use 100% CPU Power: ";
inline constexpr const char* EXPORT_THROTTLE_MORE = "MORE";
inline constexpr const char* EXPORT_THROTTLE_LESS = "LESS";

// The peak dialog (Get Peak Level).
inline constexpr const char* PEAK_DIALOG_TITLE = "Detecting Peak Level...";

// The About dialog.
inline constexpr const char* ABOUT_VERSION_PREFIX = "Version: ";

// File dialogs: each filter is a description and its patterns.
inline constexpr const char* FILTER_ALL_SONGS =
    QT_TRANSLATE_NOOP("Dialog", "サウンドファイルを開く {*.wav;*.mp3;*.flac;*.ogg;*.oga;*.opus}");
inline constexpr const char* FILTER_SONGS =
    QT_TRANSLATE_NOOP("Dialog", "WAV/MP3ファイルを開く {*.wav;*.mp3}");
inline constexpr const char* FILTER_ALL_FILES = QT_TRANSLATE_NOOP("Dialog", "全てのファイル {*.*}");
inline constexpr const char* FILTER_OPEN_PLAYLIST =
    QT_TRANSLATE_NOOP("Dialog", "再生リストファイルを開く {*.plt}");
inline constexpr const char* FILTER_SAVE_PLAYLIST =
    QT_TRANSLATE_NOOP("Dialog", "再生リストを保存 {*.plt}");
inline constexpr const char* FILTER_OPEN_PARAMS =
    QT_TRANSLATE_NOOP("Dialog", "パラメータファイルを開く {*.zv3}");
inline constexpr const char* FILTER_SAVE_PARAMS =
    QT_TRANSLATE_NOOP("Dialog", "パラメータファイルを保存 {*.zv3}");
inline constexpr const char* FILTER_EXPORT_MP3 = "Output to WAV File {*.mp3}";
inline constexpr const char* FILTER_EXPORT_WAV = "Output to WAV File {*.wav}";
inline constexpr const char* FILTER_EXPORT_FLAC = "Output to FLAC File {*.flac}";
inline constexpr const char* FILTER_EXPORT_OPUS = "Output to Opus File {*.opus}";
inline constexpr const char* FILTER_ALL_FILES_EN = "All files {*.*}";
// An encoder is any executable program (on Linux it has no extension to filter by).
inline constexpr const char* FILTER_ENCODER =
    QT_TRANSLATE_NOOP("Dialog", "外部MP3エンコーダー（実行可能なプログラム）を開く");
inline constexpr const char* SELECT_FOLDER_TITLE =
    QT_TRANSLATE_NOOP("Dialog", "出力フォルダを選択");

}  // namespace zv
