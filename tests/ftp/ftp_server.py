#!/usr/bin/python3
"""Loopback FTP server for the transfer tests and for trying two stores by hand.

Serves --root on 127.0.0.1 to user "tienda", password "clave", in active mode only (--passive
offers PASV and EPSV). Prints its port once it listens; logs every command to --command-log
(passwords masked). --cert and --key require explicit TLS on the control and data connections.
Faults are on while a file of their name exists in --control: refuse_login, refuse_stor,
refuse_retr (451), no_mlsd (servers without MLSD) and no_size (servers that never tell a file's
size; their 150 reply carries no byte count either) refuse those commands; cut_retr sends half
the file as if whole; stall_retr sends 1000 bytes, then nothing for 30 s; trickle_retr sends 100
bytes a second; grow_retr grows the file by 1000 bytes after each RETR (a file still being
written); cut_stor keeps half of what it receives and answers as if it kept all (a data
connection reset taken for its end); stall_list answers listings after 30 s; huge_list lists
50000 made-up files.
"""

import argparse
import logging
import os
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

STALL_SECONDS = 30
TRICKLE_BYTES, TRICKLE_SECONDS = 100, 1
HUGE_LISTING = 50000
# The command each refusing fault replaces, and its answer.
REFUSALS = {"PASS": ("refuse_login", "530 Login refused."),
            "STOR": ("refuse_stor", "550 Permission denied."),
            "RETR": ("refuse_retr", "451 Requested action aborted: local error in processing."),
            "SIZE": ("no_size", '502 Command "SIZE" not implemented.'),
            "MLSD": ("no_mlsd", '500 Command "MLSD" not understood.')}


def flag(control, name):
    return bool(control) and os.path.exists(os.path.join(control, name))


class Chunks:
    """A RETR producer of the given pieces: bytes are sent, a number is that many seconds of
    silence."""

    def __init__(self, pieces):
        self.pieces = iter(pieces)

    def more(self):
        for piece in self.pieces:
            if isinstance(piece, bytes):
                return piece
            time.sleep(piece)
        return b""


def trickle(data):
    for start in range(0, len(data), TRICKLE_BYTES):
        yield data[start:start + TRICKLE_BYTES]
        yield TRICKLE_SECONDS


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
        faults = [f for f in ("cut_retr", "stall_retr", "trickle_retr") if flag(self.control, f)]
        if not faults:
            return super().ftp_RETR(file)
        with open(file, "rb") as fd:
            data = fd.read()
        pieces = {"cut_retr": [data[:len(data) // 2]],
                  "stall_retr": [data[:1000], STALL_SECONDS],
                  "trickle_retr": trickle(data)}[faults[0]]
        self.push_dtp_data(Chunks(pieces), isproducer=True, cmd="RETR")
        return file

    def on_file_sent(self, file):
        if flag(self.control, "grow_retr"):
            with open(file, "ab") as grown:
                grown.write(b"\0" * 1000)

    def on_file_received(self, file):
        if flag(self.control, "cut_stor"):
            os.truncate(file, os.path.getsize(file) // 2)

    def huge_listing(self, cmd, facts):
        if not flag(self.control, "huge_list"):
            return False
        lines = ("%s9_%08d.mdb\r\n" % (facts, n) for n in range(HUGE_LISTING))
        self.push_dtp_data("".join(lines).encode(), cmd=cmd)
        return True

    def ftp_MLSD(self, path):
        return path if self.huge_listing("MLSD", "type=file;size=1; ") \
            else super().ftp_MLSD(path)

    def ftp_NLST(self, path):
        return path if self.huge_listing("NLST", "") else super().ftp_NLST(path)


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
