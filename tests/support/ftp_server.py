#!/usr/bin/python3
"""A local FTP server for the tests.

Usage: ftp_server.py ROOT USER PASSWORD LOGFILE [FAULTS]

Serves ROOT to one account on 127.0.0.1 at a port the system chooses, prints that port
on one line, and writes every command it receives to LOGFILE, one line each (the
password masked). It ends when its standard input closes or on SIGTERM.

FAULTS, comma-separated key=value pairs:
  silent_greeting=N   the first N sessions get no greeting at all
  refuse_login=N      the N-th USER of the run is answered 530
  refuse_list=N       the N-th LIST of the run is answered 550
  refuse_dele=N       the N-th DELE of the run is answered 550
  silent_retr=N       the N-th RETR of the run gets no answer and no data
  short_retr=N        the N-th RETR sends the first half of the file and ends with 226
  cut_retr=N          the N-th RETR sends the first half, then closes the data connection
                      with 426
  drop_in_retr=N      the N-th RETR sends the first half, then the control connection is
                      closed under the transfer
"""

import errno
import io
import os
import socket
import signal
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FileProducer, FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password, log_path = sys.argv[1:5]
    faults = dict(pair.split("=", 1) for pair in sys.argv[5].split(",") if pair) if len(sys.argv) > 5 else {}
    silent_sessions = [int(faults.pop("silent_greeting", 0))]
    refused = {"USER": int(faults.pop("refuse_login", 0)), "LIST": int(faults.pop("refuse_list", 0)),
               "DELE": int(faults.pop("refuse_dele", 0))}
    retr_faults = {int(faults.pop(key)): key for key in ("silent_retr", "short_retr", "cut_retr", "drop_in_retr")
                   if key in faults}
    seen = {"USER": 0, "LIST": 0, "DELE": 0, "RETR": 0}
    if faults:
        sys.exit("unknown faults: " + ", ".join(faults))
    log = open(log_path, "a", encoding="utf-8", buffering=1)
    refusals = {"USER": "530 Login refused.", "LIST": "550 Listing refused.", "DELE": "550 Delete refused."}

    class HalfFile(io.BytesIO):
        """The first half of a file's bytes; at their end, ending() says how the transfer ends."""

        def __init__(self, data, ending):
            super().__init__(data[: len(data) // 2])
            self.ending = ending

        def read(self, size=-1):
            return super().read(size) or self.ending()

    class LoggingHandler(FTPHandler):
        # A failed login would otherwise hold the reply back for 3 seconds.
        auth_failed_timeout = 0

        def handle(self):
            if silent_sessions[0] > 0:
                silent_sessions[0] -= 1
                return
            super().handle()

        def pre_process_command(self, line, cmd, arg):
            log.write("PASS ****\n" if cmd == "PASS" else line + "\n")
            if cmd in seen:
                seen[cmd] += 1
                if seen[cmd] == refused.get(cmd):
                    self.respond(refusals[cmd])
                    return
                if cmd == "RETR" and retr_faults.get(seen[cmd]) == "silent_retr":
                    return
            super().pre_process_command(line, cmd, arg)

        def ftp_RETR(self, file):
            fault = retr_faults.get(seen["RETR"])
            if fault not in ("short_retr", "cut_retr", "drop_in_retr"):
                return super().ftp_RETR(file)
            with open(file, "rb") as whole:
                data = whole.read()

            def ending():
                if fault == "cut_retr":
                    raise OSError(errno.ECONNRESET, "cut off")
                if fault == "drop_in_retr":
                    self.socket.shutdown(socket.SHUT_RDWR)
                return b""

            # No file object: pyftpdlib then sends through the producer, not sendfile().
            self.push_dtp_data(FileProducer(HalfFile(data, ending), self._current_type), isproducer=True, cmd="RETR")
            return file

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    LoggingHandler.authorizer = authorizer
    LoggingHandler.banner = "Test server ready."

    server = FTPServer(("127.0.0.1", 0), LoggingHandler)
    print(server.socket.getsockname()[1], flush=True)

    def stop(*_):
        log.flush()
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)

    def watch_stdin():
        while sys.stdin.buffer.read(4096):
            pass
        stop()

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
