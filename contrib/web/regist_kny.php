<?php
// QuorMail registration script for the operator's web site.
//
// The registration form (the program's "読者登録フォーム出力" window) posts "name" and
// "email" to regist_kny.cgi; the .htaccess beside this file hands that name to this
// script. Each accepted registration is appended as one line to registdata.cgi in this
// folder, in the format the program's receive run imports:
//     name TAB address TAB yyyy/mm/dd hh:nn:ss LF        (Shift-JIS)
// The receive run takes the file by FTP by renaming it (registdata.cgi.taking-...; on a
// server without renames it empties the file instead); this script appends to
// whatever is under the name, under an exclusive lock, and creates it when it is gone.

const DATA_FILE = __DIR__ . '/registdata.cgi';
const NAME_MAX_BYTES = 60;      // USERLIST.NAME
const ADDRESS_MAX_BYTES = 50;   // USERLIST.MAILADDRESS
// The zone of the stamps this script writes: the program's TimeZone setting names the same one.
const TIME_ZONE = 'Asia/Tokyo';

function answer(int $status, string $title, string $message): void {
    http_response_code($status);
    header('Content-Type: text/html; charset=UTF-8');
    header('X-Content-Type-Options: nosniff');
    $t = htmlspecialchars($title, ENT_QUOTES, 'UTF-8');
    $m = nl2br(htmlspecialchars($message, ENT_QUOTES, 'UTF-8'));
    echo "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"UTF-8\"><title>$t</title></head>\n";
    echo "<body><h1>$t</h1><p>$m</p></body></html>\n";
    exit;
}

// The form's page may be Shift-JIS (the program's snippet) or UTF-8 (a modern page);
// the file is always Shift-JIS (CP932). Null when the text fits neither.
function toShiftJis(string $text): ?string {
    if (preg_match('//u', $text) === 1) {
        if (preg_match('/[^\x00-\x7F]/', $text) !== 1) return $text;
        $converted = @iconv('UTF-8', 'CP932', $text);
        return $converted === false ? null : $converted;
    }
    // Not UTF-8: accept it when it reads as CP932 as it is.
    return @iconv('CP932', 'UTF-8', $text) === false ? null : $text;
}

function field(string $key): string {
    $value = $_POST[$key] ?? '';
    return is_string($value) ? $value : '';
}

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    answer(405, '登録できません', '登録フォームから送信して下さい。');
}

$name = toShiftJis(trim(field('name'), " \t"));
$address = trim(field('email'));
if ($name === null) {
    answer(400, '登録できません', 'お名前に使用できない文字が含まれています。');
}
// Line breaks, tabs and other control bytes would break the line format.
if (preg_match('/[\x00-\x1F\x7F]/', $name . $address) === 1) {
    answer(400, '登録できません', 'お名前又はメールアドレスに使用できない文字が含まれています。');
}
if ($address === '') {
    answer(400, '登録できません', 'メールアドレスを入力して下さい。');
}
if (strlen($address) > ADDRESS_MAX_BYTES) {
    answer(400, '登録できません', 'メールアドレスが長すぎます（' . ADDRESS_MAX_BYTES . '文字まで）。');
}
if (preg_match('/^[A-Za-z0-9.!#$%&\'*+\/=?^_`{|}~-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+$/', $address) !== 1) {
    answer(400, '登録できません', 'メールアドレスに誤りがあります。');
}
if (strlen($name) > NAME_MAX_BYTES) {
    answer(400, '登録できません', 'お名前が長すぎます（全角' . intdiv(NAME_MAX_BYTES, 2) . '文字まで）。');
}

$now = new DateTime('now', new DateTimeZone(TIME_ZONE));
$line = $name . "\t" . $address . "\t" . $now->format('Y/m/d H:i:s') . "\n";

// The receive run takes the file by renaming it, and the rename does not wait for the
// lock: a line written into the file after it was taken could leave unread with it.
// So once written, the line is written again whenever the name no longer holds the
// file written to (a line taken twice is refused by the import as already registered).
for ($attempt = 0; $attempt < 5; ++$attempt) {
    $file = @fopen(DATA_FILE, 'ab');
    if ($file === false || !flock($file, LOCK_EX)) {
        answer(503, '登録できません', '只今登録を受け付けられません。時間をおいてもう一度お試し下さい。');
    }
    $written = fwrite($file, $line);
    fflush($file);
    $writtenTo = fstat($file);
    clearstatcache();
    $named = @stat(DATA_FILE);
    flock($file, LOCK_UN);
    fclose($file);
    if ($written !== strlen($line)) {
        answer(503, '登録できません', '只今登録を受け付けられません。時間をおいてもう一度お試し下さい。');
    }
    if ($named !== false && $named['ino'] === $writtenTo['ino'] && $named['dev'] === $writtenTo['dev']) break;
}

answer(200, 'ご登録ありがとうございました', 'ご登録を受け付けました。' . "\n" . '第1話のメールをお送りしますので、しばらくお待ち下さい。');
