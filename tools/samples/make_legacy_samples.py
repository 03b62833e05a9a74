#!/usr/bin/env python3
"""Writes samples/harbour.wpd (WordPerfect 6) and samples/harbour.wri (Windows Write) from
samples/harbour.txt: one paragraph per line, the first line bold, accented letters through the
WordPerfect multinational set and the Windows ANSI code page."""
import struct
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
lines = (ROOT / "samples/harbour.txt").read_text(encoding="utf-8").splitlines()

# Characters outside ASCII as WordPerfect (number, set) pairs.
WP_CHARS = {"é": (41, 1), "ï": (53, 1), "á": (27, 1), "£": (10, 4), "è": (47, 1), "ü": (71, 1), "—": (34, 4), "–": (33, 4),
            "‘": (29, 4), "’": (28, 4), "“": (32, 4), "”": (31, 4)}


def wp_text(s):
    out = bytearray()
    for ch in s:
        if ch == " ":
            out.append(0x80)
        elif 0x21 <= ord(ch) <= 0x7E:
            out.append(ord(ch))
        elif ch in WP_CHARS:
            n, cs = WP_CHARS[ch]
            out += bytes([0xF0, n, cs, 0xF0])
        else:
            out.append(ord("?"))
    return bytes(out)


def wordperfect():
    body = bytearray()
    for i, line in enumerate(lines):
        if i == 0:
            body += b"\xF2\x0C\xF2" + wp_text(line) + b"\xF3\x0C\xF3"
        else:
            body += wp_text(line)
        body += b"\xCC"
    header = b"\xFFWPC" + struct.pack("<IBBBBHHIi", 24, 1, 10, 2, 0, 0, 0, 0, 24 + len(body))
    return header + bytes(body)


def write():
    text = b"".join(line.encode("cp1252", "replace") + b"\r\n" for line in lines)
    fc_mac = 128 + len(text)
    out = bytearray(128) + text
    out += bytes(-len(out) % 128)

    def run_pages(limits, block):
        pages = bytearray()
        prev = 128
        for i in range(0, len(limits), 4):
            page = bytearray(128)
            struct.pack_into("<I", page, 0, prev)
            at = 28
            chunk = limits[i:i + 4]
            for k, (limit, b) in enumerate(chunk):
                struct.pack_into("<IH", page, 4 + 6 * k, limit, at - 4)
                page[at:at + len(b)] = b
                at += len(b)
                prev = limit
            page[127] = len(chunk)
            pages += page
        return pages

    first_end = 128 + len(lines[0].encode("cp1252", "replace")) + 2
    chars = [(first_end, bytes([2, 1, 1])), (fc_mac, bytes([2, 1, 0]))]
    out += run_pages(chars, None)
    pn_para = len(out) // 128
    paras, pos = [], 128
    for line in lines:
        pos += len(line.encode("cp1252", "replace")) + 2
        paras.append((pos, bytes([1, 61])))
    out += run_pages(paras, None)
    pn_ffntb = len(out) // 128
    name = b"Times New Roman\0"
    out += struct.pack("<HH", 1, len(name) + 1) + b"\x10" + name
    out += bytes(-len(out) % 128)
    pn_mac = len(out) // 128
    struct.pack_into("<HHH", out, 0, 0xBE31, 0, 0xAB00)
    struct.pack_into("<I", out, 14, fc_mac)
    struct.pack_into("<HHHHHH", out, 18, pn_para, pn_ffntb, pn_ffntb, pn_ffntb, pn_ffntb, pn_ffntb)
    struct.pack_into("<H", out, 96, pn_mac)
    return bytes(out)


(ROOT / "samples/harbour.wpd").write_bytes(wordperfect())
(ROOT / "samples/harbour.wri").write_bytes(write())
sys.exit(0)
