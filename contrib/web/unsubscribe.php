<?php
// QuorMail unsubscribe endpoint for the operator's web site.
//
// Every mail carries a List-Unsubscribe link to this script with the reader's number
// and a check code: the HMAC-SHA256 of the number under the secret in
// QuorMailSecret.env (copy that file from the program's data folder next to this
// script). A mail client's one-click POST (RFC 8058, body "List-Unsubscribe=One-Click")
// with a valid code appends the number to canceldata.cgi; a GET only shows a page that
// asks for confirmation. The cancel form of the registration-form window posts an
// address ("email"), which is appended the same way. The receive run fetches
// canceldata.cgi and stops sending to every reader named in it.
//
// A test mail's link carries "test=1" and a code made from "test-" and the number: it
// is answered with a page saying so and records nothing, by GET or POST alike. With the
// marker removed its code no longer matches, so it cannot stop the reader either.

const CANCEL_FILE = __DIR__ . '/canceldata.cgi';
const SECRET_FILE = __DIR__ . '/QuorMailSecret.env';
const ADDRESS_MAX_BYTES = 50;
// The zone of the stamps this script writes: the program's TimeZone setting names the same one.
const TIME_ZONE = 'Asia/Tokyo';

function page(int $status, string $title, string $body): void {
    http_response_code($status);
    header('Content-Type: text/html; charset=UTF-8');
    header('X-Content-Type-Options: nosniff');
    header('Cache-Control: no-store');
    $t = htmlspecialchars($title, ENT_QUOTES, 'UTF-8');
    echo "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"UTF-8\"><title>$t</title></head>\n";
    echo "<body><h1>$t</h1>$body</body></html>\n";
    exit;
}

function text(string $message): string {
    return '<p>' . nl2br(htmlspecialchars($message, ENT_QUOTES, 'UTF-8')) . '</p>';
}

function param(string $key): string {
    $value = $_POST[$key] ?? $_GET[$key] ?? '';
    return is_string($value) ? $value : '';
}

function validCode(string $id, string $code, bool $test): bool {
    if (preg_match('/^\d{5}$/', $id) !== 1 || preg_match('/^[0-9a-f]{32}$/', $code) !== 1) return false;
    $secret = @file_get_contents(SECRET_FILE);
    if ($secret === false || trim($secret) === '') return false;
    $expected = substr(hash_hmac('sha256', ($test ? 'test-' : '') . $id, trim($secret)), 0, 32);
    return hash_equals($expected, $code);
}

function append(string $what): bool {
    $now = new DateTime('now', new DateTimeZone(TIME_ZONE));
    $line = $what . "\t" . $now->format('Y/m/d H:i:s') . "\n";
    // Written again while the name no longer holds the file written to: the receive run
    // takes the file by renaming it, without waiting for the lock (a request applied
    // twice changes nothing).
    for ($attempt = 0; $attempt < 5; ++$attempt) {
        $file = @fopen(CANCEL_FILE, 'ab');
        if ($file === false || !flock($file, LOCK_EX)) return false;
        $written = fwrite($file, $line);
        fflush($file);
        $writtenTo = fstat($file);
        clearstatcache();
        $named = @stat(CANCEL_FILE);
        flock($file, LOCK_UN);
        fclose($file);
        if ($written !== strlen($line)) return false;
        if ($named !== false && $named['ino'] === $writtenTo['ino'] && $named['dev'] === $writtenTo['dev']) break;
    }
    return true;
}

$method = $_SERVER['REQUEST_METHOD'] ?? '';
$id = param('id');
$code = param('code');
$busy = '只今受け付けられません。時間をおいてもう一度お試し下さい。';

// The cancel form: an address only.
if ($method === 'POST' && param('email') !== '') {
    $address = trim(param('email'));
    if (strlen($address) > ADDRESS_MAX_BYTES || preg_match('/[\x00-\x20<>]/', $address) === 1 ||
        preg_match('/^[^@]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+$/', $address) !== 1) {
        page(400, '配信停止できません', text('メールアドレスに誤りがあります。'));
    }
    if (!append($address)) page(503, '配信停止できません', text($busy));
    page(200, '配信停止を受け付けました', text('このメールアドレスへの配信を停止します。'));
}

$test = param('test') === '1';
if (!validCode($id, $code, $test)) {
    page(400, '配信停止できません', text('リンクが正しくありません。メールに記載されたリンクをそのままお使い下さい。'));
}

if ($test) {
    page(200, 'テストメールのリンクです',
         text("このリンクはテストメールのものです。配信停止は記録されません。\n" .
              '実際の配信メールのリンクでは、ここで配信停止の確認が表示されます。'));
}

if ($method === 'POST' && param('List-Unsubscribe') === 'One-Click') {
    if (!append($id)) page(503, '配信停止できません', text($busy));
    page(200, '配信を停止しました', text('今後、このメールは届きません。'));
}

// A GET (a person who clicked the link, or a scanner following it) changes nothing.
$h = fn(string $s) => htmlspecialchars($s, ENT_QUOTES, 'UTF-8');
page(200, '配信停止の確認',
     text('このメールの配信を停止しますか？') .
     '<form method="POST" action="">' .
     '<input type="hidden" name="id" value="' . $h($id) . '">' .
     '<input type="hidden" name="code" value="' . $h($code) . '">' .
     '<input type="hidden" name="List-Unsubscribe" value="One-Click">' .
     '<input type="submit" value="配信を停止する"></form>');
