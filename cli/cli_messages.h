// The messages of zvmp3-cli in English and Japanese ("%s" marks are filled in order). Help
// texts stay English.
#pragma once

#include "text/language.h"

namespace zv {
enum class AddResult;
}

namespace zv::cli {

// Common
inline constexpr Message MSG_WARNING_PREFIX{"warning: ", "警告: "};
inline constexpr Message MSG_TRY_HELP{"Try '%s'.", "'%s' で使い方を表示します。"};
inline constexpr Message MSG_UNKNOWN_OPTION{"unknown option '%s'", "不明なオプション '%s'"};
inline constexpr Message MSG_TAKES_NO_VALUE{"%s takes no value", "%s は値を取りません"};
inline constexpr Message MSG_NEEDS_VALUE{"%s needs a value", "%s には値が必要です"};
inline constexpr Message MSG_NEEDS_FILE{"%s needs a file", "%s にはファイルが必要です"};
inline constexpr Message MSG_EMPTY_PATH{"%s needs a file name, not an empty text",
                                        "%s には空でないファイル名が必要です"};
inline constexpr Message MSG_UNEXPECTED_ARGUMENT{"unexpected argument '%s'", "余分な引数 '%s'"};
inline constexpr Message MSG_GIVE_ONCE{"give %s once", "%s は一度だけ指定します"};
inline constexpr Message MSG_UNKNOWN_COMMAND{"unknown command '%s'", "不明なコマンド '%s'"};
inline constexpr Message MSG_CANNOT_WRITE_OUTPUT{"cannot write the output", "出力を書き込めません"};

// Settings options (--state, --params, --preset, --set, --trust-encoder)
inline constexpr Message MSG_UNKNOWN_PRESET{
    "unknown preset id '%s' (see 'zvmp3-cli presets')",
    "不明なプリセット番号 '%s' ('zvmp3-cli presets' を参照)"};
inline constexpr Message MSG_SET_NEEDS_FIELD{"--set needs FIELD=VALUE",
                                             "--set には FIELD=VALUE が必要です"};
inline constexpr Message MSG_UNKNOWN_FIELD{
    "unknown field '%s' (see 'zvmp3-cli params --show' for the names)",
    "不明な項目 '%s' (項目名は 'zvmp3-cli params --show' を参照)"};
inline constexpr Message MSG_CANNOT_OPEN_SETTINGS{"cannot open %s (missing or unreadable)",
                                                  "%s を開けません (存在しないか読めません)"};
inline constexpr Message MSG_NOT_SETTINGS_FILE{
    "%s is not a settings file (wrong magic); nothing loaded",
    "%s は設定ファイルではありません (識別子が違います)。読み込みません"};
inline constexpr Message MSG_ENCODER_NOT_TAKEN_ON{
    "%s asks to run the external encoder '%s' with the arguments '%s'; its encoder settings "
    "are not taken (give --trust-encoder to take them)",
    "%s は外部エンコーダ '%s' を引数 '%s' で起動する設定を含みます。エンコーダ設定は読み込み"
    "ません (読み込むには --trust-encoder を指定します)"};
inline constexpr Message MSG_ENCODER_NOT_TAKEN_OFF{
    "%s asks to turn the external encoder off (program '%s', arguments '%s'); its encoder "
    "settings are not taken (give --trust-encoder to take them)",
    "%s は外部エンコーダを使わない設定 (プログラム '%s'、引数 '%s') を含みます。エンコーダ設定"
    "は読み込みません (読み込むには --trust-encoder を指定します)"};
inline constexpr Message MSG_NOT_A_NUMBER{"%s: '%s' is not a number",
                                          "%s: '%s' は数値ではありません"};
inline constexpr Message MSG_OUT_OF_RANGE{"%s: %s is outside %s", "%s: %s は範囲 %s の外です"};

// Playlists
inline constexpr Message MSG_SHOW_NEEDS_FILE{"show needs a playlist file",
                                             "show にはプレイリストファイルが必要です"};
inline constexpr Message MSG_SHOW_TAKES_ONE{"show takes one file", "show はファイルを一つ取ります"};
inline constexpr Message MSG_MAKE_NEEDS{"make needs an output file and at least one song or folder",
                                        "make には出力ファイルと、曲かフォルダが一つ以上必要です"};
inline constexpr Message MSG_MISSING_ACTION{"missing action: show or make",
                                            "動作 (show か make) がありません"};
inline constexpr Message MSG_TSV_SHOW_ONLY{"--tsv applies to show only",
                                           "--tsv は show でのみ使えます"};
inline constexpr Message MSG_UNKNOWN_ACTION{"unknown action %s", "不明な動作 %s"};
inline constexpr Message MSG_SONGS_LEFT_OUT{
    "%s: %s of %s stored songs left out (missing or no longer supported)",
    "%s: %s 曲を除きました (保存された %s 曲のうち。存在しないか非対応)"};
inline constexpr Message MSG_FILES_PATH_TOO_LONG{
    "%s: %s files left out, path longer than 255 bytes",
    "%s: パスが 255 バイトを超える %s 個のファイルを除きました"};
inline constexpr Message MSG_LIST_FULL{"the list is full (2000 songs)",
                                       "リストがいっぱいです (2000 曲)"};
inline constexpr Message MSG_FOLDER_SONGS_LEFT_OUT{
    "%s: %s songs left out, the list is full (2000 songs)",
    "%s: リストがいっぱいのため %s 曲を除きました (2000 曲)"};
inline constexpr Message MSG_LIST_ALREADY_FULL{"the list already holds 2000 songs",
                                               "リストにはすでに 2000 曲あります"};
inline constexpr Message MSG_NOT_A_SONG{
    "not a song file (.wav, .mp3, .flac, .ogg, .oga or .opus)",
    "曲のファイル (.wav, .mp3, .flac, .ogg, .oga, .opus) ではありません"};
inline constexpr Message MSG_PATH_TOO_LONG{"path longer than 255 bytes",
                                           "パスが 255 バイトを超えています"};
inline constexpr Message MSG_NOT_SUPPORTED{
    "cannot be read or is not a supported song (1ch/2ch; MP3 at 48k/44.1k/32k; WAV, FLAC, "
    "Ogg Vorbis, Opus at 8k to 192k)",
    "読めないか、対応していない曲です (1ch/2ch。MP3 は 48k/44.1k/32k、WAV・FLAC・Ogg "
    "Vorbis・Opus は 8k から 192k)"};

// Pipe mode (stream)
inline constexpr Message MSG_STREAM_LATENCY{"latency %s frames (%s ms at %s Hz)",
                                            "レイテンシ %s フレーム (%s ms、%s Hz)"};
inline constexpr Message MSG_CHANNELS_CHOICES{"--channels takes 1 or 2",
                                              "--channels は 1 か 2 です"};
inline constexpr Message MSG_FORMAT_CHOICES{"--format takes raw or wav",
                                            "--format は raw か wav です"};
inline constexpr Message MSG_STREAM_OUTPUT_CHOICES{"--output takes raw or wav",
                                                   "--output は raw か wav です"};
inline constexpr Message MSG_STDIN_NOT_WAV{"standard input is not a WAV stream we can read: %s",
                                           "標準入力は読める WAV ではありません: %s"};
inline constexpr Message MSG_WAV_HEADER_DECIDES{
    "%s ignored: the WAV header says %s Hz, %s channels",
    "%s は無視します: WAV ヘッダは %s Hz、%s チャンネルです"};
inline constexpr Message MSG_STDOUT_IS_TERMINAL{
    "standard output is a terminal; send the PCM stream to a pipe or a file",
    "標準出力が端末です。PCM ストリームはパイプかファイルに送ってください"};
inline constexpr Message MSG_STDIN_READ_FAILED{"cannot read standard input: %s",
                                               "標準入力を読めません: %s"};
inline constexpr Message MSG_STDOUT_WRITE_FAILED{"cannot write standard output: %s",
                                                 "標準出力に書き込めません: %s"};
inline constexpr Message MSG_INPUT_SHORT{
    "the input ended %s bytes before the end of the samples its WAV header gives (%s bytes); "
    "what came was processed",
    "入力は WAV ヘッダの示すサンプルの終わりより %s バイト前で終わりました (ヘッダでは %s "
    "バイト)。届いた分は処理しました"};
inline constexpr Message MSG_READER_IDLE{
    "the reader took none of the output's last bytes for %s s; ending with them in the pipe",
    "読み手が出力の最後のバイトを %s 秒間受け取りませんでした。パイプに残したまま終了します"};
inline constexpr Message MSG_PARTIAL_FRAME{
    "the input ended inside a frame; its bytes were dropped",
    "入力がフレームの途中で終わりました。その分は捨てました"};

// Sound devices
inline constexpr Message MSG_NO_SOUND_SYSTEM{"cannot start the sound system: %s",
                                             "サウンドシステムを開始できません: %s"};

inline constexpr Message MSG_DEVICE_INDEX{"%s needs a device index 0..7",
                                          "%s にはデバイス番号 0..7 が必要です"};
inline constexpr Message MSG_BUFFERS_RANGE{"--buffers needs a number from 2 to 8",
                                           "--buffers には 2 から 8 の数が必要です"};
inline constexpr Message MSG_RATE_CHOICES{"--rate takes 32000, 44100 or 48000",
                                          "--rate は 32000、44100、48000 のいずれかです"};
inline constexpr Message MSG_SECONDS_RANGE{"%s needs a whole number of seconds, 1 or more",
                                           "%s には 1 以上の秒数 (整数) が必要です"};
inline constexpr Message MSG_OUTPUT{"output", "出力"};
inline constexpr Message MSG_INPUT{"input", "入力"};
inline constexpr Message MSG_NO_SUCH_DEVICE{
    "there is no %s device %s (see 'zvmp3-cli devices')",
    "%sデバイス %s はありません ('zvmp3-cli devices' を参照)"};
inline constexpr Message MSG_SKIPPING{"skipping '%s': %s", "'%s' を飛ばします: %s"};
inline constexpr Message MSG_NO_PLAYABLE_SONGS{"no playable songs", "再生できる曲がありません"};
inline constexpr Message MSG_CANNOT_PLAY{"cannot play '%s'", "'%s' を再生できません"};
inline constexpr Message MSG_NOT_DECODED{"'%s' could not be decoded",
                                         "'%s' をデコードできませんでした"};
inline constexpr Message MSG_PLAY_STOPPED{"stopped after song %s of %s, %s underflows",
                                          "曲 %s / %s で停止しました。アンダーフロー %s 回"};
inline constexpr Message MSG_PLAY_FINISHED{"finished after song %s of %s, %s underflows",
                                           "曲 %s / %s で終了しました。アンダーフロー %s 回"};
inline constexpr Message MSG_ONAIR_NOT_OPENED{
    "the sound devices could not be opened for ON AIR mode",
    "ON AIR モードのためにサウンドデバイスを開けませんでした"};
inline constexpr Message MSG_DEVICE_RATE{
    "the device runs at %s Hz; ON AIR mode uses that rate",
    "デバイスは %s Hz で動作します。ON AIR モードはその周波数を使います"};
inline constexpr Message MSG_ONAIR_STOPPED{
    "stopped after %s s, %s underflows, %s overflows",
    "%s 秒で停止しました。アンダーフロー %s 回、オーバーフロー %s 回"};
inline constexpr Message MSG_ONAIR_LIVE_STOPPED{
    "stopped after %s s, periods of %s frames, %s late periods",
    "%s 秒で停止しました。周期 %s フレーム、遅れた周期 %s 回"};

// Songs
inline constexpr Message MSG_NO_FILE_GIVEN{"no FILE given", "FILE が指定されていません"};
inline constexpr Message MSG_SOURCE_FAILED{"%s: %s", "%s: %s"};
inline constexpr Message MSG_CANNOT_OPEN_IT{"cannot open it: %s", "開けません: %s"};
inline constexpr Message MSG_FILES_REFUSED{"%s of %s files refused",
                                           "%s / %s 個のファイルは登録できません"};
inline constexpr Message MSG_CANNOT_READ_IT{"cannot read it", "読めません"};
inline constexpr Message MSG_NO_DATA_CHUNK{"no \"data\" chunk", "\"data\" チャンクがありません"};
inline constexpr Message MSG_TEMP_FULL{"the temporary folder %s is full",
                                       "一時フォルダ %s がいっぱいです"};
inline constexpr Message MSG_NO_PRIVATE_TEMP{
    "cannot make a private folder in the temporary folder %s",
    "一時フォルダ %s に作業用フォルダを作れません"};

// Export
inline constexpr Message MSG_TEXT_TOO_LONG{"%s takes at most %s bytes", "%s は %s バイトまでです"};
inline constexpr Message MSG_AFFIX_NOT_PLAIN{
    "the affix '%s' is not a plain part of a file name (no \"/\", no \"..\")",
    "付加文字列 '%s' はファイル名の一部として使えません (\"/\" や \"..\" は不可)"};
inline constexpr Message MSG_BITRATE_RANGE{"--bitrate needs a number from 32 to 320",
                                           "--bitrate には 32 から 320 の数が必要です"};
inline constexpr Message MSG_OPUS_BITRATE_RANGE{
    "--bitrate with --opus needs a number from 12 to 256",
    "--opus の --bitrate には 12 から 256 の数が必要です"};
inline constexpr Message MSG_TIMEOUT_RANGE{
    "--encoder-timeout needs a whole number of seconds, 1 or more",
    "--encoder-timeout には 1 以上の秒数 (整数) が必要です"};
inline constexpr Message MSG_JOBS_RANGE{"--jobs needs a number of at least 1",
                                        "--jobs には 1 以上の数が必要です"};
inline constexpr Message MSG_NO_SOURCE_GIVEN{"no SOURCE given", "SOURCE が指定されていません"};
inline constexpr Message MSG_ONE_TARGET{
    "give exactly one of -o TARGET, -d FOLDER, --beside-source",
    "-o TARGET、-d FOLDER、--beside-source のどれか一つを指定します"};
inline constexpr Message MSG_ONE_SOURCE_FOR_O{
    "-o takes one SOURCE; use -d FOLDER for several",
    "-o は SOURCE を一つ取ります。複数なら -d FOLDER を使います"};
inline constexpr Message MSG_TOO_MANY_SOURCES{
    "at most 2000 songs per run, as many as a playlist holds",
    "一度に書き出せるのは 2000 曲 (プレイリストの上限) までです"};
inline constexpr Message MSG_NO_SUCH_FOLDER{"%s: no such folder", "%s: フォルダがありません"};
inline constexpr Message MSG_ENCODER_SAID{"%s: the external encoder printed:\n%s",
                                          "%s: 外部エンコーダの出力:\n%s"};
inline constexpr Message MSG_SWITCHED_TO_WAV{
    "the MP3 encoder failed; the remaining songs are written as WAV",
    "MP3 エンコーダが失敗しました。残りの曲は WAV で書き出します"};
inline constexpr Message MSG_EXPORT_STOPPED{"stopped; unfinished songs were not written",
                                            "中止しました。終わっていない曲は書き出していません"};

// Why the playlist refused a song, for `playlist make` and `play`.
const Message& add_refusal_message(AddResult r);

}  // namespace zv::cli
