"""FTP server for the tests: pyftpdlib with one user and a home folder."""
import argparse
import fnmatch
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.handlers import BufferedIteratorProducer
from pyftpdlib.servers import FTPServer


class GlobHandler(FTPHandler):
    """Accepts a wildcard mask in LIST ("LIST *.*"), as common Unix servers do."""

    def ftp_LIST(self, path):
        folder, mask = os.path.split(path)
        if not any(c in mask for c in "*?["):
            return FTPHandler.ftp_LIST(self, path)
        try:
            names = self.run_as_current_user(self.fs.listdir, folder)
            names = sorted(fnmatch.filter(names, mask))
            iterator = self.fs.format_list(folder, names)
        except OSError as err:
            self.respond("550 %s." % err.strerror)
            return None
        self.push_dtp_data(BufferedIteratorProducer(iterator), isproducer=True, cmd="LIST")
        return path


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--home", required=True)
    p.add_argument("--passive-ports", default="")
    p.add_argument("--perm", default="elradfmwMT")
    a = p.parse_args()
    authorizer = DummyAuthorizer()
    authorizer.add_user(a.user, a.password, a.home, perm=a.perm)
    handler = GlobHandler
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0
    if a.passive_ports:
        lo, hi = (int(x) for x in a.passive_ports.split("-"))
        handler.passive_ports = range(lo, hi + 1)
    server = FTPServer(("127.0.0.1", a.port), handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
