#!/usr/bin/python3
"""pyftpdlib on 127.0.0.1 with a free port, for tests. Prints "PORT <n>" once it listens.

Options: --root DIR (served folder), --user/--password (an account with every right; anonymous is
allowed too, read-only), --timeout S (idle time after which the server drops the control connection),
--log FILE (every command line received, one a line, written before the reply goes out).
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", default="user")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--timeout", type=float, default=300)
    ap.add_argument("--log", default="")
    args = ap.parse_args()
    logging.basicConfig(level=logging.ERROR)

    class Handler(FTPHandler):
        timeout = args.timeout
        auth_failed_timeout = 0.1

        def pre_process_command(self, line, cmd, arg):
            if args.log:
                with open(args.log, "a", encoding="utf-8") as f:
                    f.write(line + "\n")
            return super().pre_process_command(line, cmd, arg)

    auth = DummyAuthorizer()
    auth.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    auth.add_anonymous(args.root)
    Handler.authorizer = auth
    Handler.banner = "pyftpdlib ready"
    server = FTPServer(("127.0.0.1", 0), Handler)
    print("PORT", server.address[1], flush=True)
    try:
        server.serve_forever(handle_exit=True)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
