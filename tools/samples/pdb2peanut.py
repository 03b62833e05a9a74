#!/usr/bin/env python3
"""Rewrites a PalmDoc book as a Peanut book: type/creator PNRD/PPRS, a 116-byte record 0 carrying
the compression and the record count, and every text record XORed with 0xA5.
usage: pdb2peanut.py in.pdb out.pdb"""
import struct
import sys

src = open(sys.argv[1], 'rb').read()
n = struct.unpack('>H', src[76:78])[0]
offsets = [struct.unpack('>I', src[78 + 8 * i:82 + 8 * i])[0] for i in range(n)] + [len(src)]
records = [src[offsets[i]:offsets[i + 1]] for i in range(n)]
version = struct.unpack('>H', records[0][0:2])[0]
rec0 = struct.pack('>H6sH106s', version, b'', n, b'')
body = [rec0] + [bytes(b ^ 0xA5 for b in r) for r in records[1:]]
header = bytearray(src[:78])
header[60:68] = b'PNRDPPRS'
out = bytearray(header)
pos = 78 + 8 * n + 2
for i, r in enumerate(body):
    out += struct.pack('>IBBH', pos, 0, 0, i)  # offset, attributes, unique id
    pos += len(r)
out += b'\0\0'
for r in body:
    out += r
open(sys.argv[2], 'wb').write(out)
