<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AtomicFile</name>
    <message>
        <source>ファイル %1 を作成できません</source>
        <translation>Cannot create the file %1</translation>
    </message>
    <message>
        <source>（リンク先 %1 がありません）</source>
        <translation> (the link target %1 does not exist)</translation>
    </message>
    <message>
        <source>（シンボリックリンクが循環しています）</source>
        <translation> (the symbolic links form a loop)</translation>
    </message>
    <message>
        <source>（%1 は通常のファイルではありません）</source>
        <translation> (%1 is not a regular file)</translation>
    </message>
</context>
<context>
    <name>BitPanel</name>
    <message>
        <source>左クリックで移動・右クリックでON/OFF</source>
        <translation>Left click: move, right click: ON/OFF</translation>
    </message>
    <message>
        <source>モニターユニットが応答しません</source>
        <translation>The monitor unit does not answer</translation>
    </message>
    <message>
        <source>ビット%1 ライン%2</source>
        <translation>Bit %1, line %2</translation>
    </message>
</context>
<context>
    <name>BitTimeline</name>
    <message>
        <source>ライン%1</source>
        <translation>Line %1</translation>
    </message>
    <message>
        <source>%1 %2（ワード%3）</source>
        <translation>%1 %2 (word %3)</translation>
    </message>
    <message>
        <source>%1 %2（ビット%3～%4）</source>
        <translation>%1 %2 (bits %3–%4)</translation>
    </message>
</context>
<context>
    <name>ChannelMonitor</name>
    <message>
        <source>表示クリア</source>
        <translation>Clear the display</translation>
    </message>
    <message>
        <source>フォーマット選択</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>13ビットフォーマット</source>
        <translation>13-bit format</translation>
    </message>
    <message>
        <source>12ビットフォーマット</source>
        <translation>12-bit format</translation>
    </message>
    <message>
        <source>表示形式</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>10進表示</source>
        <translation>Decimal</translation>
    </message>
    <message>
        <source>16進表示</source>
        <translation>Hex</translation>
    </message>
</context>
<context>
    <name>ChannelTrends</name>
    <message>
        <source>%1 %2（ワード%3）%4</source>
        <translation>%1 %2 (word %3)%4</translation>
    </message>
    <message>
        <source> 12ビット</source>
        <translation> 12-bit</translation>
    </message>
    <message>
        <source> 13ビット</source>
        <translation> 13-bit</translation>
    </message>
    <message>
        <source>CH%1</source>
        <translation>CH%1</translation>
    </message>
</context>
<context>
    <name>CommFailure</name>
    <message>
        <source>排他モード</source>
        <translation>exclusive mode</translation>
    </message>
    <message>
        <source>ロックファイル %1</source>
        <translation>lock file %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1 にはデバイスがありません (設定ファイルの [PORTS] で %1= に デバイスを指定できます)</source>
        <translation>There is no device for %1 (name one as %1= under [PORTS] in the settings file)</translation>
    </message>
    <message>
        <source>%1 がありません</source>
        <translation>%1 does not exist</translation>
    </message>
    <message>
        <source>%1 を開く権限がありません (dialout グループに参加してください)</source>
        <translation>No permission to open %1 (join the dialout group)</translation>
    </message>
    <message>
        <source>%1 は他のプログラムが使用中です</source>
        <translation>%1 is in use by another program</translation>
    </message>
    <message>
        <source>%1 はシリアルポートではありません</source>
        <translation>%1 is not a serial port</translation>
    </message>
    <message>
        <source>%1 が応答しません (%2)</source>
        <translation>%1 does not respond (%2)</translation>
    </message>
    <message>
        <source>%1 のホストが見つかりません</source>
        <translation>The host of %1 was not found</translation>
    </message>
    <message>
        <source>%1 に接続を拒否されました (サーバーが動いていないか、ポート番号が違います)</source>
        <translation>%1 refused the connection (the server is not running, or the port number is wrong)</translation>
    </message>
    <message>
        <source>%1 から時間内に応答がありませんでした (時間切れ)</source>
        <translation>No answer from %1 in time (timed out)</translation>
    </message>
    <message>
        <source>%1 のネットワークに到達できません (%2)</source>
        <translation>The network of %1 cannot be reached (%2)</translation>
    </message>
    <message>
        <source>%1 は RFC 2217 (COM-PORT-OPTION) に応じませんでした</source>
        <translation>%1 did not accept RFC 2217 (COM-PORT-OPTION)</translation>
    </message>
    <message>
        <source>%1 への接続を取り消しました</source>
        <translation>The connection to %1 was cancelled</translation>
    </message>
    <message>
        <source>%1 のサーバーは%2を受け付けませんでした</source>
        <translation>The server of %1 did not accept %2</translation>
    </message>
    <message>
        <source>%1 のドライバーは%2を受け付けませんでした</source>
        <translation>The driver of %1 did not accept %2</translation>
    </message>
    <message>
        <source>%1 で%2を設定できませんでした (%3)</source>
        <translation>Could not set %2 on %1 (%3)</translation>
    </message>
    <message>
        <source>%1 で%2を設定できませんでした</source>
        <translation>Could not set %2 on %1</translation>
    </message>
