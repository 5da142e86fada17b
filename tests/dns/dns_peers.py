"""Helpers of mx_servers_test.sh.

silent ADDRESS...        listens on port 53 of each address and answers nothing, until ended;
ready ADDRESS=ZONE...    waits (10 s at most) until each server answers its zone's SOA question;
forger ADDRESS OTHER REAL
                         a root that answers each question three times: from OTHER (an address
                         not asked) with a referral to silent.dns-test, from ADDRESS with that
                         referral under another identifier, then from ADDRESS with what the
                         server at REAL answers;
late ADDRESS REAL SECONDS
                         a root that gives what the server at REAL answers, SECONDS late.
"""
import select
import socket
import struct
import sys
import threading
import time


def silent(addresses):
    socks = []
    for address in addresses:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((address, 53))
        socks.append(s)
    while True:
        readable, _, _ = select.select(socks, [], [])
        for s in readable:
            s.recvfrom(512)


def soa_query(zone, ident):
    name = b"".join(bytes([len(l)]) + l.encode() for l in zone.split(".") if l) + b"\0"
    return struct.pack(">HHHHHH", ident, 0, 1, 0, 0, 0) + name + struct.pack(">HH", 6, 1)


def ready(pairs):
    deadline = time.monotonic() + 10
    for ident, pair in enumerate(pairs, 1):
        address, zone = pair.split("=", 1)
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        while True:
            if time.monotonic() > deadline:
                sys.exit(f"dns_peers: no answer from {address} for {zone}")
            s.sendto(soa_query(zone, ident), (address, 53))
            readable, _, _ = select.select([s], [], [], 0.2)
            if readable:
                data, _ = s.recvfrom(512)
                if data[:2] == struct.pack(">H", ident):
                    break
        s.close()


def referral(query, ident, target):
    name = b"".join(bytes([len(l)]) + l.encode() for l in target.split(".")) + b"\0"
    header = struct.pack(">HHHHHH", ident, 0x8000, 1, 0, 1, 0)
    record = b"\xc0\x0c" + struct.pack(">HHIH", 2, 1, 3600, len(name)) + name
    return header + query[12:] + record


def forger(args):
    address, other, real = args
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, 53))
    o = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    o.bind((other, 53))
    while True:
        query, client = s.recvfrom(512)
        if len(query) < 17:
            continue
        ident = struct.unpack(">H", query[:2])[0]
        o.sendto(referral(query, ident, "silent.dns-test"), client)
        s.sendto(referral(query, ident ^ 0xFFFF, "silent.dns-test"), client)
        answer = relayed(query, real)
        if answer is not None:
            s.sendto(answer, client)


def relayed(query, real):
    relay = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    relay.settimeout(2)
    try:
        relay.sendto(query, (real, 53))
        return relay.recvfrom(512)[0]
    except socket.timeout:
        return None
    finally:
        relay.close()


def late(args):
    address, real, seconds = args[0], args[1], float(args[2])
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, 53))
    while True:
        query, client = s.recvfrom(512)
        answer = relayed(query, real)
        if answer is not None:
            threading.Timer(seconds, s.sendto, (answer, client)).start()


if __name__ == "__main__":
    {"silent": silent, "ready": ready, "forger": forger, "late": late}[sys.argv[1]](sys.argv[2:])
