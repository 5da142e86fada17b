#!/usr/bin/python3
"""A real SMTP server (aiosmtpd) standing as a mail exchanger of the test's zones.

    exchanger_smtp.py ADDRESS PORT SPOOL

Takes every message on ADDRESS:PORT and writes it to SPOOL/N.eml, its envelope to
SPOOL/N.env; makes SPOOL/ready when it listens. Runs until its standard input closes.
"""

import os
import sys

from aiosmtpd.controller import Controller


class Spool:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        name = os.path.join(self.folder, str(self.count))
        with open(name + ".env", "w") as f:
            f.write("MAIL FROM:<%s>\n" % envelope.mail_from)
            for rcpt in envelope.rcpt_tos:
                f.write("RCPT TO:<%s>\n" % rcpt)
        with open(name + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(name + ".tmp", name + ".eml")
        return "250 OK"


def main():
    address, port, spool = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    os.makedirs(spool, exist_ok=True)
    controller = Controller(Spool(spool), hostname=address, port=port)
    controller.start()
    open(os.path.join(spool, "ready"), "w").close()
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()
