#!/usr/bin/python3
"""A small FTP server that plays the protocol corners real servers do not produce on demand.

Prints "PORT <n>" once it listens on 127.0.0.1. Every command line received is appended to --log before
the reply is sent. --scenario picks the log-on: "normal" (USER 331, PASS 230), "multiline-greeting",
"user-230" (USER answered 230, no PASS), "user-530" (USER refused). The rest is chosen by names:

  MKD any            -> 502
  RNFR r351* / r352* -> 351 / 352, any other name 350
  NOOP               -> "200 ok" and a late "200 late reply" in the same packet
  CWD <dir>          -> 250; the folder picks the LIST below
  LIST in "/"        -> three Unix lines          LIST in "nolf"    -> last line without line end
  LIST in "foreign"  -> a first data connection from 127.0.0.2, then the real one
  LIST in "never"    -> 150, no data connection   LIST in "final426" -> the listing, then 426
  RETR sized.csv     -> 150 announcing 2048 bytes, 2048 bytes, 226
  RETR multi.csv     -> "150-" line, then "150 (3000 bytes)" on the continuation, 3000 bytes, 226
  RETR huge.bin      -> 150 announcing 5368709120 bytes, 1000 bytes, 226
  RETR final426.csv  -> 1000 bytes, then 426          RETR mid421.csv -> 64 KiB, then 421 with data open
  RETR never.csv     -> 150, no data connection       RETR foreign.csv -> a first connection from 127.0.0.2
  RETR missing*      -> 550                            RETR <other>     -> 100 bytes "0123456789" x 10, 226
  LIST in "longlist" -> a first line of 100 000 characters
  LIST in "slowlist" -> 2,000 file lines: the first 1,000, then 1.5 s later the rest
  LIST in "short"    -> short.csv (2048) and 240304.csv  RETR short.csv -> 150 announcing 2048 bytes, 1000, 226
  DELE any           -> 250
  SIZE               -> 500 (not supported), except in scenarios "size" and "mdtm": 213 with the size RETR
                        sends ("lies.csv" claims 5000; "grows.csv" 80 bytes more after the first SIZE)
  MDTM               -> 213 with the time in UTC (500 in scenarios "size" and "habits"): "future.csv" an hour
                        ahead of the server's start, "justnow.csv" 10 s before it, "touched.csv" later
                        after its first MDTM, any other name 2024-03-04 11:00:00
  LIST in "moving"   -> 240301.csv, 240302.csv, grows.csv, future.csv, justnow.csv, touched.csv (100 bytes)
  LIST in "movingonce" -> the same the first time, then 450

Passive mode: EPSV and PASV are unknown (500) in every scenario but "pasv-foreign", whose EPSV is unknown
and whose PASV names the foreign address 10.9.8.7 (a client must connect to the control peer instead),
and "epsv", where EPSV works; "epsv-dead" names a port that never answers a connection attempt,
"epsv-closed" one where nothing listens.

Explicit TLS (--cert, --key): scenario "tls" answers AUTH TLS with 234, PBSZ and PROT P with 200, and its
data connections are TLS; they end with the TLS close (close_notify) except in the folder "cut", where the
server just closes the socket (a cut-off transfer looks like that); "tls-cut" does so everywhere and answers SIZE. "tls-noprot" refuses PROT P (data in
clear), "tls-datacert" shows --cert2/--key2 on data connections. Scenario "auth-502" answers AUTH with 502;
every other scenario does not know AUTH (500).

The server's habits, as some widely used servers have them:
  - TYPE A is the default; in ASCII mode every LF goes out as CR LF, also where a CR is already there
  - scenario "habits": every RETR is answered "150 N.N kbytes to download", no SIZE
  - scenario "drop": the control connection is closed after each completed RETR
  - scenario "slow": every reply comes 0.3 s late, SYST's 1.5 s late
  RETR trickle.csv   -> one byte every 0.2 s, for a long time
  RETR slow.csv      -> 1 KiB every 0.05 s for 60 s; a closed data connection ends it with 426
  RETR mute.csv      -> like slow.csv, but ABOR and what follows go unanswered for 10 s
  RETR crlf.csv      -> "a,1\r\nb,2\r\n" x 50 (as stored; ASCII mode makes CR CR LF of it)
  RETR now226.csv    -> "226" at once, then the data connection brings 5000 bytes
  RETR ctlclose.csv  -> 150, 3000 bytes, the control connection closes, 3000 more, data closes
  RETR early226.csv  -> 150, "226" and the control connection closes, then 2 MiB come over the data connection
  RETR over.csv      -> "(100 bytes)" announced, 5000 sent
  RETR final150.csv / final350.csv / final55.csv -> the data, then "150 ...", "350 ..." or "55"
  SITE TRICKLE       -> a reply line that trickles in, one byte every 0.05 s, without end
  SITE ENDLESS       -> "211-" and then continuation lines without end
  SITE LONGLINE      -> a 200 KiB reply line, then "200 done"

Log-ons that go wrong: "endless-greeting" sends "220-" lines without end, "mute-user" never answers USER.

Limits and names:
  SITE FLOOD         -> "200 ok", then 100 KiB of lines nobody asked for
  LIST in "biglist"  -> 200,001 file lines          LIST in "many" -> 33,000 old day files (170101.csv...)
  LIST in "names"    -> report.csv.jar, caf\xe9.csv in Latin-1 bytes, café.csv in UTF-8, 240304.csv
  RETR of a name sent in Latin-1 bytes is logged with " [latin-1]"; caf\xe9.csv exists only so, café.csv only
  in UTF-8 (each its own bytes)
  RETR fool*         -> 150 naming the file, then "(100 bytes)"
  RETR refuse502*    -> 502
  scenario "utf8-feat": FEAT offers UTF8 and OPTS UTF8 ON is accepted (elsewhere FEAT is unknown)

A server that is slow in one phase of a download: scenario "late-TYPE", "late-SIZE", "late-EPSV" or
"late-150" answers that command (or RETR's 150) 8 s late once TYPE I has been asked; "late-connect" names
a passive port that never answers once TYPE I has been asked. In these scenarios EPSV works, SIZE answers
213, and a folder "pick-NAME" lists only NAME and 240304.csv.
"""
import select
import ssl
import time
import argparse
import socket
import sys
import threading

