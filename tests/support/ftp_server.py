"""FTP server for the tests: pyftpdlib with one user and a home folder.

With --cert/--key it is pyftpdlib's TLS_FTPHandler requiring TLS on the control and
on every data connection (AUTH TLS, PROT P)."""
import argparse
import fnmatch
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.handlers import BufferedIteratorProducer
from pyftpdlib.handlers import TLS_FTPHandler
from pyftpdlib.servers import FTPServer


class GlobListing:
    """Accepts a wildcard mask in LIST ("LIST *.*"), as common Unix servers do."""

    def ftp_LIST(self, path):
        folder, mask = os.path.split(path)
        if not any(c in mask for c in "*?["):
            return super().ftp_LIST(path)
        try:
            names = self.run_as_current_user(self.fs.listdir, folder)
            names = sorted(fnmatch.filter(names, mask))
            iterator = self.fs.format_list(folder, names)
        except OSError as err:
            self.respond("550 %s." % err.strerror)
            return None
        self.push_dtp_data(BufferedIteratorProducer(iterator), isproducer=True, cmd="LIST")
        return path


class GlobHandler(GlobListing, FTPHandler):
    pass


class GlobTlsHandler(GlobListing, TLS_FTPHandler):
    tls_control_required = True
    tls_data_required = True


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--home", required=True)
    p.add_argument("--passive-ports", default="")
    p.add_argument("--perm", default="elradfmwMT")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--plain-list", action="store_true", help="refuse a mask in LIST, as pyftpdlib does")
    a = p.parse_args()
    authorizer = DummyAuthorizer()
    authorizer.add_user(a.user, a.password, a.home, perm=a.perm)
    handler = FTPHandler if a.plain_list else GlobHandler
    if a.cert:
        handler = GlobTlsHandler
        handler.certfile = a.cert
        handler.keyfile = a.key
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0
    if a.passive_ports:
        lo, hi = (int(x) for x in a.passive_ports.split("-"))
        handler.passive_ports = range(lo, hi + 1)
    server = FTPServer((a.host, a.port), handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
