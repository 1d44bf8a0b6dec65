#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_decode into corpus/.

Input layout: state, position, sum, total, index, pending, memory-idle
bytes, then steps of [loop step][read length - 1][read bytes].
"""
import os

STATES = {None: 0, 'r': 1, 'q': 2, 'x': 3, 'f': 4, 'm': 5, 'n': 6, 'z': 7}
NONE, WRITE_PENDING = 0, 1


def write_cmd(c):
    return 2 | (STATES[c] << 2)


def frame(*fields):
    return bytes(fields) + bytes([sum(fields) & 0xFF & 0x7F])


def header(count, version=1):
    b = bytes([version, (count >> 16) & 0xFF, (count >> 8) & 0xFF, count & 0xFF])
    return b + bytes([sum(b) & 0x7F])


def start(state, pos=1, total=0, index=0, pending=None, idle=1):
    return bytes([STATES[state], pos, 0, total & 0x0F, index, STATES[pending], idle])


def read(step, data):
    return bytes([step, len(data) - 1]) + data


EX = bytes([0x17, 0x05, 0x07, 0x09, 0x05, 0x03, 0x62, 0x48, 0x5E])
seeds = {
    'handshake-live': start('r', 0) + read(NONE, b'\xfe') + read(write_cmd('q'), EX + frame(5, 0x1C, 1, 0, 0, 9, 0, 0))
    + read(NONE, EX[:8] + b'\x5f' + EX) + read(WRITE_PENDING, EX),
    'download-3': start('f', 1, idle=0) + read(NONE, header(3)) + read(WRITE_PENDING, EX)
    + read(WRITE_PENDING, frame(0x17, 5, 7, 9, 5, 4, 0, 0)) + read(WRITE_PENDING, frame(0x18, 0x1C, 31, 23, 59, 59, 100, 255))
    + read(WRITE_PENDING, b'\xfd'),
    'bad-header': start('f', 1, idle=0) + read(NONE, bytes([1, 0, 1, 0x2C, 0x2F, 0x30, 0x2E]) + EX),
    'bad-record': start('m', 21, total=5, index=2, idle=0) + read(NONE, EX[:8] + b'\x5d' + EX) + read(write_cmd('n'), EX),
    'after-last': start('m', 21, total=1, idle=0) + read(NONE, EX) + read(WRITE_PENDING, b'\x5e\x40\xfd'),
    'markers-inside': start('q', 1) + read(NONE, bytes([0x17, 0x05, 0xFE, 0x07, 0x09, 0x05, 0x03, 0x62, 0xFD, 0x48, 0x5E])),
    'header-and-records-one-read': start('f', 1, idle=0) + read(NONE, header(2) + EX + EX + b'\xfd'),
}
here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(os.path.join(here, 'corpus'), exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, 'corpus', name), 'wb') as out:
        out.write(data)
