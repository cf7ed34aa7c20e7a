<?php
// QuorMail registration script for the operator's web site.
//
// The registration form (the program's "読者登録フォーム出力" window) posts "name" and
// "email" to regist_kny.cgi; the .htaccess beside this file hands that name to this
// script. Each accepted registration is appended as one line to registdata.cgi in the
// data folder (config.php), in the format the program's receive run imports:
//     name TAB address TAB yyyy/mm/dd hh:nn:ss TAB form address LF        (Shift-JIS)
// The form address (the page the registration was posted to) goes into the reader's
// consent record; the program also imports older lines without it.
// The receive run takes the file by FTP by renaming it (registdata.cgi.taking-...; on a
// server without renames it empties the file instead); this script appends to whatever
// is under the name, under an exclusive lock, a line whole or not at all, and creates
// the file when it is gone.

require_once __DIR__ . '/common.php';

const NAME_MAX_BYTES = 60;      // USERLIST.NAME
const ADDRESS_MAX_BYTES = 50;   // USERLIST.MAILADDRESS
const FORM_ADDRESS_MAX_BYTES = 200;  // within CONSENTS.DETAIL
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

// The file is always Shift-JIS (CP932). The form's hidden "_charset_" field, which the
// browser fills with the encoding it posts in, says what the page was: the bytes alone
// cannot tell, as half-width katakana in Shift-JIS can read as UTF-8 too ("ﾎｼ" as "μ").
// Null when the text is not valid in that encoding or the encoding is not known.
function toShiftJis(string $text, string $charset): ?string {
    $charset = strtolower(trim($charset));
    if ($charset === '') {
        // A form pasted before it carried the field: the bytes decide.
        $charset = preg_match('//u', $text) === 1 ? 'utf-8' : 'shift_jis';
    }
    $from = in_array($charset, ['shift_jis', 'shift-jis', 'sjis', 'windows-31j', 'cp932', 'x-sjis', 'ms_kanji'], true)
        ? 'CP932' : (['utf-8' => 'UTF-8', 'utf8' => 'UTF-8', 'euc-jp' => 'EUC-JP-MS'][$charset] ?? null);
    if ($from === null) return null;
    if (preg_match('/[^\x00-\x7F]/', $text) !== 1) return $text;
    if ($from === 'CP932') return @iconv('CP932', 'UTF-8', $text) === false ? null : $text;
    $converted = @iconv($from, 'CP932', $text);
    return $converted === false ? null : $converted;
}

// The address the form posted to: scheme, host and script path from the server's
// variables, without the query. Only printable ASCII is kept (no TAB, CR or LF can
// break the line), and at most FORM_ADDRESS_MAX_BYTES of it.
function formAddress(): string {
    $https = strtolower((string)($_SERVER['HTTPS'] ?? ''));
    $scheme = ($https !== '' && $https !== 'off') ? 'https' : 'http';
    $host = (string)($_SERVER['HTTP_HOST'] ?? ($_SERVER['SERVER_NAME'] ?? ''));
    if (preg_match('/^[A-Za-z0-9.:\[\]-]+$/', $host) !== 1) $host = (string)($_SERVER['SERVER_NAME'] ?? '');
    $path = explode('?', (string)($_SERVER['REQUEST_URI'] ?? ($_SERVER['SCRIPT_NAME'] ?? '')), 2)[0];
    $address = preg_replace('/[^\x21-\x7E]/', '', $scheme . '://' . $host . $path);
    return substr($address, 0, FORM_ADDRESS_MAX_BYTES);
}

function field(string $key): string {
    $value = $_POST[$key] ?? '';
    return is_string($value) ? $value : '';
}

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    answer(405, '登録できません', '登録フォームから送信して下さい。');
}

$name = toShiftJis(trim(field('name'), " \t"), field('_charset_'));
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
$line = $name . "\t" . $address . "\t" . $now->format('Y/m/d H:i:s') . "\t" . formAddress() . "\n";

if (!appendLine(REGISTRATION_FILE, $line)) {
    answer(503, '登録できません', '只今登録を受け付けられません。時間をおいてもう一度お試し下さい。');
}

answer(200, 'ご登録ありがとうございました', 'ご登録を受け付けました。' . "\n" . '第1話のメールをお送りしますので、しばらくお待ち下さい。');
