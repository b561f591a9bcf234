#!/usr/bin/python3
"""A loopback FTP server for the tests, with faults a real server or network may show.

Listens on 127.0.0.1 (or ::1) at a free port, prints "PORT <number>" on standard output once it
accepts connections, and serves the given root folder to one account. It ends when its standard
input closes, so that it never outlives the test that started it. With --connections-file it
keeps the number of connections it holds open (control and data) in that file, so that a test
on any host can tell whether its client closed them.
"""

import argparse
import logging
import os
import sys
import threading
from timeit import default_timer as timer

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="folder served as the account's /")
    parser.add_argument("--user", default="pulsarozentra")
    parser.add_argument("--password", default="kx7rw2pq5d")
    parser.add_argument("--refuse-login", action="store_true",
                        help="answer every login with 530")
    parser.add_argument("--drop-after", type=int, metavar="BYTES",
                        help="close the data connection after sending this many bytes (426)")
    parser.add_argument("--stall-after", type=int, metavar="BYTES",
                        help="send this many bytes, then nothing more, keeping the connection")
    parser.add_argument("--size-delta", type=int, default=0, metavar="BYTES",
                        help="announce (SIZE) the file this much larger (or smaller) than it is")
    parser.add_argument("--no-size", action="store_true",
                        help="answer SIZE with 502, so no size is announced")
    parser.add_argument("--size-reply", default="213 %d", metavar="FORMAT",
                        help="the reply to SIZE, %%d standing for the size (default: 213 %%d)")
    parser.add_argument("--opening-size-delta", type=int, metavar="BYTES",
                        help="state the size in the reply that opens a transfer, "
                             "'(N bytes)', this much larger (or smaller) than it is")
    parser.add_argument("--cut-after", type=int, metavar="BYTES",
                        help="end the transfer after this many bytes as if the file ended "
                             "there, reporting it complete (226)")
    parser.add_argument("--grow-while-sending", type=int, default=0, metavar="BYTES",
                        help="append this many bytes to the file once sending it has begun")
    parser.add_argument("--rate", type=int, default=0, metavar="BYTES_PER_SECOND",
                        help="send file data no faster than this")
    parser.add_argument("--silent-on", metavar="COMMAND", default="",
                        help="never answer this command (BANNER: never greet)")
    parser.add_argument("--long-reply-at", metavar="COMMAND", default="",
                        help="precede the reply to this command (BANNER: the greeting) by a "
                             "continuation line of --long-reply-length characters")
    parser.add_argument("--long-reply-length", type=int, default=70000)
    parser.add_argument("--after-data", choices=("reply", "silence", "close"), default="reply",
                        help="once a file's data connection has ended (whole, cut or dropped): "
                             "send the final reply (default), say nothing more while keeping the "
                             "control connection open, or close it without a reply")
    parser.add_argument("--die-after", type=int, metavar="BYTES",
                        help="end the server process abruptly after sending this many bytes")
    parser.add_argument("--ipv6", action="store_true", help="listen on ::1, not 127.0.0.1")
    parser.add_argument("--connections-file", metavar="PATH",
                        help="keep the number of open connections in this file")
    parser.add_argument("--login-folder", default="/", metavar="PATH",
                        help="the folder a login lands in, instead of /")
    parser.add_argument("--verbose", action="store_true", help="log the FTP dialogue on stderr")
    return parser.parse_args()


def make_authorizer(args):
    class Authorizer(DummyAuthorizer):
        def validate_authentication(self, username, password, handler):
            if args.refuse_login:
                raise AuthenticationFailed("Login refused.")
            super().validate_authentication(username, password, handler)

    authorizer = Authorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elr")
    return authorizer


class ConnectionCount:
    """The connections the server holds open, kept in a file when one is named."""

    def __init__(self, path):
        self._path = path
        self._open = 0
        self._write()

    def opened(self):
        self._open += 1
        self._write()

    def closed(self):
        self._open -= 1
        self._write()

    def _write(self):
        if self._path:
            # Replaced whole, so that a reader never sees it half written.
            with open(self._path + ".new", "w") as count:
                count.write("%d\n" % self._open)
            os.replace(self._path + ".new", self._path)


