#!/usr/bin/python3
# A local SMTP server for the mail tests: takes every message on 127.0.0.1 and writes it, as it
# arrived, to FOLDER/N.eml (with the envelope in N.env). Prints the port on the first line of
# standard output, then serves until standard input closes.
# Usage: smtpsink.py FOLDER
import os
import socket
import sys

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".env.tmp", "w") as f:
            f.write("FROM " + envelope.mail_from + "\n")
            for rcpt in envelope.rcpt_tos:
                f.write("TO " + rcpt + "\n")
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".env.tmp", base + ".env")
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 OK"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    folder = sys.argv[1]
    port = free_port()
    controller = Controller(Sink(folder), hostname="127.0.0.1", port=port)
    controller.start()
    print(port, flush=True)
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()