</context>
<context>
    <name>CommX</name>
    <message>
        <source>受信バッファ %1 バイト</source>
        <translation>a receive buffer of %1 bytes</translation>
    </message>
    <message>
        <source>送信バッファ %1 バイト</source>
        <translation>a transmit buffer of %1 bytes</translation>
    </message>
</context>
<context>
    <name>CommXErrors</name>
    <message>
        <source>ポートは、すでにオープンされています</source>
        <translation>The port is already open</translation>
    </message>
    <message>
        <source>ポートをオープンできませんでした</source>
        <translation>Could not open the port</translation>
    </message>
    <message>
        <source>通信用ポートのバッファを準備できませんでした</source>
        <translation>Could not set up the port buffers</translation>
    </message>
    <message>
        <source>通信速度の設定でエラーが発生しました</source>
        <translation>Setting the baud rate failed</translation>
    </message>
    <message>
        <source>通信ビット数の設定でエラーが発生しました</source>
        <translation>Setting the data bits failed</translation>
    </message>
    <message>
        <source>通信パリティチェックの設定でエラーが発生しました</source>
        <translation>Setting the parity failed</translation>
    </message>
    <message>
        <source>通信ストップビット数の設定でエラーが発生しました</source>
        <translation>Setting the stop bits failed</translation>
    </message>
    <message>
        <source>通信フロー制御の設定で失敗しました</source>
        <translation>Setting the flow control failed</translation>
    </message>
    <message>
        <source>Ｘｏｎ文字の設定でエラーが発生しました</source>
        <translation>Setting the XON character failed</translation>
    </message>
    <message>
        <source>Ｘｏｆｆ文字の設定でエラーが発生しました</source>
        <translation>Setting the XOFF character failed</translation>
    </message>
    <message>
        <source>送信用スレッドを生成できませんでした</source>
        <translation>Could not start the transmit thread</translation>
    </message>
    <message>
        <source>受信用スレッドを生成できませんでした</source>
        <translation>Could not start the receive thread</translation>
    </message>
</context>
<context>
    <name>CommentFile</name>
    <message>
        <source>番号</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>コメント</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>%1 行目の%2の %3 文字目 %4 は Shift-JIS で保存できません</source>
        <translation>Row %1, %2, character %3: %4 cannot be saved in Shift-JIS</translation>
    </message>
    <message>
        <source>その文字を別の文字に置き換えてから保存してください。ファイルは変更していません</source>
        <translation>Replace that character with another one, then save again. The file has not been changed</translation>
    </message>
    <message>
        <source>コメント表の %1 行目の番号です</source>
        <translation>In the Number column, row %1 of the comment table</translation>
    </message>
