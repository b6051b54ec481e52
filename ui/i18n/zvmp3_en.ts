<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Dialog</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>サウンドデバイスの設定</source>
        <translation>Sound Device Settings</translation>
    </message>
    <message>
        <source>使用するサウンドデバイスを選択して下さい</source>
        <translation>Choose the sound devices to use</translation>
    </message>
    <message>
        <source>入力：</source>
        <translation>Input:</translation>
    </message>
    <message>
        <source>出力：</source>
        <translation>Output:</translation>
    </message>
    <message>
        <source>ON AIR モード サンリング周波数：</source>
        <translation>ON AIR mode sampling rate:</translation>
    </message>
    <message>
        <source>（音飛びが発生する場合は、低い周波数を選択して下さい。）</source>
        <translation>(If the sound skips, choose a lower rate.)</translation>
    </message>
    <message>
        <source>ON AIR モードを起動時に自動スタートする</source>
        <translation>Start ON AIR mode automatically at start-up</translation>
    </message>
    <message>
        <source>サウンドバッファ数（2-8）：</source>
        <translation>Number of sound buffers (2-8):</translation>
    </message>
    <message>
        <source>※サウンドカードやケーブル接続を変更した場合は、アプリケーションを再起動する必要があります。</source>
        <translation>* After changing the sound card or its cable connections, restart the application.</translation>
    </message>
    <message>
        <source>すべて</source>
        <translation>All</translation>
    </message>
    <message>
        <source>未処理のファイルのみ</source>
        <translation>Unprocessed files only</translation>
    </message>
    <message>
        <source>サウンドファイルを開く {*.wav;*.mp3;*.flac;*.ogg;*.oga;*.opus}</source>
        <translation>Open sound files {*.wav;*.mp3;*.flac;*.ogg;*.oga;*.opus}</translation>
    </message>
    <message>
        <source>WAV/MP3ファイルを開く {*.wav;*.mp3}</source>
        <translation>Open WAV/MP3 files {*.wav;*.mp3}</translation>
    </message>
    <message>
        <source>全てのファイル {*.*}</source>
        <translation>All files {*.*}</translation>
    </message>
    <message>
        <source>再生リストファイルを開く {*.plt}</source>
        <translation>Open a playlist file {*.plt}</translation>
    </message>
    <message>
        <source>再生リストを保存 {*.plt}</source>
        <translation>Save the playlist {*.plt}</translation>
    </message>
    <message>
        <source>パラメータファイルを開く {*.zv3}</source>
        <translation>Open a parameter file {*.zv3}</translation>
    </message>
    <message>
        <source>パラメータファイルを保存 {*.zv3}</source>
        <translation>Save a parameter file {*.zv3}</translation>
    </message>
    <message>
        <source>外部MP3エンコーダー（実行可能なプログラム）を開く</source>
        <translation>Open the external MP3 encoder (an executable program)</translation>
    </message>
    <message>
        <source>出力フォルダを選択</source>
        <translation>Choose the output folder</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>再生リストを開く</source>
        <translation>Open Playlist...</translation>
    </message>
    <message>
        <source>再生リストを保存</source>
        <translation>Save Playlist...</translation>
    </message>
    <message>
        <source>WAV/MP3ファイルをリストに登録</source>
        <translation>Open WAV/MP3 File...</translation>
    </message>
    <message>
        <source>サウンドデバイスの設定</source>
        <translation>Sound Device Settings...</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>パラメータ</source>
        <translation>Sound Parameters</translation>
    </message>
    <message>
        <source>パラメータファイルを開く</source>
        <translation>Open Parameter File...</translation>
    </message>
    <message>
        <source>パラメータをファイルに保存</source>
        <translation>Save Parameter File...</translation>
    </message>
    <message>
        <source>★推奨のサウンド設定</source>
        <translation>* Recommended Presets</translation>
    </message>
    <message>
        <source>デジタル 放送をシミュレート</source>
        <translation>Simulates Digital Audio Broadcast</translation>
    </message>
    <message>
        <source>インターネットラジオ用</source>
        <translation>For Internet Broadcast</translation>
    </message>
    <message>
        <source>FM 放送をシミュレート（エンファシス）</source>
        <translation>Simulates FM Broadcast (with emphasis)</translation>
    </message>
    <message>
        <source>ユーザープリセット呼び出し</source>
        <translation>Use User&apos;s Preset</translation>
    </message>
    <message>
        <source>プリセット１</source>
        <translation>Preset #1</translation>
    </message>
    <message>
        <source>プリセット２</source>
        <translation>Preset #2</translation>
    </message>
    <message>
        <source>プリセット３</source>
        <translation>Preset #3</translation>
    </message>
    <message>
        <source>ユーザープリセット記録</source>
        <translation>Save Parameters to</translation>
    </message>
    <message>
        <source>ユーザープリセット１に保存</source>
        <translation>Preset #1</translation>
    </message>
    <message>
        <source>ユーザープリセット２に保存</source>
        <translation>Preset #2</translation>
    </message>
    <message>
        <source>ユーザープリセット３に保存</source>
        <translation>Preset #3</translation>
    </message>
    <message>
        <source>入力をバイパス ON/OFF</source>
        <translation>Bypass - ON/OFF</translation>
    </message>
    <message>
        <source>BASSブースト&#x3000;ON/OFF</source>
        <translation>Bass EQ - ON/OFF</translation>
    </message>
    <message>
        <source>BASSフェーズシフタ ON/OFF</source>
        <translation>Bass Phase Shifter - ON/OFF</translation>
    </message>
    <message>
        <source>ステレオエンハンサ ON/OFF</source>
        <translation>Stereo Enhancer - ON/OFF</translation>
    </message>
    <message>
        <source>バーチャル スピーカー ON/OFF</source>
        <translation>Virtual Speaker ON/OFF</translation>
    </message>
    <message>
        <source>バーチャル スピーカー 初期化</source>
        <translation>Initialize Virtual Speaker Parameters</translation>
    </message>
    <message>
        <source>ON AIR モード...</source>
        <translation>** ON AIR MODE ** - ON/OFF</translation>
    </message>
    <message>
        <source>ディエンファシス&#x3000;ON/OFF</source>
        <translation>De-emphasis ON/OFF</translation>
    </message>
    <message>
        <source>再生リスト</source>
        <translation>Playlist</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>曲選択</source>
        <translation>Choose a song</translation>
    </message>
    <message>
        <source>自動リスト再生 ON/OFF</source>
        <translation>Continuous Playback - ON/OFF</translation>
    </message>
    <message>
        <source>曲順</source>
        <translation>Move the current song</translation>
    </message>
    <message>
        <source>リストから削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>リストをファイル名でソート</source>
        <translation>Sort List</translation>
    </message>
    <message>
        <source>昇順↓</source>
        <translation>Ascending</translation>
    </message>
    <message>
        <source>降順↑</source>
        <translation>Descending</translation>
    </message>
    <message>
        <source>曲の正規化レベルを取得する</source>
        <translation>Get Peak Level...</translation>
    </message>
    <message>
        <source>リストの曲を全て消去</source>
        <translation>Remove all songs</translation>
    </message>
    <message>
        <source>エクスポート</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>選択された曲をWAV/MP3ファイルに出力</source>
        <translation>Export the current song to a new WAV/MP3 file...</translation>
    </message>
    <message>
        <source>リストの全ての曲をWAV/MP3ファイルに出力</source>
        <translation>Export all songs to new WAV/MP3 files...</translation>
    </message>
    <message>
        <source>外部MP3エンコーダーの設定</source>
        <translation>External MP3 Encoding Program Setings..</translation>
    </message>
    <message>
        <source>ヘルプ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>ZelvonicMP3 について</source>
        <translation>About ZelvonicMP3...</translation>
    </message>
    <message>
        <source>ユーザーズ マニュアル</source>
        <translation>User&apos;s Manual</translation>
    </message>
    <message>
        <source>作者WEBサイトへ接続</source>
        <translation>Get the latest version...</translation>
    </message>
    <message>
        <source>言語 (Language)</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>自動 (Automatic)</source>
        <translation>Automatic</translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <source>ユーザーズ マニュアル（help/index.html）が見つかりません。</source>
        <translation>The User&apos;s Manual (help/index.html) cannot be found.</translation>
    </message>
    <message>
        <source>ユーザーズ マニュアルを開けませんでした。
