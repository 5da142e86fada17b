#!/usr/bin/python3
"""Mail servers on 127.0.0.1 for the SMTP client's tests.

Real aiosmtpd servers (accepting; requiring AUTH LOGIN; offering only AUTH PLAIN; rejecting
EHLO and one recipient) write every message they take to DIR/spool/NAME/N.eml and the
envelope to N.env. Relays in front of the accepting server pass its replies on split into
small packets, slowly, late, or not at all after QUIT; small hostile servers answer with an
endless reply, a huge line or a bad code. Each listener's port goes to DIR/ports as
"NAME PORT" lines, then DIR/ready is made. Runs until its standard input closes.
"""

import os
import socket
import ssl
import subprocess
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

ACCOUNT = b"reporter"
PASSWORD = b"s3cret pass"
REFUSED = "refused@example.org"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Spool:
    def __init__(self, folder, refuse=None):
        self.folder = folder
        self.refuse = refuse
        self.count = 0
        self.lock = threading.Lock()
        os.makedirs(folder, exist_ok=True)

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address == self.refuse:
            return "550 5.1.1 no such recipient"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            name = os.path.join(self.folder, str(self.count))
        envelope_lines = "MAIL FROM:<%s>\n" % envelope.mail_from
        for rcpt in envelope.rcpt_tos:
            envelope_lines += "RCPT TO:<%s>\n" % rcpt
        if session.ssl:
            envelope_lines += "over TLS\n"
        with open(name + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        with open(name + ".env", "w") as f:
            f.write(envelope_lines)
        os.rename(name + ".tmp", name + ".eml")
        return "250 2.0.0 queued as %d" % self.count


def check_login(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == ACCOUNT
          and auth_data.password == PASSWORD)
    # handled=False: the server answers a refusal with its 535 reply.
    return AuthResult(success=ok, handled=False)


class NoEhloSMTP(SMTP):
    async def smtp_EHLO(self, hostname):
        await self.push("502 5.5.2 EHLO not here, say HELO")


class SpoolController(Controller):
    def __init__(self, handler, port, smtp_class=SMTP, **kwargs):
        self.smtp_class = smtp_class
        super().__init__(handler, hostname="127.0.0.1", port=port, **kwargs)

    def factory(self):
        return self.smtp_class(self.handler, **self.SMTP_kwargs)


def serve(port, handle):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)

    def loop():
        while True:
            client, _ = listener.accept()
            threading.Thread(target=handle, args=(client,), daemon=True).start()

    threading.Thread(target=loop, daemon=True).start()


# A TLS alert record: fatal handshake failure.
HANDSHAKE_FAILURE = b"\x15\x03\x03\x00\x02\x02\x28"


def relay(upstream_port, mode):
    """A relay to the accepting server that changes how its replies travel."""

    def handle(client):
        upstream = socket.create_connection(("127.0.0.1", upstream_port))
        quit_sent = threading.Event()

        def forward_commands():
            seen = b""
            try:
                while True:
                    data = client.recv(4096)
                    if not data:
                        break
                    seen = (seen + data)[-64:]
                    if b"QUIT\r\n" in seen:
                        quit_sent.set()
                    if mode == "broken_tls" and data == b"STARTTLS\r\n":
                        # Says yes, then refuses the handshake.
                        client.sendall(b"220 2.0.0 go ahead\r\n")
                        client.recv(4096)
                        client.sendall(HANDSHAKE_FAILURE)
                        client.shutdown(socket.SHUT_RDWR)
                        break
                    upstream.sendall(data)
            except OSError:
                pass
            try:
                upstream.shutdown(socket.SHUT_WR)
            except OSError:
                pass

        threading.Thread(target=forward_commands, daemon=True).start()
        first = True
        try:
            while True:
                data = upstream.recv(4096)
                if not data:
                    break
                if mode == "no_quit" and quit_sent.is_set():
                    time.sleep(30)
                    break
                if mode == "split":
                    # Pieces of 1 to 7 bytes, each its own packet.
                    for i in range(0, len(data), 5):
                        client.sendall(data[i:i + 5])
                        time.sleep(0.02)
                    continue
                if mode == "broken_tls":
                    data = data.replace(b"250 HELP\r\n", b"250-STARTTLS\r\n250 HELP\r\n")
                if mode == "slow":
                    time.sleep(1.5)
                if mode == "late" and first:
                    time.sleep(9)
                first = False
                client.sendall(data)
        except OSError:
            pass
        client.close()
        upstream.close()

    return handle


def hostile(mode):
    def handle(client):
        try:
            if mode == "bad_code":
                client.sendall(b"22O mail.test ready\r\n")
                time.sleep(10)
            elif mode == "huge_line":
                client.sendall(b"220 " + b"x" * 200000)
                time.sleep(10)
            elif mode == "endless":
                client.sendall(b"220 mail.test ready\r\n")
                client.recv(1024)
                while True:
                    client.sendall(b"250-and there is more\r\n" * 64)
            elif mode == "mixed_codes":
                client.sendall(b"220 mail.test ready\r\n")
                client.recv(1024)
                client.sendall(b"250-mail.test\r\n251 AUTH LOGIN\r\n")
                time.sleep(10)
        except OSError:
            pass
        client.close()

    return handle


def main():
    folder = sys.argv[1]
    spool = os.path.join(folder, "spool")
    ports = {}
    controllers = []

    def start(name, **kwargs):
        port = free_port()
        controller = SpoolController(Spool(os.path.join(spool, name), refuse=REFUSED), port,
                                     **kwargs)
        controller.start()
        controllers.append(controller)
        ports[name] = port

    start("accept")
    start("auth", authenticator=check_login, auth_required=True, auth_require_tls=False)
    start("plain_auth", authenticator=check_login, auth_required=True, auth_require_tls=False,
          auth_exclude_mechanism=["LOGIN"])
    start("reject", smtp_class=NoEhloSMTP)
    # STARTTLS with a certificate made here; AUTH and mail only after it.
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=localhost", "-keyout", os.path.join(folder, "key.pem"),
                    "-out", os.path.join(folder, "cert.pem")],
                   check=True, capture_output=True)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem"))
    start("tls", tls_context=context, require_starttls=True, authenticator=check_login,
          auth_required=True, auth_require_tls=True)
    for mode in ("split", "slow", "late", "no_quit", "broken_tls"):
        ports[mode] = free_port()
        serve(ports[mode], relay(ports["accept"], mode))
    for mode in ("bad_code", "huge_line", "endless", "mixed_codes"):
        ports[mode] = free_port()
        serve(ports[mode], hostile(mode))
    # A port where nothing listens.
    ports["closed"] = free_port()

    with open(os.path.join(folder, "ports"), "w") as f:
        for name, port in ports.items():
            f.write("%s %d\n" % (name, port))
    open(os.path.join(folder, "ready"), "w").close()
    sys.stdin.read()
    for controller in controllers:
        controller.stop()


if __name__ == "__main__":
    main()
