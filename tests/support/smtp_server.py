"""SMTP server for the tests: aiosmtpd storing each message's raw DATA and envelope.

For message n it writes n.eml (DATA bytes as received, CR LF kept, dots un-stuffed)
and then n.json (envelope, greeting name), the latter by rename so that its presence
means the message is complete.
"""
import argparse
import asyncio
import json
import os
import signal
import socket

from aiosmtpd.smtp import SMTP


class StoringHandler:
    def __init__(self, folder, reject, refuse_ehlo):
        self.folder = folder
        self.reject = set(a.lower() for a in reject)
        self.refuse_ehlo = refuse_ehlo
        self.count = 0

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        if self.refuse_ehlo:
            return ["502 5.5.2 Error: command not recognized"]
        session.host_name = hostname
        return responses

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.reject:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%06d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        info = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "host_name": session.host_name,
            "extended_smtp": bool(session.extended_smtp),
        }
        with open(base + ".tmp", "w") as f:
            json.dump(info, f)
        os.rename(base + ".tmp", base + ".json")
        return "250 Message accepted for delivery"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--folder", required=True)
    p.add_argument("--reject", action="append", default=[])
    p.add_argument("--refuse-ehlo", action="store_true")
    a = p.parse_args()
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    handler = StoringHandler(a.folder, a.reject, a.refuse_ehlo)
    # Looked up once: aiosmtpd would otherwise ask the resolver on every connection.
    fqdn = socket.getfqdn()
    server = loop.run_until_complete(
        loop.create_server(lambda: SMTP(handler, hostname=fqdn, enable_SMTPUTF8=True), "127.0.0.1", a.port))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
