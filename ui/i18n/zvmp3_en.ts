<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
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
            <translation>Use User's Preset</translation>
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
            <source>BASSブースト　ON/OFF</source>
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
            <source>ディエンファシス　ON/OFF</source>
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
            <translation>User's Manual</translation>
        </message>
        <message>
            <source>作者WEBサイトへ接続</source>
            <translation>Get the latest version...</translation>
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
            <translation>User's Preset #1</translation>
        </message>
        <message>
            <source>ユーザープリセット２</source>
            <translation>User's Preset #2</translation>
        </message>
        <message>
            <source>ユーザープリセット３</source>
            <translation>User's Preset #3</translation>
        </message>
    </context>
</TS>
