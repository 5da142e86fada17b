"""Helpers of mx_servers_test.sh.

silent ADDRESS...        listens on port 53 of each address and answers nothing, until ended;
ready ADDRESS=ZONE...    waits (10 s at most) until each server answers its zone's SOA question.
"""
import select
import socket
import struct
import sys
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


if __name__ == "__main__":
    {"silent": silent, "ready": ready}[sys.argv[1]](sys.argv[2:])
