#!/usr/bin/python3
"""Loopback FTP server for the transfer tests and for trying two stores by hand.

Serves --root on 127.0.0.1 to one user, in active mode only (PASV and EPSV refused). Writes the
port to --port-file and stdout once it listens; logs every command to --command-log (passwords
masked). Faults are switched by creating or deleting files in --control:
  refuse_login  every login is refused (530)
  refuse_stor   STOR is refused (550 permission denied)
  cut_retr      RETR sends the first half of the file and then reports success
  grow_retr     after each RETR the file grows by 1000 bytes (a file still being written)
  stall_retr    RETR sends the first 1000 bytes and then sends nothing for 30 s
  stall_list    MLSD, NLST and LIST answer after 30 s
  no_mlsd       MLSD is answered "500 not understood" (as servers without it do)

--silent accepts connections and never answers. --cert and --key require explicit TLS on the
control and data connections; --passive offers PASV and EPSV.
"""

import argparse
import os
import socket
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer, AuthenticationFailed
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

STALL_SECONDS = 30


def flag(control, name):
    return bool(control) and os.path.exists(os.path.join(control, name))


class FaultProducer:
    """cut: sends the first half of a file, then pretends the file ended; otherwise sends 1000
    bytes, then nothing for a long time."""

    def __init__(self, fd, cut):
        self.file = self.fd = fd
        self.cut = cut
        self.left = os.fstat(fd.fileno()).st_size // 2 if cut else 1000

    def more(self):
        if self.left <= 0:
            if not self.cut:
                time.sleep(STALL_SECONDS)
            return b""
        data = self.fd.read(min(self.left, 65536))
        self.left = self.left - len(data) if self.cut else 0
        return data


class ControlledAuthorizer(DummyAuthorizer):
    control = None

    def validate_authentication(self, username, password, handler):
        if flag(self.control, "refuse_login"):
            raise AuthenticationFailed("Login refused.")
        return super().validate_authentication(username, password, handler)


class HandshakeFirstDTP(TLS_DTPHandler):
    """libcurl starts TLS on a passive data connection as soon as it connects, before the
    transfer command; pyftpdlib would take that early data for a hang-up and close."""

    def readable(self):
        return self._ssl_accepting or super().readable()


class ControlledHandler(FTPHandler):
    control = None
    command_log = None
    permit_foreign_addresses = False
    use_sendfile = False  # the fault producers must be asked for every chunk
    banner = "loopback test server ready."
    auth_failed_timeout = 0.2  # answer a refused login at once

    def pre_process_command(self, line, cmd, arg):
        if self.command_log:
            shown = "PASS ******" if cmd == "PASS" else line
            with open(self.command_log, "a", encoding="utf-8") as log:
                log.write(shown + "\n")
        return super().pre_process_command(line, cmd, arg)

    def ftp_PASV(self, line):
        self.respond("502 Passive mode not offered here; use PORT.")

    ftp_EPSV = ftp_PASV

    def _stall_listing(self):
        if flag(self.control, "stall_list"):
            time.sleep(STALL_SECONDS)

    def ftp_MLSD(self, path):
        if flag(self.control, "no_mlsd"):
            self.respond("500 Command \"MLSD\" not understood.")
            return None
        self._stall_listing()
        return super().ftp_MLSD(path)

    def ftp_NLST(self, path):
        self._stall_listing()
        return super().ftp_NLST(path)

    def ftp_LIST(self, path):
        self._stall_listing()
        return super().ftp_LIST(path)

    def ftp_STOR(self, file, mode="w"):
        if flag(self.control, "refuse_stor"):
            self.respond("550 Permission denied.")
            return None
        return super().ftp_STOR(file, mode)

    def ftp_RETR(self, file):
        if flag(self.control, "cut_retr") or flag(self.control, "stall_retr"):
            try:
                fd = self.run_as_current_user(self.fs.open, file, "rb")
            except OSError as err:
                self.respond("550 %s." % err.strerror)
                return None
            producer = FaultProducer(fd, flag(self.control, "cut_retr"))
            self.push_dtp_data(producer, isproducer=True, file=fd, cmd="RETR")
            return file
        return super().ftp_RETR(file)

    def on_file_sent(self, file):
        if flag(self.control, "grow_retr"):
            with open(file, "ab") as grown:
                grown.write(b"\0" * 1000)


def serve_silently(port, port_file):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    announce(listener.getsockname()[1], port_file)
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)  # never answered, never closed


def announce(port, port_file):
    if port_file:
        temp = port_file + ".tmp"
        with open(temp, "w") as out:
            out.write("%d\n" % port)
        os.replace(temp, port_file)
    print(port, flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="tienda")
    parser.add_argument("--password", default="clave")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--control")
    parser.add_argument("--command-log")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--passive", action="store_true")
    args = parser.parse_args()

    if args.silent:
        serve_silently(args.port, args.port_file)
        return

    authorizer = ControlledAuthorizer()
    authorizer.control = args.control
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler = ControlledHandler
    if args.cert:
        class ControlledTLSHandler(TLS_FTPHandler, ControlledHandler):
            certfile = args.cert
            keyfile = args.key
            tls_control_required = True
            tls_data_required = True
            dtp_handler = HandshakeFirstDTP

        handler = ControlledTLSHandler
    if args.passive:
        handler.ftp_PASV, handler.ftp_EPSV = FTPHandler.ftp_PASV, FTPHandler.ftp_EPSV
    handler.authorizer = authorizer
    handler.control = args.control
    handler.command_log = args.command_log
    server = ThreadedFTPServer(("127.0.0.1", args.port), handler)
    announce(server.socket.getsockname()[1], args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    import logging

    logging.basicConfig(level=logging.WARNING)
    sys.exit(main())
