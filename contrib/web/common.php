<?php
// What both QuorMail web scripts share: where the data files are and how a line is
// added to one of them.
require_once __DIR__ . '/config.php';

const REGISTRATION_FILE = DATA_DIR . '/registdata.cgi';
const CANCEL_FILE = DATA_DIR . '/canceldata.cgi';
const SECRET_FILE = DATA_DIR . '/QuorMailSecret.env';

// Appends the line whole or not at all: under the exclusive lock, a write that fails
// part way (a full disk, a size quota) is cut back to the size the file had, so the
// next line never starts inside a broken one. The receive run takes the file by
// renaming it on the server (registdata.cgi.taking-...), and a rename does not wait for
// the lock: a line written into the file just taken could leave unread with it. So the
// line is written again while the name no longer holds the file written to (a line
// taken twice is refused by the import as already there).
function appendLine(string $path, string $line): bool {
    for ($attempt = 0; $attempt < 5; ++$attempt) {
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
        clearstatcache(true, $path);
        $named = @stat($path);
        flock($file, LOCK_UN);
        fclose($file);
        if (!$ok) return false;
        if ($stat === false || ($named !== false && $named['ino'] === $stat['ino'] && $named['dev'] === $stat['dev'])) {
            return true;
        }
    }
    return true;
}
