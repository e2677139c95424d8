#!/usr/bin/python3
"""A local FTP server for the tests.

Usage: ftp_server.py ROOT USER PASSWORD LOGFILE

Serves ROOT to one account on 127.0.0.1 at a port the system chooses, prints that port
on one line, and writes every command it receives to LOGFILE, one line each (the
password masked). It ends when its standard input closes or on SIGTERM.
"""

import os
import signal
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password, log_path = sys.argv[1:5]
    log = open(log_path, "a", encoding="utf-8", buffering=1)

    class LoggingHandler(FTPHandler):
        # A failed login would otherwise hold the reply back for 3 seconds.
        auth_failed_timeout = 0

        def pre_process_command(self, line, cmd, arg):
            log.write("PASS ****\n" if cmd == "PASS" else line + "\n")
            super().pre_process_command(line, cmd, arg)

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
