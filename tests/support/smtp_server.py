"""SMTP server for the tests: aiosmtpd storing each message's raw DATA and envelope.

For message n it writes n.eml (DATA bytes as received, CR LF kept, dots un-stuffed)
and then n.json (envelope, greeting name, TLS, login, the number of the connection that
carried it, from 1), the latter by rename so that its presence means the message is
complete.

With --cert/--key it offers STARTTLS (or, with --implicit-tls, speaks TLS from the
first byte); with --auth-user/--auth-password it requires SMTP AUTH with exactly
that account before MAIL, and over STARTTLS only after the TLS handshake.
"""
import argparse
import asyncio
import itertools
import json
import os
import signal
import socket
import ssl

from aiosmtpd.smtp import SMTP, AuthResult


class StoringHandler:
    def __init__(self, folder, reject, refuse_ehlo, replies=(), mail_from_reply=None, data_reply=None):
        self.folder = folder
        self.reject = set(a.lower() for a in reject)
        self.refuse_ehlo = refuse_ehlo
        # "address=reply": the reply to RCPT TO of that address.
        self.replies = dict((a.split("=", 1)[0].lower(), a.split("=", 1)[1]) for a in replies)
        self.mail_from_reply = mail_from_reply
        self.data_reply = data_reply
        self.count = 0

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.mail_from_reply:
            return self.mail_from_reply
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        if self.refuse_ehlo:
            return ["502 5.5.2 Error: command not recognized"]
        session.host_name = hostname
        return responses

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.reject:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        if address.lower() in self.replies:
            return self.replies[address.lower()]
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.data_reply == "drop":
            # The whole mail arrived; the connection goes before any reply.
            server.transport.close()
            return "250 never sent"
        if self.data_reply:
            return self.data_reply
        self.count += 1
        base = os.path.join(self.folder, "%06d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        info = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "host_name": session.host_name,
            "extended_smtp": bool(session.extended_smtp),
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "login": session.auth_data if session.authenticated else None,
            "connection": server.connection_number,
        }
        with open(base + ".tmp", "w") as f:
            json.dump(info, f)
        os.rename(base + ".tmp", base + ".json")
        return "250 Message accepted for delivery"


class Authenticator:
    def __init__(self, user, password):
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == self.user and auth_data.password == self.password
        return AuthResult(success=ok, handled=False, auth_data=auth_data.login.decode() if ok else None)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--folder", required=True)
    p.add_argument("--reject", action="append", default=[])
    p.add_argument("--reply", action="append", default=[], help="address=reply to its RCPT TO")
    p.add_argument("--mail-from-reply")
    p.add_argument("--data-reply")
    p.add_argument("--refuse-ehlo", action="store_true")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--implicit-tls", action="store_true")
    p.add_argument("--auth-user")
    p.add_argument("--auth-password")
    p.add_argument("--no-plain", action="store_true")
    a = p.parse_args()
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    handler = StoringHandler(a.folder, a.reject, a.refuse_ehlo, a.reply, a.mail_from_reply, a.data_reply)
    # Looked up once: aiosmtpd would otherwise ask the resolver on every connection.
    fqdn = socket.getfqdn()
    options = {}
    context = None
    if a.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(a.cert, a.key)
        if not a.implicit_tls:
            options["tls_context"] = context
    if a.auth_user:
        options["authenticator"] = Authenticator(a.auth_user, a.auth_password)
        options["auth_required"] = True
        # aiosmtpd takes only STARTTLS as TLS; a connection that is TLS from its first
        # byte is protected already.
        options["auth_require_tls"] = not a.implicit_tls
        if a.no_plain:
            options["auth_exclude_mechanism"] = ["PLAIN"]
    connections = itertools.count(1)

    def session():
        smtp = SMTP(handler, hostname=fqdn, enable_SMTPUTF8=True, **options)
        smtp.connection_number = next(connections)
        return smtp

    server = loop.run_until_complete(
        loop.create_server(session, "127.0.0.1", a.port, ssl=context if a.implicit_tls else None))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