</source>
        <translation>The User&apos;s Manual could not be opened.
</translation>
    </message>
    <message>
        <source>WEBページを開けませんでした。
</source>
        <translation>The web page could not be opened.
</translation>
    </message>
    <message>
        <source>使用可能な出力サウンドデバイスが見つかりません。
プレーヤー機能、ON-AIRモードは使用できません。</source>
        <translation>No usable output sound device was found.
The player and ON-AIR mode cannot be used.</translation>
    </message>
    <message>
        <source>使用可能な入力サウンドデバイスが見つかりません。
ON-AIRモードは使用できません。</source>
        <translation>No usable input sound device was found.
ON-AIR mode cannot be used.</translation>
    </message>
    <message>
        <source>外部MP3エンコーダ パラメータエラー</source>
        <translation>External MP3 encoder parameter error</translation>
    </message>
    <message>
        <source>パラメータの文字列が長すぎます。 (MAX LENGTH=260)</source>
        <translation>The parameter text is too long. (MAX LENGTH=260)</translation>
    </message>
    <message>
        <source>１</source>
        <translation>1</translation>
    </message>
    <message>
        <source>２</source>
        <translation>2</translation>
    </message>
    <message>
        <source>３</source>
        <translation>3</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>最新情報</source>
        <translation>Latest version</translation>
    </message>
    <message>
        <source>サウンドファイルの最大登録数 %d 曲 を超えました。