LISTING = [
    "total 3",
    "-rw-r--r-- 1 ftp ftp 2048 Mar 3 10:15 a.csv",
    "drwxr-xr-x 2 ftp 512 Jan 1 2004 logs",
    "-rw-r--r-- 1 ftp ftp 100 Mar 4 11:00 240304.csv",
]

MOVING_LISTING = ["-rw-r--r-- 1 ftp ftp 100 Mar 4 11:00 " + n for n in
                  ("240301.csv", "240302.csv", "grows.csv", "future.csv", "justnow.csv", "touched.csv")]

SHORT_LISTING = [
    "-rw-r--r-- 1 ftp ftp 2048 Mar 3 10:15 short.csv",
    "-rw-r--r-- 1 ftp ftp 100 Mar 4 11:00 240304.csv",
]

lock = threading.Lock()
STARTED = time.time()


class Session:
    def __init__(self, conn, args):
        self.c = conn
        self.args = args
        self.cwd = "/"
        self.port = None
        self.ascii = True
        self.reader = None
        self.passive = None
        self.cmd = ""
        self.binary = False  # TYPE I was asked
        self.latin1 = False  # the command line came in Latin-1 bytes
        self.asked = {}  # SIZE and MDTM of a name asked so far
        self.prot = False  # data connections are TLS (PROT P accepted)

    def tls_context(self, which=""):
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(getattr(self.args, "cert" + which), getattr(self.args, "key" + which))
        return ctx

    def close_data(self, d):
        # A TLS data connection ends with the TLS close (close_notify), except in the folder "cut".
        if isinstance(d, ssl.SSLSocket) and self.cwd != "cut" and self.args.scenario != "tls-cut":
            try:
                d.settimeout(5)
                d.unwrap()
            except (OSError, ValueError):
                pass
        d.close()

    def log(self, text):
        if self.args.log:
            with lock, open(self.args.log, "a", encoding="utf-8") as f:
                f.write(text + "\n")

    def count(self, cmd, arg):
        key = (cmd, arg)
        self.asked[key] = self.asked.get(key, 0) + 1
        return self.asked[key]

    def send(self, text):
        if self.args.scenario == "slow":
            time.sleep(1.5 if text.startswith("215") else 0.3)
        if self.late_now(text):
            time.sleep(8)
        self.c.sendall(text.encode("utf-8"))

    def late_now(self, text):
        sc = self.args.scenario
        if not sc.startswith("late-") or not self.binary:
            return False
        phase = sc[5:]
        if phase == "150":
            return self.cmd == "RETR" and text.startswith("150")
        return phase == self.cmd

    def open_passive(self):
        if self.passive:
            self.passive.close()
        self.passive = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.passive.bind(("127.0.0.1", 0))
        self.passive.listen(1)
        self.passive.settimeout(10)
        return self.passive.getsockname()[1]

    def dead_port(self):
        # A listener whose accept queue is full: further connection attempts are never answered.
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(0)
        fillers = []
        for _ in range(3):
            f = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            f.setblocking(False)
            try:
                f.connect(listener.getsockname())
            except BlockingIOError:
                pass
            fillers.append(f)
        self.dead = (listener, fillers)
        return listener.getsockname()[1]

    def data(self, source="127.0.0.1"):
        if self.passive:
            listener, self.passive = self.passive, None
            conn, peer = listener.accept()
            listener.close()
            self.log("PASSIVE from " + peer[0])
        else:
            host, port = self.port
            conn = socket.create_connection((host, port), timeout=10, source_address=(source, 0))
        if self.prot:
            ctx = self.tls_context("2" if self.args.scenario == "tls-datacert" else "")
            conn = ctx.wrap_socket(conn, server_side=True)
        return conn

    def probe_other_address(self):
        # The client must listen on the control connection's address only.
        try:
            s = socket.create_connection(("127.0.0.2", self.port[1]), timeout=2)
            s.close()
            self.log("PROBE connected")
        except OSError:
            self.log("PROBE refused")

    def foreign_then_real(self):
        self.probe_other_address()
        try:
            f = socket.create_connection(("127.0.0.1", self.port[1]), timeout=5, source_address=("127.0.0.2", 0))
            f.settimeout(5)
            try:
                f.sendall(b"FOREIGN DATA\r\n")
                got = f.recv(1)  # the client closes it at once
                self.log("FOREIGN closed" if not got else "FOREIGN open")
            except OSError:
                self.log("FOREIGN closed")
            f.close()
        except OSError as e:
            self.log("FOREIGN failed " + str(e))
        return self.data()

    def wait_client_close(self, sock, seconds=10):
        sock.settimeout(seconds)
        try:
            while sock.recv(65536):
                pass
        except OSError:
            pass

    def run(self):
        sc = self.args.scenario
        if sc == "endless-greeting":
            try:
                self.c.sendall(b"220-Welcome\r\n")
                for i in range(100000):
                    self.c.sendall(b"220-line %d of a greeting without end\r\n" % i)
                    time.sleep(0.002)
            except OSError:
                pass
            return
        if sc == "multiline-greeting":
            self.send("220-Welcome to the scripted server\r\n220-second line\r\nplain text line\r\n"
                      " indented line\r\n220 Ready\r\n")
        else:
            self.send("220 Scripted server ready\r\n")
        self.reader = self.c.makefile("rb")
        while True:
            raw = self.reader.readline()
            if not raw:
                break
            try:
                line = raw.decode("utf-8").rstrip("\r\n")
                self.latin1 = False
            except UnicodeDecodeError:
                line = raw.decode("latin-1").rstrip("\r\n")
                self.latin1 = True
            self.log(line + (" [latin-1]" if self.latin1 else ""))
            cmd, _, arg = line.partition(" ")
            cmd = cmd.upper()
            if not self.handle(cmd, arg, sc):
                break
        self.c.close()

    def handle(self, cmd, arg, sc):
        self.cmd = cmd
        if cmd == "TYPE" and arg.upper().startswith("I"):
            self.binary = True
        late = sc.startswith("late-")
        if cmd == "USER":
            if sc == "mute-user":
                pass  # never answered
            elif sc == "user-230":
                self.send("230 Logged in without password\r\n")
            elif sc == "user-530":
                self.send("530 Not logged in: user refused\r\n")
            else:
                self.send("331 Password required\r\n")
        elif cmd == "PASS":
            self.send("230 Logged in\r\n")
        elif cmd == "QUIT":
            self.send("221 Bye\r\n")
            return False
        elif cmd == "SYST":
            self.send("215 UNIX Type: L8\r\n")
        elif cmd == "TYPE":
            self.ascii = arg.upper().startswith("A")
            self.send("200 Type set\r\n")
        elif cmd == "SIZE":
            if sc in ("size", "mdtm", "tls-cut") or late:
                size = 5000 if arg == "lies.csv" else self.stored_size(arg)
                if arg == "grows.csv" and self.count(cmd, arg) > 1:
                    size += 80
                self.send("213 %d\r\n" % size)
            else:
                self.send("500 Unknown command\r\n")
        elif cmd == "MDTM" and sc not in ("size", "habits"):
            if arg == "future.csv":
                when = time.gmtime(STARTED + 3600)
            elif arg == "justnow.csv":
                when = time.gmtime(STARTED - 10)
            else:
                later = arg == "touched.csv" and self.count(cmd, arg) > 1
                when = time.strptime("20240304110%d00" % (5 if later else 0), "%Y%m%d%H%M%S")
            self.send("213 %s\r\n" % time.strftime("%Y%m%d%H%M%S", when))
        elif cmd == "EPSV" and (sc == "epsv-dead" or (sc == "late-connect" and self.binary)):
            self.send("229 Entering Extended Passive Mode (|||%d|)\r\n" % self.dead_port())
        elif cmd == "EPSV" and sc == "epsv-closed":
            probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
            probe.close()  # nothing listens there: a connection is refused
            self.send("229 Entering Extended Passive Mode (|||%d|)\r\n" % port)
        elif cmd == "EPSV" and (sc == "epsv" or late):
            self.send("229 Entering Extended Passive Mode (|||%d|)\r\n" % self.open_passive())
        elif cmd == "PASV" and sc == "pasv-foreign":
            p = self.open_passive()
            self.send("227 Entering Passive Mode (10,9,8,7,%d,%d).\r\n" % (p // 256, p % 256))
        elif cmd == "AUTH" and sc.startswith("tls"):
            self.send("234 Proceed with negotiation\r\n")
            self.c = self.tls_context().wrap_socket(self.c, server_side=True)
            self.reader = self.c.makefile("rb")
        elif cmd == "AUTH" and sc == "auth-502":
            self.send("502 Command not implemented\r\n")
        elif cmd == "PBSZ" and sc.startswith("tls"):
            self.send("200 PBSZ=0\r\n")
        elif cmd == "PROT" and sc == "tls-noprot":
            self.send("536 Data connections are not encrypted here\r\n")
        elif cmd == "PROT" and sc.startswith("tls"):
            self.prot = arg.upper() == "P"
            self.send("200 Protection level set\r\n")
        elif cmd == "ABOR":
            self.send("226 ABOR ok\r\n")
        elif cmd == "SITE":
            return self.site(arg)
        elif cmd == "FEAT" and sc == "utf8-feat":
            self.send("211-Features:\r\n UTF8\r\n MDTM\r\n211 End\r\n")
        elif cmd == "OPTS" and sc == "utf8-feat":
            self.send("200 UTF8 set to on\r\n")
        elif cmd == "MKD":
            self.send("502 Command not implemented\r\n")
        elif cmd == "RNFR":
            if arg.startswith("r351"):
                self.send("351 Ready for destination\r\n")
            elif arg.startswith("r352"):
                self.send("352 Odd reply\r\n")
            else:
                self.send("350 Ready for destination\r\n")
        elif cmd == "RNTO":
            self.send("250 Renamed\r\n")
        elif cmd == "NOOP":
            self.send("200 ok\r\n200 late reply\r\n")
        elif cmd == "CWD":
            self.cwd = arg
            self.send("250 Folder changed\r\n")
        elif cmd == "PWD":
            self.send('257 "/%s" is the current folder\r\n' % self.cwd.strip("/"))
        elif cmd == "PORT":
            self.passive = None
            p = [int(x) for x in arg.split(",")]
            self.port = ("%d.%d.%d.%d" % tuple(p[:4]), p[4] * 256 + p[5])
            self.send("200 PORT ok\r\n")
        elif cmd == "LIST":
            self.list()
        elif cmd == "RETR":
            self.retr(arg)
        elif cmd == "DELE":
            self.send("250 Deleted %s\r\n" % arg)
        else:
            self.send("500 Unknown command\r\n")
        return True

    def site(self, arg):
        word = arg.upper()
        if word == "TRICKLE":
            self.c.sendall(b"200 ")
            try:
                for _ in range(2000):
                    self.c.sendall(b"x")
                    time.sleep(0.05)
            except OSError:
                return False
        elif word == "ENDLESS":
            self.c.sendall(b"211-Status follows\r\n")
            try:
                for i in range(200000):
                    self.c.sendall(b" line %d\r\n" % i)
            except OSError:
                return False
            self.c.sendall(b"211 End\r\n")
        elif word == "FLOOD":
            self.c.sendall(b"200 ok\r\n")
            time.sleep(0.2)
            try:
                self.c.sendall(b"junk line nobody asked for\r\n" * 4000)
            except OSError:
                return False
        elif word == "LONGLINE":
            self.c.sendall(b"200 " + b"y" * (200 * 1024) + b"\r\n200 done\r\n")
        else:
            self.send("500 Unknown SITE command\r\n")
        return True

    def stored_size(self, name):
        return 1200 * 1024 if name in ("slow.csv", "mute.csv") else len(self.payload(name))

    def payload(self, name):
        if name == "sized.csv":
            return bytes(i % 251 for i in range(2048))
        if name == "multi.csv":
            return b"m" * 3000
        if name == "short.csv":
            return b"s" * 1000
        if name == "huge.bin":
            return b"h" * 1000
        if name == "crlf.csv":
            return b"a,1\r\nb,2\r\n" * 50
        if name in ("now226.csv", "over.csv"):
            return bytes(i % 256 for i in range(5000))
        if name == "ctlclose.csv":
            return b"c" * 6000
        if name == "early226.csv":
            return bytes(i * 7 % 256 for i in range(2 * 1024 * 1024))
        return b"0123456789" * 10

    def convert(self, data):
        # The habit: a CR before every LF in ASCII mode, even where one is there already.
        return data.replace(b"\n", b"\r\n") if self.ascii else data

    def control_has_input(self):
        return bool(select.select([self.c], [], [], 0)[0])

    def slow_send(self, name):
        d = self.data()
        chunk = self.convert(b"z" * 1023 + b"\n")
        try:
            for _ in range(1200):
                if name == "slow.csv" and self.control_has_input():
                    break  # ABOR (or anything) stops the transfer
                d.sendall(chunk)
                time.sleep(0.05)
        except OSError:
            pass
        self.close_data(d)
        if name == "mute.csv":
            time.sleep(10)
        self.send("426 Connection closed; transfer aborted\r\n")

    def trickle(self):
        d = self.data()
        try:
            for _ in range(600):
                d.sendall(b"t")
                time.sleep(0.2)
        except OSError:
            pass
        self.close_data(d)
        self.send("426 Transfer aborted\r\n")

    def list(self):
        if self.cwd == "never":
            self.send("150 Here comes the listing\r\n")
            return
        if self.cwd == "movingonce" and self.count("LIST", self.cwd) > 1:
            self.send("450 No listing now\r\n")
            return
        self.send("150 Here comes the listing\r\n")
        d = self.foreign_then_real() if self.cwd == "foreign" else self.data()
        body = "\r\n".join(SHORT_LISTING if self.cwd == "short" else
                             MOVING_LISTING if self.cwd.startswith("moving") else LISTING)
        if self.cwd == "biglist":
            body = "\r\n".join("-rw-r--r-- 1 ftp ftp 9 Mar 3 10:15 %07d.csv" % i for i in range(200001))
        if self.cwd == "many":
            body = "\r\n".join("-rw-r--r-- 1 ftp ftp 9 Mar 3 10:15 17%04d.csv" % i for i in range(33000))
        if self.cwd == "names":
            d.sendall(b"-rw-r--r-- 1 ftp ftp 100 Mar 3 10:15 report.csv.jar\r\n"
                      b"-rw-r--r-- 1 ftp ftp 70 Mar 3 10:15 caf\xe9.csv\r\n"
                      b"-rw-r--r-- 1 ftp ftp 60 Mar 3 10:15 caf\xc3\xa9.csv\r\n")
            body = LISTING[-1]
        if self.cwd.startswith("pick-"):
            name = self.cwd[5:]
            body = "-rw-r--r-- 1 ftp ftp %d Mar 4 11:00 %s\r\n%s" % (self.stored_size(name), name, LISTING[-1])
        if self.cwd == "longlist":
            body = "x" * 100000 + "\r\n" + body
        if self.cwd == "slowlist":
            lines = ["-rw-r--r-- 1 ftp ftp %d Mar 3 10:15 %06d.csv" % (100 + i, 200000 + i) for i in range(2000)]
            d.sendall(("\r\n".join(lines[:1000]) + "\r\n").encode("utf-8"))
            time.sleep(1.5)
            body = "\r\n".join(lines[1000:])
        if self.cwd != "nolf":
            body += "\r\n"
        d.sendall(body.encode("utf-8"))
        self.close_data(d)
        if self.cwd == "final426":
            self.send("426 Connection closed; transfer aborted\r\n")
        else:
            self.send("226 Listing sent\r\n")

    def retr(self, name):
        if name.startswith("refuse502"):
            self.send("502 Command not implemented\r\n")
            return
        if name == "caf\u00e9.csv" and self.cwd == "names":
            # The Latin-1 name and the UTF-8 name are two files; each is found only by its own bytes.
            payload = (b"latin-1 file\r\n" if self.latin1 else b"utf-8 file\r\n") * 5
            self.send("150 Opening data connection\r\n")
            d = self.data()
            d.sendall(payload)
            d.close()
            self.send("226 Transfer complete\r\n")
            return
        if name.startswith("fool"):
            self.send("150 Opening BINARY mode data connection for %s (100 bytes).\r\n" % name)
            d = self.data()
            d.sendall(self.payload(name))
            d.close()
            self.send("226 Transfer complete\r\n")
            return
        if name.startswith("missing"):
            self.send("550 %s: no such file\r\n" % name)
            return
        if name == "never.csv":
            self.send("150 Opening data connection\r\n")
            return
        if name in ("slow.csv", "mute.csv", "trickle.csv"):
            self.send("150 Opening data connection for %s\r\n" % name)
            if name == "trickle.csv":
                self.trickle()
            else:
                self.slow_send(name)
            return
        if name == "now226.csv":
            self.send("226 Transfer complete\r\n")
            d = self.data()
            d.sendall(self.convert(self.payload(name)))
            self.close_data(d)
            return
        if name == "ctlclose.csv":
            self.send("150 Opening data connection\r\n")
            d = self.data()
            body = self.convert(self.payload(name))
            d.sendall(body[:3000])
            time.sleep(0.2)
            self.c.shutdown(socket.SHUT_RDWR)
            self.c.close()
            time.sleep(0.2)
            d.sendall(body[3000:])
            self.close_data(d)
            raise OSError("control closed")
        if name == "early226.csv":
            self.send("150 Opening data connection\r\n")
            d = self.data()
            self.send("226 Transfer complete\r\n")
            self.c.shutdown(socket.SHUT_RDWR)
            self.c.close()
            d.sendall(self.payload(name))
            self.close_data(d)
            raise OSError("control closed first")
        if name == "over.csv":
            self.send("150 Opening BINARY mode data connection for over.csv (100 bytes).\r\n")
            d = self.data()
            try:
                d.sendall(self.payload(name))
            except OSError:
                pass
            self.close_data(d)
            self.send("226 Transfer complete\r\n")
            return
        if self.args.scenario == "habits":
            payload = self.convert(self.payload(name))
            self.send("150 %.1f kbytes to download\r\n" % (len(payload) / 1024.0))
            d = self.data()
            d.sendall(payload)
            self.close_data(d)
            self.send("226 Transfer complete\r\n")
            return
        if name.startswith("final") and name[5:8] in ("150", "350", "55."):
            self.send("150 Opening data connection\r\n")
            d = self.data()
            d.sendall(self.convert(self.payload(name)))
            self.close_data(d)
            self.send({"150": "150 Still here\r\n", "350": "350 Waiting\r\n", "55.": "55\r\n"}[name[5:8]])
            return
        if name == "short.csv":
            # A server that announces more than it sends and still reports success.
            self.send("150 Opening BINARY mode data connection for short.csv (2048 bytes).\r\n")
            payload = b"s" * 1000
        elif name == "sized.csv":
            self.send("150 Opening BINARY mode data connection for sized.csv (2048 bytes).\r\n")
            payload = self.payload(name)
        elif name == "multi.csv":
            self.send("150-Opening BINARY mode data connection\r\n150 for multi.csv (3000 bytes)\r\n")
            payload = b"m" * 3000
        elif name == "huge.bin":
            self.send("150 Opening BINARY mode data connection for huge.bin (5368709120 bytes).\r\n")
            payload = b"h" * 1000
        else:
            self.send("150 Opening data connection for %s\r\n" % name)
            payload = self.payload(name)
        d = self.foreign_then_real() if name == "foreign.csv" else self.data()
        if name == "mid421.csv":
            d.sendall(b"x" * 65536)
            self.send("421 Service not available, closing control connection\r\n")
            self.wait_client_close(d)
            self.close_data(d)
            self.c.close()
            return
        if name == "final426.csv":
            d.sendall(b"y" * 1000)
            self.close_data(d)
            self.send("426 Connection closed; transfer aborted\r\n")
            return
        d.sendall(self.convert(payload))
        self.close_data(d)
        self.send("226 Transfer complete\r\n")
        if self.args.scenario == "drop":
            self.c.shutdown(socket.SHUT_RDWR)
            self.c.close()
            raise OSError("dropped between files")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scenario", default="normal")
    ap.add_argument("--log", default="")
    ap.add_argument("--cert", default="")
    ap.add_argument("--key", default="")
    ap.add_argument("--cert2", default="")
    ap.add_argument("--key2", default="")
    args = ap.parse_args()
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 0))
    srv.listen(5)
    print("PORT", srv.getsockname()[1], flush=True)
    while True:
        conn, _ = srv.accept()
        threading.Thread(target=lambda: safe_run(Session(conn, args)), daemon=True).start()


def safe_run(session):
    try:
        session.run()
    except OSError:
        pass


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        pass
