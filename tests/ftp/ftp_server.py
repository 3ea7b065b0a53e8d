#!/usr/bin/python3
"""Loopback FTP server for the transfer tests and for trying two stores by hand.

Serves --root on 127.0.0.1 to user "tienda", password "clave", in active mode only (--passive
offers PASV and EPSV). Prints its port once it listens; logs every command to --command-log
(passwords masked). --cert and --key require explicit TLS on the control and data connections.
Faults are on while a file of their name exists in --control: refuse_login, refuse_stor and
no_mlsd (servers without MLSD) refuse those commands; cut_retr sends half the file as if whole;
stall_retr sends 1000 bytes, then nothing for 30 s; grow_retr grows the file by 1000 bytes after
each RETR (a file still being written); stall_list answers listings after 30 s.
"""

import argparse
import logging
import os
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

STALL_SECONDS = 30
# The command each refusing fault replaces, and its answer.
REFUSALS = {"PASS": ("refuse_login", "530 Login refused."),
            "STOR": ("refuse_stor", "550 Permission denied."),
            "MLSD": ("no_mlsd", '500 Command "MLSD" not understood.')}


def flag(control, name):
    return bool(control) and os.path.exists(os.path.join(control, name))


class Chunks:
    """A RETR producer sending the given chunks; None stands for STALL_SECONDS of silence."""

    def __init__(self, chunks):
        self.chunks = chunks

    def more(self):
        chunk = self.chunks.pop(0) if self.chunks else b""
        if chunk is None:
            time.sleep(STALL_SECONDS)
            return b""
        return chunk


class HandshakeFirstDTP(TLS_DTPHandler):
    """libcurl starts TLS on a passive data connection as soon as it connects, before the
    transfer command; pyftpdlib would take that early data for a hang-up and close."""

    def readable(self):
        return self._ssl_accepting or super().readable()


class ControlledHandler(FTPHandler):
    control = command_log = None
    passive = False

    def pre_process_command(self, line, cmd, arg):
        if self.command_log:
            with open(self.command_log, "a", encoding="utf-8") as log:
                log.write(("PASS ******" if cmd == "PASS" else line) + "\n")
        if cmd in ("PASV", "EPSV") and not self.passive:
            return self.respond("502 Passive mode not offered here; use PORT.")
        fault, answer = REFUSALS.get(cmd, ("", ""))
        if fault and flag(self.control, fault):
            return self.respond(answer)
        if cmd in ("MLSD", "NLST", "LIST") and flag(self.control, "stall_list"):
            time.sleep(STALL_SECONDS)
        return super().pre_process_command(line, cmd, arg)

    def ftp_RETR(self, file):
        cut = flag(self.control, "cut_retr")
        if not cut and not flag(self.control, "stall_retr"):
            return super().ftp_RETR(file)
        with open(file, "rb") as fd:
            data = fd.read()
        chunks = [data[:len(data) // 2]] if cut else [data[:1000], None]
        self.push_dtp_data(Chunks(chunks), isproducer=True, cmd="RETR")
        return file

    def on_file_sent(self, file):
        if flag(self.control, "grow_retr"):
            with open(file, "ab") as grown:
                grown.write(b"\0" * 1000)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    for option in ("--control", "--command-log", "--cert", "--key"):
        parser.add_argument(option)
    parser.add_argument("--passive", action="store_true")
    args = parser.parse_args()
    logging.basicConfig(level=logging.WARNING)

    handler = ControlledHandler
    if args.cert:
        class ControlledTLSHandler(TLS_FTPHandler, ControlledHandler):
            certfile = args.cert
            keyfile = args.key
            tls_control_required = True
            tls_data_required = True
            dtp_handler = HandshakeFirstDTP

        handler = ControlledTLSHandler
    handler.authorizer = DummyAuthorizer()
    handler.authorizer.add_user("tienda", "clave", args.root, perm="elradfmwMT")
    handler.control = args.control
    handler.command_log = args.command_log
    handler.passive = args.passive
    server = ThreadedFTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
