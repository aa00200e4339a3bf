#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora: for kiss_fuzzer a few small KISS logs of QUILMAR-1 frames,
read as logs and as streams cut between connections, and records for the writers (each input's
first byte picks the mode); for tnc_address_fuzzer a few TNC addresses. All stay small, so
that the fuzzers run thousands of inputs a second; the full table is a unit test.

Run from the repository root: python3 fuzz/make_corpus.py
"""
import os
import struct

FEND, FESC, TFEND, TFESC = 0xC0, 0xDB, 0xDC, 0xDD


def address(call, ssid, last):
    call = call.ljust(6)[:6]
    return bytes(ord(c) << 1 for c in call) + bytes([0x60 | (ssid << 1) | last])


def frame(info, dest="XQ0GND", src="XQ0SAT", src_ssid=0, command=0):
    return (bytes([command]) + address(dest, 0, 0) + address(src, src_ssid, 1) +
            b"\x03\xf0" + info)


def information(number, kind, first=0, second=0, fill=0):
    info = bytearray([fill]) * 134
    info[0:6] = struct.pack(">HBBH", number, ord(kind), 7, 0x1234)
    info[6], info[70] = first, second
    return info


def wrap(data):
    body = bytearray()
    for b in data:
        body += {FEND: bytes([FESC, TFEND]), FESC: bytes([FESC, TFESC])}.get(b, bytes([b]))
    return bytes([FEND]) + body + bytes([FEND])


def eps_com():
    info = information(100, "S", 41, 20, fill=0x41)
    info[13:17] = bytes([1, 2, 3, 0x80])  # beacon timer with its sign bit set
    info[90:123] = b"QUILMAR-1 beacon\x00text\xc0\xdb padding.."[:33]
    return wrap(frame(bytes(info))) + wrap(frame(bytes(information(101, "G"))))


def cdhs_adcs():
    info = information(7, "S", 23, 64)
    info[14:21] = bytes([9, 5, 14, 3, 7, 3, 9])  # the spacecraft clock
    info[79:81] = b"\x80\x01"  # a panel temperature
    info[102:106] = struct.pack(">f", 0.70710678)
    info[130:134] = struct.pack(">f", 3350.5)
    return wrap(frame(bytes(info)))


def framing():
    good = frame(bytes(information(1, "S", 41, 20)))
    return (b"noise" + wrap(good) + bytes([FEND]) + good + bytes([FEND, FEND, FEND]) +
            wrap(frame(bytes(information(2, "S")), src="XQ0ABC")) +
            wrap(frame(bytes(information(3, "S")), src_ssid=5)) +
            wrap(frame(bytes(information(4, "S")), command=0x10)) + bytes([FEND]) + good[:40])


def escapes():
    head = frame(b"")
    return (bytes([FEND]) + head + bytes([FESC, 0x41, TFEND, 0x53, FESC, FEND]) +
            bytes([FEND]) + head + bytes([TFEND, TFESC, FESC, TFESC, 0x53, FEND]))


def gaps():
    return b"".join(wrap(frame(bytes(information(n, "A")))) for n in (0, 65535, 0, 10, 14, 15))


def infinite_floats():
    info = information(9, "S", 23, 64)
    info[102:106] = struct.pack(">f", float("inf"))
    info[106:110] = struct.pack(">f", float("-inf"))
    info[110:114] = struct.pack(">f", float("nan"))
    return wrap(frame(bytes(info)))


# Modes of kiss_fuzzer, by the input's first byte.
LOG, CONNECTIONS, WRITERS = 0, 2, 3


def text(data):
    return bytes([len(data)]) + data


def writer_records():
    """Two records as the writers mode reads them: a beacon text with a formula behind blanks,
    CR LF and the C1 bytes of a terminal control sequence, and awkward values."""
    def record(number, com, values, sections):
        out = struct.pack(">HBBH", number, ord("S"), 7, 1873)
        out += text(com) + text(b"07.03.09") + text(b"Mon") + text(b"00 2A ")
        out += bytes([len(values)])
        for row, pick in values:
            out += bytes([row, pick]) if pick < 12 else bytes([row, pick]) + struct.pack(">d", 0.7)
        return out + bytes(sections)
    return (bytes([0, 1]) +
            record(65535, b" \xa0=1+1\x9b2K\x9bA\r\n\x00", [(0, 3), (18, 2), (19, 1)],
                   [1, 0, 0, 1]) +
            record(0, b"-2,\"x\"", [(54, 200), (92, 6)], [0, 1, 1, 0]))


ADDRESSES = [b"localhost:8001", b"[::1]:8001", b"::1:8001", b"192.0.2.7:0", b"/dev/ttyUSB0",
             b"/tmp/kisstnc", b"COM3", b"[fe80::1%eth0]:65535", b"host:+80", b":8001"]


def main():
    here = os.path.dirname(__file__)
    out = os.path.join(here, "corpus")
    os.makedirs(out, exist_ok=True)
    for name, make in [("eps_com", eps_com), ("cdhs_adcs", cdhs_adcs), ("framing", framing),
                       ("escapes", escapes), ("gaps", gaps), ("infinite_floats", infinite_floats)]:
        with open(os.path.join(out, name + ".kss"), "wb") as f:
            f.write(bytes([LOG]) + make())
    for name, make in [("framing", framing), ("escapes", escapes)]:
        with open(os.path.join(out, name + "_connections.kss"), "wb") as f:
            f.write(bytes([CONNECTIONS]) + make())
    with open(os.path.join(out, "writer_records.bin"), "wb") as f:
        f.write(bytes([WRITERS]) + writer_records())
    out = os.path.join(here, "address_corpus")
    os.makedirs(out, exist_ok=True)
    for i, address in enumerate(ADDRESSES):
        with open(os.path.join(out, "address_%d.txt" % i), "wb") as f:
            f.write(bytes([i]) + address)


if __name__ == "__main__":
    main()