最大数を超えたファイルは登録されていません。</source>
        <translation>The list&apos;s maximum of %d sound files was exceeded.
The files beyond the maximum were not added.</translation>
    </message>
    <message>
        <source>このファイルフォーマットはサポートしていません。
サポートサウンドファイル： 48k/44.1k/32k, 1ch/2ch, 16bit</source>
        <translation>This file format is not supported.
Supported sound files: 48k/44.1k/32k, 1ch/2ch, 16bit</translation>
    </message>
    <message>
        <source>登録されたファイル[ %s ]から
ファイル[ %s ]を作成します。

よろしいですか？</source>
        <translation>From the listed file [ %s ]
the file [ %s ] will be made.

Do you wish to continue?</translation>
    </message>
    <message>
        <source>元のファイルと同じフォルダにファイルを出力します。

よろしいですか？</source>
        <translation>The files will be written to the same folders as the original files.

Do you wish to continue?</translation>
    </message>
    <message>
        <source>フォルダ[ %s ]にファイルを出力します。

よろしいですか？</source>
        <translation>The files will be written to the folder [ %s ].

Do you wish to continue?</translation>
    </message>
    <message>
        <source>ユーザープリセット%sに現在のパラメータを保存しまず
よろしいですか？</source>
        <translation>The current parameters will be saved to User&apos;s Preset #%s.
Do you wish to continue?</translation>
    </message>
    <message>
        <source>作者のWEBページへ接続しますか？
最新版の入手ができます。
%s</source>
        <translation>Connect to the author&apos;s web page?
The latest version is available there.
%s</translation>
    </message>
    <message>
        <source>※ 外部MP3エンコーダを使用中です。</source>
        <translation>* The external MP3 encoder is in use.</translation>
    </message>
    <message>
        <source>ファイル[ %s ]を保存できませんでした。
%s</source>
        <translation>The file [ %s ] could not be saved.
%s</translation>
    </message>
    <message>
        <source>設定ファイル[ %s ]に書き込めませんでした。
%s</source>
        <translation>The settings file [ %s ] could not be written.
%s</translation>
    </message>
    <message>
        <source>ファイル[ %s ]を出力できませんでした。
%s</source>
        <translation>The file [ %s ] could not be exported.
%s</translation>
    </message>
    <message>
        <source>MP3 エンコードに失敗したため、出力形式を WAV に切り替えました。</source>
        <translation>MP3 encoding failed, so the output format was switched to WAV.</translation>
    </message>
    <message>
        <source>次のファイルは出力できませんでした。

%s</source>
        <translation>The following files could not be exported.

%s</translation>
    </message>
    <message>
        <source>出力したファイルのラウドネス (EBU R128)

%s</source>
        <translation>Loudness of the files written (EBU R128)

%s</translation>
    </message>
    <message>
        <source>（ほか %d 曲）</source>
        <translation>(and %d more songs)</translation>
    </message>
    <message>
        <source>パスが長すぎるため、%d 個のファイルは登録されていません。
（パスは255バイトまでです。）</source>
        <translation>%d files were not added because their paths are too long.
