#!/usr/bin/python3
"""Loopback SMTP server for the mail tests: prints its port once it listens and saves each message
as <n>.eml in --mail-dir ("From:", "To:", a blank line, the message). --cert and --key require
STARTTLS (with --implicit, TLS from the first byte); --user and --password require that login.
"""

import argparse
import os
import socket
import ssl
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Saver:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.folder, "%d.eml" % self.count)
        head = "From: %s\nTo: %s\n\n" % (envelope.mail_from, ",".join(envelope.rcpt_tos))
        with open(path + ".tmp", "wb") as out:
            out.write(head.encode() + envelope.original_content)
        os.replace(path + ".tmp", path)
        return "250 Message accepted"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    warnings.simplefilter("ignore", DeprecationWarning)  # aiosmtpd's own, about its login data
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mail-dir", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--user")
    parser.add_argument("--implicit", action="store_true")
    parser.add_argument("--password", default="")
    args = parser.parse_args()

    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(args.cert, args.key)
    options = {"ssl_context": context} if args.implicit else {"tls_context": context,
                                                               "require_starttls": True}

    def login(server, session, envelope, mechanism, data):
        ok = isinstance(data, LoginPassword) and (data.login, data.password) == (
            args.user.encode(), args.password.encode())
        return AuthResult(success=ok, handled=False)

    if args.user:
        options.update(authenticator=login, auth_required=True,
                       # aiosmtpd counts only STARTTLS as TLS; implicit TLS is TLS throughout.
                       auth_require_tls=not args.implicit)
    port = free_port()
    controller = Controller(Saver(args.mail_dir), hostname="127.0.0.1", port=port,
                            ready_timeout=10, **options)
    controller.start()
    print(port, flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