</context>
<context>
    <name>CommentGrid</name>
    <message>
        <source>%1 バイト</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>文字 %1 は Shift-JIS で保存できないため入力できません</source>
        <translation>The character %1 cannot be entered: Shift-JIS cannot store it</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>右クリックでポップアップメニュー</source>
        <translation>Right click for the pop-up menu</translation>
    </message>
    <message>
        <source>編集結果を反映</source>
        <translation>Apply edit</translation>
    </message>
    <message>
        <source>行挿入(&amp;I)</source>
        <translation>&amp;Insert Row</translation>
    </message>
    <message>
        <source>行削除(&amp;D)</source>
        <translation>&amp;Delete Row</translation>
    </message>
    <message>
        <source>行追加(&amp;A)</source>
        <translation>&amp;Add Row</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>コメント</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>ファイル %1 を読み込めません</source>
        <translation>Cannot read the file %1</translation>
    </message>
    <message>
        <source>ファイルの大きさ %1 が読み込める上限 %2 を超えています</source>
        <translation>The file size %1 is above the limit of %2 that can be read</translation>
    </message>
    <message>
        <source>読み込み用のスレッドを作れません (メモリが足りません)</source>
        <translation>Cannot start the reading thread (not enough memory)</translation>
    </message>
    <message>
        <source>%1 を読み込んでいます</source>
        <translation>Reading %1</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>コメントファイル</source>
        <translation>Comment file</translation>
    </message>
    <message>
        <source>%1 のファイルを読み込むにはメモリが足りません。グリッドは元のままです</source>
        <translation>Not enough memory to read a file of %1. The grid is unchanged</translation>
    </message>
    <message>
        <source>グリッドを作るにはメモリが足りません</source>
        <translation>Not enough memory to build the grid</translation>
    </message>
    <message>
        <source>%1 行目に Shift-JIS として読めないバイトか、保存すると別のバイトになる文字があります</source>
        <translation>Line %1 holds bytes that are not valid Shift-JIS, or characters that would be saved as different bytes</translation>
    </message>
    <message>
        <source>ファイルの終わりを示す Ctrl-Z の後に %1 バイトのテキストがあり、読み込んでいません</source>
        <translation>%1 bytes of text after the end-of-file mark Ctrl-Z were not read</translation>
    </message>
    <message>
        <source>%1:
%2
保存するとファイルのこの部分は変わります</source>
        <translation>%1:
%2
Saving will change this part of the file</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>%1 を読み込んだときの警告:
%2
保存するとファイルのこの部分は変わります。保存しますか?</source>
        <translation>Warning from reading %1:
%2
Saving will change this part of the file. Save anyway?</translation>
    </message>
    <message>
        <source>保存する</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>(無題)</source>
        <translation>(untitled)</translation>
    </message>
    <message>
        <source>コメント %1 の変更は保存されていません。保存しますか?</source>
        <translation>The changes to the comment file %1 are not saved. Save them?</translation>
    </message>
    <message>
        <source>保存しない</source>
        <translation>Don&apos;t Save</translation>
    </message>
    <message>
        <source>前回の終了時に保存されなかったコメントの変更が %1 に残っています。読み込みますか?</source>
        <translation>Comment changes left unsaved when the program last ended are kept in %1. Load them?</translation>
    </message>
    <message>
        <source>読み込む</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>破棄する</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>コメント表の %1 行目の番号です</source>
        <translation>In the Number column, row %1 of the comment table</translation>
    </message>
    <message>
        <source>コメントがセットされていません</source>
        <translation>No comment has been set</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>CSVファイル (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>すべてのファイル (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
<context>
    <name>CommentPanels</name>
    <message>
        <source>ｺﾒﾝﾄ ON/OFF</source>
        <translation>Cmt ON/OFF</translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄ編集</source>
        <translation>Edit cmt</translation>
    </message>
</context>
<context>
    <name>DisplayFreshness</name>
    <message>
        <source>ユニットからの表示が届いていません（表示は最後に受け取ったままです）</source>
        <translation>No display data from the unit (the display shows what was last received)</translation>
    </message>
</context>
<context>
    <name>DisplayLineModel</name>
    <message>
        <source>%1 ～ %2</source>
        <translation>%1 - %2</translation>
    </message>
</context>
<context>
    <name>DisplayLines</name>
    <message>
        <source>000 ～ 063</source>
        <translation>000 - 063</translation>
    </message>
    <message>
        <source>デバッグ</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>モニター</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>QXモニター</source>
        <translation>QX Monitor</translation>
    </message>
    <message>
        <source>[ビットモード]</source>
        <translation> [bit mode]</translation>
    </message>
    <message>
        <source>[データモード]</source>
        <translation> [data mode]</translation>
    </message>
</context>
<context>
    <name>Exceptions</name>
    <message>
        <source>&apos;%1&apos; は整数ではありません</source>
        <translation>&apos;%1&apos; is not an integer</translation>
    </message>
</context>
<context>
    <name>HistoryControl</name>
    <message>
        <source>履歴(&amp;H)…</source>
        <translation>&amp;History…</translation>
    </message>
    <message>
        <source>表示の履歴（ビットの変化と8チャンネルの値）を表示します</source>
        <translation>Shows the history of the display (bit changes and eight-channel values)</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>履歴 - QXモニター</source>
        <translation>History - QX Monitor</translation>
    </message>
    <message>
        <source>拡大(&amp;I)</source>
        <translation>Zoom &amp;In</translation>
    </message>
    <message>
        <source>時間軸を拡大します</source>
        <translation>Zooms the time axis in</translation>
    </message>
    <message>
        <source>縮小(&amp;O)</source>
        <translation>Zoom &amp;Out</translation>
    </message>
    <message>
        <source>時間軸を縮小します</source>
        <translation>Zooms the time axis out</translation>
    </message>
    <message>
        <source>全体(&amp;W)</source>
        <translation>&amp;Whole History</translation>
    </message>
    <message>
        <source>保持している履歴全体を表示します</source>
        <translation>Shows the whole history held</translation>
    </message>
    <message>
        <source>CSVに書き出す(&amp;C)…</source>
        <translation>Export as &amp;CSV…</translation>
    </message>
    <message>
        <source>表示している範囲をCSVファイルに書き出します</source>
        <translation>Writes the range shown to a CSV file</translation>
    </message>
    <message>
        <source>PNGで保存(&amp;P)…</source>
        <translation>Save as &amp;PNG…</translation>
    </message>
    <message>
        <source>このウィンドウをPNG画像として保存します</source>
        <translation>Saves this window as a PNG picture</translation>
    </message>
    <message>
        <source>チャンネル:</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>チャンネル%1の曲線を表示します</source>
        <translation>Shows the curve of channel %1</translation>
    </message>
    <message>
        <source>履歴はまだありません（上限 %1 件の変化）</source>
        <translation>No history yet (up to %1 changes)</translation>
    </message>
    <message>
        <source>%1 件の変化を保持（上限 %2 件）、%3 から</source>
        <translation>%1 changes held (up to %2), from %3</translation>
    </message>
    <message>
        <source>。それより古い %1 件は捨てました</source>
        <translation>; %1 older ones were dropped</translation>
    </message>
    <message>
        <source>ファイル %1 を作成できません</source>
        <translation>Cannot create the file %1</translation>
    </message>
    <message>
        <source>履歴の書き出し先</source>
        <translation>Export the history to</translation>
    </message>
    <message>
        <source>CSV (*.csv);;すべてのファイル (*)</source>
        <translation>CSV (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>画像の保存先</source>
        <translation>Save the picture to</translation>
    </message>
    <message>
        <source>PNG画像 (*.png);;すべてのファイル (*)</source>
        <translation>PNG pictures (*.png);;All files (*)</translation>
    </message>
</context>
<context>
    <name>IdScan</name>
    <message>
        <source>&apos;%1&apos; は整数ではありません</source>
        <translation>&apos;%1&apos; is not an integer</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>State</translation>
    </message>
    <message>
        <source>登録済IDの表示</source>
        <translation>Show the registered IDs</translation>
    </message>
    <message>
        <source>IDスキャン中...</source>
        <translation>Scanning IDs...</translation>
    </message>
    <message>
        <source>IDスキャンを中断しました（ポートが閉じられました）</source>
        <translation>ID scan interrupted (the port was closed)</translation>
    </message>
    <message>
        <source>IDスキャンを中断しました（ユニットの応答がありません）</source>
        <translation>ID scan interrupted (the unit does not answer)</translation>
    </message>
    <message>
        <source>IDスキャンを中止しました（ウィンドウが閉じられました）</source>
        <translation>ID scan cancelled (the window was closed)</translation>
    </message>
    <message>
        <source>。読み取ったID %1 件までの途中結果です（カウンタは空のまま）</source>
        <translation>. The list is a partial result of the %1 IDs read (the counters stay empty)</translation>
    </message>
    <message>
        <source>IDスキャンを中断しました（%1 行目のIDが読めません）</source>
        <translation>ID scan interrupted (the ID in row %1 cannot be read)</translation>
    </message>
    <message>
        <source>IDスキャンが完了しました（ID %1 件）</source>
        <translation>ID scan complete (%1 IDs)</translation>
    </message>
</context>
<context>
    <name>IdScanExport</name>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>ファイル %1 を作成できません</source>
        <translation>Cannot create the file %1</translation>
    </message>
    <message>
        <source>IDスキャン結果の保存先</source>
        <translation>Save the ID scan result as</translation>
    </message>
    <message>
        <source>CSV (*.csv);;すべてのファイル (*)</source>
        <translation>CSV (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>CSVに保存(&amp;S)…</source>
        <translation>&amp;Save as CSV…</translation>
    </message>
</context>
<context>
    <name>ImageBox</name>
    <message>
        <source>点灯</source>
        <translation>on</translation>
    </message>
    <message>
        <source>消灯</source>
        <translation>off</translation>
    </message>
    <message>
        <source> 緑</source>
        <translation> green</translation>
    </message>
    <message>
        <source> 赤</source>
        <translation> red</translation>
    </message>
</context>
<context>
    <name>KeyPad</name>
    <message>
        <source>上移動</source>
        <translation>Move Up</translation>
    </message>
    <message>
        <source>左移動</source>
        <translation>Move Left</translation>
    </message>
    <message>
        <source>ビットデータのオン/オフ(F9)</source>
        <translation>Turn the bit on/off (F9)</translation>
    </message>
    <message>
        <source>右移動</source>
        <translation>Move Right</translation>
    </message>
    <message>
        <source>下移動</source>
        <translation>Move Down</translation>
    </message>
    <message>
        <source>データのセット(F10)</source>
        <translation>Set data (F10)</translation>
    </message>
</context>
<context>
    <name>LineRecorder</name>
    <message>
        <source>ファイル %1 を作成できません</source>
        <translation>Cannot create the file %1</translation>
    </message>
    <message>
        <source>ファイル %1 に書き込めません</source>
        <translation>Cannot write to the file %1</translation>
    </message>
    <message>
        <source>書き込みが終わりました</source>
        <translation>writing ended</translation>
    </message>
    <message>
        <source>%1 への記録を止めました: %2</source>
        <translation>Recording to %1 stopped: %2</translation>
    </message>
    <message>
        <source>%1 への書き込みが追いつかないため、記録を止めました</source>
        <translation>Recording to %1 stopped: writing could not keep up</translation>
    </message>
</context>
<context>
    <name>LineRecording</name>
    <message>
        <source>ファイル %1 が見つかりません</source>
        <translation>The file %1 was not found</translation>
    </message>
    <message>
        <source>%1 は記録ファイルではありません</source>
        <translation>%1 is not a recording file</translation>
    </message>
    <message>
        <source>%1 は大きすぎて開けません (%2 MB、上限 %3 MB)</source>
        <translation>%1 is too large to open (%2 MB, the limit is %3 MB)</translation>
    </message>
    <message>
        <source>ファイル %1 を開けません</source>
        <translation>Cannot open the file %1</translation>
    </message>
    <message>
        <source>%1 は記録ファイル (pcap) ではありません</source>
        <translation>%1 is not a recording file (pcap)</translation>
    </message>
    <message>
        <source>%1 は QX 回線の記録ではありません (リンク種別 %2、記録は %3)</source>
        <translation>%1 is not a recording of a QX line (link type %2, recordings use %3)</translation>
    </message>
    <message>
        <source>記録 %1 の向きが不明です</source>
        <translation>Record %1 has an unknown direction</translation>
    </message>
</context>
<context>
    <name>PortControl</name>
    <message>
        <source>QXモニター[COM%1]</source>
        <translation>QX Monitor [COM%1]</translation>
    </message>
    <message>
        <source>COM%1 (%2) に接続しています… (切断で取り消せます)</source>
        <translation>Connecting to COM%1 (%2)… (Disconnect cancels)</translation>
    </message>
    <message>
        <source>接続ボタンを押してください</source>
        <translation>Press the Connect button</translation>
    </message>
    <message>
        <source>COM%1 (%2) との接続が失われました。デバイスが戻ると自動的に再接続します</source>
        <translation>The connection to COM%1 (%2) was lost. It reconnects by itself when the device returns</translation>
    </message>
    <message>
        <source>COM%1 (%2) との接続が失われました。デバイスを確かめて、もう一度接続してください</source>
        <translation>The connection to COM%1 (%2) was lost. Check the device and connect again</translation>
    </message>
    <message>
        <source>COM%1 (%2) に再接続しました</source>
        <translation>Reconnected to COM%1 (%2)</translation>
    </message>
    <message>
        <source>%1 に書き込めません</source>
        <translation>Cannot write to %1</translation>
    </message>
    <message>
        <source>	(デバイスなし)</source>
        <translation>	(no device)</translation>
    </message>
    <message>
        <source>COM%1 にはデバイスがありません</source>
        <translation>There is no device for COM%1</translation>
    </message>
</context>
<context>
    <name>RecordControl</name>
    <message>
        <source>記録 (*.pcap);;すべてのファイル (*)</source>
        <translation>Recordings (*.pcap);;All files (*)</translation>
    </message>
    <message>
        <source> 記録を終えました: %1</source>
        <translation> Recording ended: %1</translation>
    </message>
    <message>
        <source>記録(&amp;L)…</source>
        <translation>Record the &amp;Line…</translation>
    </message>
    <message>
        <source>接続中の回線をファイルに記録します</source>
        <translation>Records the connected line to a file</translation>
    </message>
    <message>
        <source>再生(&amp;P)…</source>
        <translation>&amp;Play Back a Recording…</translation>
    </message>
    <message>
        <source>記録した回線を再生します (切断中のみ)</source>
        <translation>Plays back a recorded line (only while disconnected)</translation>
    </message>
    <message>
        <source>記録をCSVに書き出す(&amp;E)…</source>
        <translation>&amp;Export a Recording as CSV…</translation>
    </message>
    <message>
        <source>記録するには先にポートを接続してください</source>
        <translation>Connect a port before recording</translation>
    </message>
    <message>
        <source>%1 に記録しています</source>
        <translation>Recording to %1</translation>
    </message>
    <message>
        <source>記録を終えました: %1 (%2 バイト)</source>
        <translation>Recording ended: %1 (%2 bytes)</translation>
    </message>
    <message>
        <source>記録の保存先</source>
        <translation>Save the recording as</translation>
    </message>
    <message>
        <source>切断したため記録を終えました: %1 (%2 バイト)</source>
        <translation>Recording ended on disconnect: %1 (%2 bytes)</translation>
    </message>
    <message>
        <source>● 記録中 %1</source>
        <translation>● Recording %1</translation>
    </message>
    <message>
        <source>%1 を読むメモリが足りません</source>
        <translation>Not enough memory to read %1</translation>
    </message>
    <message>
        <source>%1 を読んでいます…</source>
        <translation>Reading %1…</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 の終わりが欠けていたため、その手前までを読みました (%2)</source>
        <translation>The end of %1 is missing; it was read up to that point (%2)</translation>
    </message>
    <message>
        <source>再生するには先に切断してください</source>
        <translation>Disconnect before playing back</translation>
    </message>
    <message>
        <source>再生する記録</source>
        <translation>Recording to play back</translation>
    </message>
    <message>
        <source>%1 には受信した記録がありません</source>
        <translation>%1 holds no received data</translation>
    </message>
    <message>
        <source>[再生]</source>
        <translation> [replay]</translation>
    </message>
    <message>
        <source>QXモニター[再生] %1</source>
        <translation>QX Monitor [replay] %1</translation>
    </message>
    <message>
        <source>%1 を再生しています</source>
        <translation>Playing back %1</translation>
    </message>
    <message>
        <source>再生を終えました</source>
        <translation>Playback finished</translation>
    </message>
    <message>
        <source>%1 行を %2 に書き出しました</source>
        <translation>Wrote %1 rows to %2</translation>
    </message>
    <message>
        <source>CSVに書き出す記録</source>
        <translation>Recording to export as CSV</translation>
    </message>
    <message>
        <source>CSVの保存先</source>
        <translation>Save the CSV as</translation>
    </message>
    <message>
        <source>CSV (*.csv);;すべてのファイル (*)</source>
        <translation>CSV (*.csv);;All files (*)</translation>
    </message>
</context>
<context>
    <name>RecordingCsv</name>
    <message>
        <source>ファイル %1 を作成できません</source>
        <translation>Cannot create the file %1</translation>
    </message>
</context>
<context>
    <name>RegularFile</name>
    <message>
        <source>フォルダ</source>
        <translation>a folder</translation>
    </message>
    <message>
        <source>デバイス</source>
        <translation>a device</translation>
    </message>
    <message>
        <source>ソケット</source>
        <translation>a socket</translation>
    </message>
    <message>
        <source>通常のファイル以外</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>File not found</translation>
    </message>
    <message>
        <source>ファイルアクセスが拒否されました</source>
        <translation>File access denied</translation>
    </message>
    <message>
        <source>ファイル %1 は通常のファイルではないため開けません（%2）</source>
        <translation>Cannot open %1: it is not a regular file (%2)</translation>
    </message>
    <message>
        <source>ファイル %1 は大きすぎるため開けません（%2 バイト）</source>
        <translation>Cannot open %1: it is too large (%2 bytes)</translation>
    </message>
    <message>
        <source>ファイル %1 を読み込めません（%2）</source>
        <translation>Cannot read the file %1 (%2)</translation>
    </message>
</context>
<context>
    <name>ReplayBar</name>
    <message>
        <source>再生 - %1</source>
        <translation>Playback - %1</translation>
    </message>
    <message>
        <source>最速</source>
        <translation>Fastest</translation>
    </message>
    <message>
        <source>再生の速さ</source>
        <translation>Playback speed</translation>
    </message>
    <message>
        <source>記録の時刻 (ドラッグでその時刻まで再生)</source>
        <translation>Time in the recording (drag to play up to that time)</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>再生をやめる</source>
        <translation>Stop the playback</translation>
    </message>
    <message>
        <source>一時停止</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Play</translation>
    </message>
</context>
<context>
    <name>SerialDevice</name>
    <message>
        <source>通信速度 %1 bit/s</source>
        <translation>a baud rate of %1 bit/s</translation>
    </message>
    <message>
        <source>データビット数 %1</source>
        <translation>%1 data bits</translation>
    </message>
    <message>
        <source>奇数パリティ</source>
        <translation>odd parity</translation>
    </message>
    <message>
        <source>偶数パリティ</source>
        <translation>even parity</translation>
    </message>
    <message>
        <source>パリティなし</source>
        <translation>no parity</translation>
    </message>
    <message>
        <source>ストップビット数 1.5</source>
        <translation>1.5 stop bits</translation>
    </message>
    <message>
        <source>ストップビット数 2</source>
        <translation>2 stop bits</translation>
    </message>
    <message>
        <source>ストップビット数 1</source>
        <translation>1 stop bit</translation>
    </message>
    <message>
        <source>RTS/CTS フロー制御</source>
        <translation>RTS/CTS flow control</translation>
    </message>
    <message>
        <source>XON/XOFF フロー制御</source>
        <translation>XON/XOFF flow control</translation>
    </message>
    <message>
        <source>フロー制御なし</source>
        <translation>no flow control</translation>
    </message>
    <message>
        <source>Xon 文字 0x%1</source>
        <translation>XON character 0x%1</translation>
    </message>
    <message>
        <source>Xoff 文字 0x%1</source>
        <translation>XOFF character 0x%1</translation>
    </message>
</context>
<context>
    <name>SerialPortInfo</name>
    <message>
        <source>%1 (見つかりません)</source>
        <translation>%1 (not found)</translation>
    </message>
</context>
<context>
    <name>TAboutDlg</name>
    <message>
        <source>このプログラムについて</source>
        <translation>About This Program</translation>
    </message>
    <message>
        <source>QXモニター&#x3000;WindowsPC版(NoSupport)</source>
        <translation>QX Monitor  Windows PC edition (NoSupport)</translation>
    </message>
    <message>
        <source>バージョン2.1.1  2008/06/23</source>
        <translation>Version 2.1.1  2008/06/23</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>最初にシリアルポートを指定してください</source>
        <translation>First choose the serial port</translation>
    </message>
    <message>
        <source>QXモニター</source>
        <translation>QX Monitor</translation>
    </message>
    <message>
        <source>%1 に書き込めません</source>
        <translation>Cannot write to %1</translation>
    </message>
    <message>
        <source>%1 に書き込めないため、設定を %2 に書き込みました</source>
        <translation>Cannot write to %1; the settings were written to %2</translation>
    </message>
    <message>
        <source>保存されていないコメントの変更を %1 に残しました</source>
        <translation>The unsaved comment changes were kept in %1</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>開く(&amp;O)</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)</source>
        <translation>Save &amp;As</translation>
    </message>
    <message>
        <source>接続(&amp;C)</source>
        <translation>&amp;Connect</translation>
    </message>
    <message>
        <source>切断(&amp;D)</source>
        <translation>&amp;Disconnect</translation>
    </message>
    <message>
        <source>自動再接続(&amp;R)</source>
        <translation>Auto &amp;Reconnect</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>ポート(&amp;P)</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>モード(&amp;M)</source>
        <translation>&amp;Mode</translation>
    </message>
    <message>
        <source>移動(&amp;V)</source>
        <translation>Mo&amp;ve</translation>
    </message>
    <message>
        <source>上移動</source>
        <translation>Move Up</translation>
    </message>
    <message>
        <source>下移動</source>
        <translation>Move Down</translation>
    </message>
    <message>
        <source>左移動</source>
        <translation>Move Left</translation>
    </message>
    <message>
        <source>右移動</source>
        <translation>Move Right</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>切断</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>初期化</source>
        <translation>Initialize</translation>
    </message>
    <message>
        <source>LSB/MSBの反転</source>
        <translation>Reverse the bit order (LSB/MSB)</translation>
    </message>
    <message>
        <source>ﾋﾞｯﾄ/ﾃﾞｰﾀﾓｰﾄﾞ切替え(F4)</source>
        <translation>Switch bit/data mode (F4)</translation>
    </message>
    <message>
        <source>ﾃﾞﾊﾞｯｸﾞ/ﾓﾆﾀ切替(F3)</source>
        <translation>Switch debug/monitor (F3)</translation>
    </message>
    <message>
        <source>IDスキャン</source>
        <translation>ID Scan</translation>
    </message>
    <message>
        <source>8CH展開モニター</source>
        <translation>8CH Monitor</translation>
    </message>
</context>
<context>
    <name>qxwatch</name>
    <message>
        <source>途中までを書き出します (%1)</source>
        <translation>exporting the part before the damage (%1)</translation>
    </message>
</context>
</TS>