def make_data_handler(args, connections):
    class DataHandler(DTPHandler):
        _grown = False

        def __init__(self, sock, cmd_channel):
            connections.opened()
            super().__init__(sock, cmd_channel)

        def close(self):
            if not self._closed:
                connections.closed()
                if self.file_obj is not None and args.after_data != "reply":
                    self._resp = ()
                    if args.after_data == "close":
                        self.ioloop.call_later(0, self.cmd_channel.close)
            super().close()

        def use_sendfile(self):
            # sendfile() would bypass send(), where the data faults are made.
            shaped = (args.drop_after is not None or args.stall_after is not None or args.rate
                      or args.cut_after is not None or args.grow_while_sending
                      or args.die_after is not None)
            return not shaped and super().use_sendfile()

        def send(self, data):
            if args.die_after is not None:
                room = args.die_after - self.tot_bytes_sent
                if room <= 0:
                    os._exit(3)
                data = data[:room]
            if args.grow_while_sending and not self._grown:
                self._grown = True
                with open(self.file_obj.name, "ab") as grown:
                    grown.write(b"g" * args.grow_while_sending)
            if args.cut_after is not None:
                room = args.cut_after - self.tot_bytes_sent
                if room <= 0:
                    # Nothing left to send is what makes the close a complete transfer (226).
                    self.producer_fifo.clear()
                    self.handle_close()
                    return 0
                data = data[:room]
            limit = args.drop_after if args.drop_after is not None else args.stall_after
            if limit is not None:
                room = limit - self.tot_bytes_sent
                if room <= 0:
                    if args.drop_after is not None:
                        self.handle_close()
                    else:
                        self.del_channel()
                    return 0
                data = data[:room]
            if args.rate:
                # A steady trickle: never more than the rate allows so far, resumed every 20 ms.
                allowed = int(args.rate * (timer() - self._start_time)) - self.tot_bytes_sent
                if allowed <= 0:
                    self.del_channel()
                    self.ioloop.call_later(0.02, self._resume)
                    return 0
                data = data[:allowed]
            return super().send(data)

        def _resume(self):
            if not self._closed:
                self.add_channel(events=self.ioloop.WRITE)

    return DataHandler


def make_control_handler(args, connections):
    class ControlHandler(FTPHandler):
        authorizer = make_authorizer(args)
        dtp_handler = make_data_handler(args, connections)
        banner = "fixture ready."
        auth_failed_timeout = 0.1
        _command = "BANNER"

        def __init__(self, conn, server, ioloop=None):
            connections.opened()
            super().__init__(conn, server, ioloop)

        def close(self):
            if not self._closed:
                connections.closed()
            super().close()

        def handle(self):
            if args.silent_on.upper() != "BANNER":
                super().handle()

        def process_command(self, cmd, *a, **kw):
            self._command = cmd
            if cmd == args.silent_on.upper():
                return
            super().process_command(cmd, *a, **kw)

        def respond(self, resp, logfun=logging.debug):
            if self._command == args.long_reply_at.upper():
                self.push("%s-%s\r\n" % (resp[:3], "x" * args.long_reply_length))
            if (self._command == "RETR" and args.opening_size_delta is not None
                    and resp[:4] in ("150 ", "125 ")):
                resp = "%s Opening BINARY mode data connection for %s (%d bytes)." % (
                    resp[:3], os.path.basename(self._retrieved), self._retrieved_size)
            super().respond(resp, logfun)

        def ftp_RETR(self, file):
            self._retrieved = file
            if args.opening_size_delta is not None and os.path.isfile(file):
                self._retrieved_size = os.path.getsize(file) + args.opening_size_delta
            return super().ftp_RETR(file)

        def handle_auth_success(self, home, password, msg_login):
            super().handle_auth_success(home, password, msg_login)
            self.fs.cwd = args.login_folder

        def ftp_SIZE(self, path):
            if args.no_size:
                self.respond("502 SIZE not implemented.")
                return
            if not self.fs.isfile(self.fs.realpath(path)):
                self.respond("550 %s is not retrievable." % self.fs.fs2ftp(path))
                return
            self.respond(args.size_reply % (self.fs.getsize(path) + args.size_delta))

    return ControlHandler


def exit_when_input_closes():
    sys.stdin.buffer.read()
    os._exit(0)


def main():
    args = parse_arguments()
    logging.basicConfig(level=logging.DEBUG if args.verbose else logging.CRITICAL,
                        stream=sys.stderr)
    connections = ConnectionCount(args.connections_file)
    address = "::1" if args.ipv6 else "127.0.0.1"
    server = FTPServer((address, 0), make_control_handler(args, connections))
    threading.Thread(target=exit_when_input_closes, daemon=True).start()
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