(A path may have up to 255 bytes.)</translation>
    </message>
    <message>
        <source>出力ファイル名に付加する文字列に「/」は使用できません。</source>
        <translation>The text added to the output file names cannot contain &quot;/&quot;.</translation>
    </message>
    <message>
        <source>このパラメータファイルは外部MP3エンコーダの設定を変更しようとしています。

外部MP3エンコーダを使用： %s
プログラム： %s
パラメータ： %s

この設定を読み込みますか？
（キャンセルを選ぶと、外部MP3エンコーダの設定は今のまま変わりません。）</source>
        <translation>This parameter file would change the external MP3 encoder settings.

Use the external MP3 encoder: %s
Program: %s
Parameters: %s

Load these settings?
(Choose Cancel to keep the external MP3 encoder settings as they are.)</translation>
    </message>
    <message>
        <source>言語の変更は、次回の起動時に反映されます。</source>
        <translation>The new language takes effect the next time the program starts.</translation>
    </message>
    <message>
        <source>プログラムフォルダを使用できないため、ZelvonicMP3 を起動できません。
%s</source>
        <translation>ZelvonicMP3 cannot start: the program folder cannot be used.
%s</translation>
    </message>
    <message>
        <source>ファイル[ %s ]の出力を中止しました。
このファイルは作成されていません。</source>
        <translation>The export to [ %s ] was cancelled.
This file was not written.</translation>
    </message>
    <message>
        <source>次の外部MP3エンコーダは、まだ確認されていません。

プログラム： %s
パラメータ： %s

このプログラムを実行しますか？
（キャンセルを選ぶと、内蔵のMP3エンコーダで出力します。）</source>
        <translation>This external MP3 encoder has not been confirmed yet.

Program: %s
Parameters: %s

Run this program?
(Cancel exports with the built-in MP3 encoder.)</translation>
    </message>
    <message>
        <source>リストがいっぱいのため、%d 個のファイルは登録されていません。</source>
        <translation>The list is full: %d files were not added.</translation>
    </message>
    <message>
        <source>ON AIR モード中は、曲をリストに登録できません。</source>
        <translation>Songs cannot be added to the list in ON AIR mode.</translation>
    </message>
    <message>
        <source>再生中はプレイリストを開けません。
停止してから、もう一度ドロップしてください。</source>
        <translation>A playlist cannot be opened while a song plays.
Stop, then drop it again.</translation>
    </message>
</context>
<context>
    <name>Toolbar</name>
    <message>
        <source>WAV/MP3ファイルをリストに登録</source>
        <translation>Add WAV/MP3 files to the list</translation>
    </message>
    <message>
        <source>リストの曲を全て消去</source>
        <translation>Remove all songs</translation>
    </message>
    <message>
        <source>再生[SPACE]</source>
        <translation>Play[SPACE]</translation>
    </message>
    <message>
        <source>停止[SPACE]</source>
        <translation>Stop[SPACE]</translation>
    </message>
    <message>
        <source>選択された曲をWAV/MP3ファイルに出力</source>
        <translation>Export the current song to a new WAV/MP3 file</translation>
    </message>
    <message>
        <source>リストの全ての曲をWAV/MP3ファイルに出力</source>
        <translation>Export all songs to new WAV/MP3 files</translation>
    </message>
    <message>
        <source>ユーザープリセット１</source>
        <translation>User&apos;s Preset #1</translation>
    </message>
    <message>
        <source>ユーザープリセット２</source>
        <translation>User&apos;s Preset #2</translation>
    </message>
    <message>
        <source>ユーザープリセット３</source>
        <translation>User&apos;s Preset #3</translation>
    </message>
</context>
<context>
    <name>Window</name>
    <message>
        <source>リスト曲数： %1</source>
        <translation>Songs in list: %1</translation>
    </message>
    <message>
        <source>【スペース】:再生/停止 | 【↑/↓】:曲選択 | 【Shift + ↑/↓】:曲移動 | 【DEL】:曲消去</source>
        <translation>[SPACE]:Play/Stop | [↑/↓]:Choose | [Shift + ↑/↓]:Move | [DEL]:Delete</translation>
    </message>
    <message>
        <source>再生リスト</source>
        <translation>Playlist</translation>
    </message>
    <message>
        <source>ツールバー</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>コントロールパネル</source>
        <translation>Control panel</translation>
    </message>
    <message>
        <source>オン</source>
        <translation>on</translation>
    </message>
    <message>
        <source>オフ</source>
        <translation>off</translation>
    </message>
</context>
</TS>
