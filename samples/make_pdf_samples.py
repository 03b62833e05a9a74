#!/usr/bin/env python3
"""Writes the PDF samples from harbour.txt: harbour.pdf (classic cross-reference table, deflated
page contents, WinAnsi Helvetica with widths, several pages) and harbour-objstm.pdf (PDF 1.5
cross-reference stream, everything but the contents in object streams, plus an incremental
update that retitles the first page). Run from this folder: python3 make_pdf_samples.py"""
import zlib, textwrap

HELV = {' ': 278, 'default': 556, 'i': 222, 'l': 222, 'j': 222, 't': 278, 'f': 278, 'r': 333, '.': 278, ',': 278,
        "'": 191, '-': 333, 'm': 833, 'w': 722, 'M': 833, 'W': 944}

def widths():
    return [HELV.get(chr(c), HELV['default']) for c in range(32, 256)]

def esc(s):
    b = s.encode('cp1252', 'replace')
    out = ''
    for ch in b:
        c = chr(ch)
        if c in '()\\':
            out += '\\' + c
        elif ch < 32 or ch > 126:
            out += '\\%03o' % ch
        else:
            out += c
    return out

def pages_of(text, lines_per_page=46):
    lines = []
    for para in text.split('\n'):
        lines += textwrap.wrap(para, 90) or ['']
    return [lines[i:i + lines_per_page] for i in range(0, len(lines), lines_per_page)]

def content(lines, first_title=None):
    ops = ['BT /F1 10 Tf 12 TL 56 790 Td']
    for i, l in enumerate(lines):
        if i == 0 and first_title:
            l = first_title
        ops.append('(%s) Tj T*' % esc(l))
    ops.append('ET')
    return '\n'.join(ops).encode('latin-1')

class Doc:
    def __init__(self, version):
        self.version, self.objs, self.sections = version, {}, [[]]
    def add(self, body, num=None, compressed=False):
        num = num or (max([0] + list(self.objs)) + 1)
        self.objs[num] = body
        self.sections[-1].append((num, body, compressed))
        return num
    def stream(self, data, extra=b''):
        z = zlib.compress(data)
        return b'<< ' + extra + b' /Length %d /Filter /FlateDecode >>\nstream\n' % len(z) + z + b'\nendstream'

def build(doc, root, xref_stream):
    out = b'%PDF-' + doc.version.encode() + b'\n%\xe2\xe3\xcf\xd3\n'
    prev = None
    size = max(doc.objs) + 1
    for sec in doc.sections:
        offs = {}
        packed = [(n, b) for n, b, c in sec if c]
        for n, b, c in sec:
            if not c:
                offs[n] = out.__len__()
                out += b'%d 0 obj\n' % n + b + b'\nendobj\n'
        if packed:
            sn = size; size += 1
            head, body = b'', b''
            for n, b in packed:
                head += b'%d %d ' % (n, len(body)); body += b + b'\n'
            offs[sn] = len(out)
            out += b'%d 0 obj\n' % sn + doc.stream(head + body, b'/Type /ObjStm /N %d /First %d' % (len(packed), len(head))) + b'\nendobj\n'
            for i, (n, b) in enumerate(packed):
                offs[n] = (sn, i)
        tk = b' /Root %d 0 R' % root + (b' /Prev %d' % prev if prev is not None else b'')
        at = len(out)
        if xref_stream:
            xn = size; size += 1
            offs[xn] = at
            recs, index = b'', b''
            for n in sorted(offs):
                v = offs[n]
                recs += bytes([2]) + v[0].to_bytes(4, 'big') + v[1].to_bytes(2, 'big') if isinstance(v, tuple) else bytes([1]) + v.to_bytes(4, 'big') + b'\0\0'
                index += b'%d 1 ' % n
            out += b'%d 0 obj\n' % xn + doc.stream(recs, b'/Type /XRef /Size %d /W [1 4 2] /Index [%s]' % (size, index) + tk) + b'\nendobj\n'
        else:
            out += b'xref\n0 1\n0000000000 65535 f \n'
            for n in sorted(offs):
                out += b'%d 1\n%010d 00000 n \n' % (n, offs[n])
            out += b'trailer\n<< /Size %d' % size + tk + b' >>\n'
        out += b'startxref\n%d\n%%%%EOF\n' % at
        prev = at
    return out

def make(xref_stream):
    text = open('harbour.txt', encoding='utf-8').read()
    doc = Doc('1.5' if xref_stream else '1.4')
    cat, pages, font = 1, 2, 3
    comp = xref_stream
    doc.add(b'<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding /FirstChar 32 /LastChar 255 /Widths [%s] >>'
            % ' '.join(map(str, widths())).encode(), font, comp)
    kids, num = [], 4
    plist = pages_of(text)
    for lines in plist:
        c = doc.add(doc.stream(content(lines)), num); num += 1
        p = doc.add(b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>' % c, num, comp); num += 1
        kids.append(p)
    doc.add(b'<< /Type /Pages /Kids [%s] /Count %d >>' % (b' '.join(b'%d 0 R' % k for k in kids), len(kids)), pages, comp)
    doc.add(b'<< /Type /Catalog /Pages 2 0 R >>', cat, comp)
    if xref_stream:
        doc.sections.append([])
        doc.add(doc.stream(content(plist[0], 'Harbour Notes (revised)')), 4)
    return build(doc, cat, xref_stream)

open('harbour.pdf', 'wb').write(make(False))
open('harbour-objstm.pdf', 'wb').write(make(True))
