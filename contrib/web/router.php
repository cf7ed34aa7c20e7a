<?php
// For `php -S` (local trials and tests): does what the .htaccess does on Apache. The
// decision is made on the decoded, normalised path, so "%76" for "v", doubled or
// trailing slashes and "." or ".." segments reach the same answer as the plain name.
require_once __DIR__ . '/config.php';

const SCRIPTS = ['regist_kny.cgi' => 'regist_kny.php', 'regist_kny.php' => 'regist_kny.php',
                 'unsubscribe.php' => 'unsubscribe.php'];

function refuse(): bool {
    http_response_code(403);
    return true;
}

// Not parse_url: it reads "//name" as a host.
$raw = explode('?', $_SERVER['REQUEST_URI'] ?? '/', 2)[0];
$decoded = rawurldecode($raw);
// A NUL or a backslash has no place in a name this site serves.
if (preg_match('/[\x00-\x1F\x7F\\\\]/', $decoded) === 1) return refuse();
$segments = [];
foreach (explode('/', $decoded) as $segment) {
    if ($segment === '' || $segment === '.') continue;
    if ($segment === '..') {
        array_pop($segments);
        continue;
    }
    $segments[] = $segment;
}
$relative = implode('/', $segments);
if (isset(SCRIPTS[$relative])) {
    chdir(__DIR__);
    require __DIR__ . '/' . SCRIPTS[$relative];
    return true;
}
// The data files, the secret and backups by their names, whatever folder and letter case
// (trailing dots and blanks are dropped as some file systems do).
$name = rtrim(strtolower(end($segments) ?: ''), '. ');
if (preg_match('/^(registdata|canceldata)\.(cgi|non)$|\.bak$|\.env$/', $name) === 1) return refuse();
// Nothing else under the data folder either: it holds only the scripts and their data.
$target = __DIR__ . '/' . $relative;
$dataDir = realpath(DATA_DIR);
$resolved = realpath($target) ?: realpath(dirname($target));  // a missing file: its folder
if ($dataDir !== false && $resolved !== false &&
    ($resolved === $dataDir || str_starts_with($resolved, $dataDir . '/'))) return refuse();
// Other files only by their plain path, as php -S would read the request on its own.
if ($raw !== '/' . $relative) return refuse();
return false;
