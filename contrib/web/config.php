<?php
// QuorMail web scripts: the one setting an operator may change.
//
// DATA_DIR is the folder that holds the data files (registdata.cgi, canceldata.cgi) and
// the secret (QuorMailSecret.env). Beside the scripts by default; where the host allows
// it, name a folder outside the document root, for example
//     const DATA_DIR = '/home/example/quormail-data';
// and point the program's FTP "host folder" at that folder. The web server's user must
// be able to write there.
const DATA_DIR = __DIR__;
