#!/usr/bin/python3
"""pyftpdlib on 127.0.0.1 with a free port, for tests. Prints "PORT <n>" once it listens.

Options: --root DIR (served folder), --user/--password (an account with every right; anonymous is
allowed too, read-only), --timeout S (idle time after which the server drops the control connection),
--log FILE (every command line received, one a line, written before the reply goes out),
--throttle BPS (file data sent at most that fast), --refuse NAME (RETR of NAME gets 550),
--abort NAME (RETR of NAME sends a little data, then 426); --refuse and --abort may repeat.
--host ADDR (listen there, ::1 for IPv6), --tls CERT KEY (explicit TLS offered with that certificate), --no-active (PORT and EPRT refused with 502).
"""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", default="user")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--timeout", type=float, default=300)
    ap.add_argument("--log", default="")
    ap.add_argument("--throttle", type=int, default=0)
    ap.add_argument("--refuse", action="append", default=[])
    ap.add_argument("--abort", action="append", default=[])
    ap.add_argument("--tls", nargs=2, default=None)
    ap.add_argument("--no-active", action="store_true")
    ap.add_argument("--host", default="127.0.0.1")
    args = ap.parse_args()
    base = FTPHandler
    if args.tls:
        from pyftpdlib.handlers import TLS_FTPHandler

        base = TLS_FTPHandler
        base.certfile = args.tls[0]
        base.keyfile = args.tls[1]
    logging.basicConfig(level=logging.ERROR)

    class Handler(base):
        timeout = args.timeout
        auth_failed_timeout = 0.1

        def ftp_RETR(self, file):
            base = os.path.basename(file)
            if base in args.refuse:
                self.respond("550 Refused by the test server.")
                return
            if base in args.abort:
                if self.data_channel is None:
                    self.respond("425 Can't open data connection.")
                    return
                self.respond("150 File status okay. About to open data connection.")
                self.data_channel.push(b"091201,00:00:00,+0")
                self.data_channel.close_when_done()
                self.respond("426 Connection closed; transfer aborted.")
                return
            return super().ftp_RETR(file)

        def ftp_PORT(self, line):
            if args.no_active:
                self.respond("502 Active mode is disabled on this server.")
                return
            return super().ftp_PORT(line)

        def ftp_EPRT(self, line):
            if args.no_active:
                self.respond("502 Active mode is disabled on this server.")
                return
            return super().ftp_EPRT(line)

        def pre_process_command(self, line, cmd, arg):
            if args.log:
                with open(args.log, "a", encoding="utf-8") as f:
                    f.write(line + "\n")
            return super().pre_process_command(line, cmd, arg)

    auth = DummyAuthorizer()
    auth.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    auth.add_anonymous(args.root)
    Handler.authorizer = auth
    if args.throttle > 0:
        dtp = ThrottledDTPHandler
        dtp.write_limit = args.throttle
        dtp.read_limit = 0
        Handler.dtp_handler = dtp
    Handler.banner = "pyftpdlib ready"
    server = FTPServer((args.host, 0), Handler)
    print("PORT", server.address[1], flush=True)
    try:
        server.serve_forever(handle_exit=True)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
