<?php
// What both QuorMail web scripts share: where the data files are and how a line is
// added to one of them.
require_once __DIR__ . '/config.php';

const REGISTRATION_FILE = DATA_DIR . '/registdata.cgi';
const CANCEL_FILE = DATA_DIR . '/canceldata.cgi';
const SECRET_FILE = DATA_DIR . '/QuorMailSecret.env';

// Appends the line whole or not at all: under the exclusive lock, a write that fails
// part way (a full disk, a size quota) is cut back to the size the file had, so the
// next line never starts inside a broken one.
function appendLine(string $path, string $line): bool {
    $file = @fopen($path, 'ab');
    if ($file === false) return false;
    if (!flock($file, LOCK_EX)) {
        fclose($file);
        return false;
    }
    clearstatcache(true, $path);
    $stat = fstat($file);
    $size = $stat === false ? null : $stat['size'];
    $written = @fwrite($file, $line);
    $flushed = @fflush($file);
    $ok = $written === strlen($line) && $flushed;
    if (!$ok && $size !== null) @ftruncate($file, $size);
    flock($file, LOCK_UN);
    fclose($file);
    return $ok;
}
