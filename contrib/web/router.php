<?php
// For `php -S` (local trials and tests): does what the .htaccess does on Apache.
$path = parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH);
if ($path === '/regist_kny.cgi') {
    require __DIR__ . '/regist_kny.php';
    return true;
}
if (preg_match('#/(registdata|canceldata)\.(cgi|non)$|/(registdata|canceldata)\.cgi\.taking-|\.bak$|\.env$#', $path)) {
    http_response_code(403);
    return true;
}
return false;
