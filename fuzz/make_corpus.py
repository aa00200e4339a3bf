#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: a few small KISS logs of QUILMAR-1 frames.

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


def overfull():
    # 5001 short frames: the table fills up and the last one is skipped. The first byte, a
    # FEND, also picks no cancel.
    return b"".join(wrap(frame(struct.pack(">HBBH", n, ord("A"), 0, 0))) for n in range(5001))


def infinite_floats():
    info = information(9, "S", 23, 64)
    info[102:106] = struct.pack(">f", float("inf"))
    info[106:110] = struct.pack(">f", float("-inf"))
    info[110:114] = struct.pack(">f", float("nan"))
    return wrap(frame(bytes(info)))


def main():
    out = os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(out, exist_ok=True)
    for name, make in [("eps_com", eps_com), ("cdhs_adcs", cdhs_adcs), ("framing", framing),
                       ("escapes", escapes), ("gaps", gaps), ("overfull", overfull),
                       ("infinite_floats", infinite_floats)]:
        with open(os.path.join(out, name + ".kss"), "wb") as f:
            f.write(make())


if __name__ == "__main__":
    main()
