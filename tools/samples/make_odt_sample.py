#!/usr/bin/env python3
"""Writes samples/harbour.odt from samples/harbour.txt: the first line is the title, lines such as
"1. On tides" are headings, every other non-empty line a paragraph; a closing table lists the
chapters. The archive is deterministic (fixed dates), with "mimetype" stored first."""
import re
import sys
import zipfile
from xml.sax.saxutils import escape

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:dc="http://purl.org/dc/elements/1.1/" '
      'xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0"')
MEDIA = 'application/vnd.oasis.opendocument.text'


def main(src='samples/harbour.txt', dst='samples/harbour.odt'):
    lines = [l.rstrip('\n') for l in open(src, encoding='utf-8')]
    title, body = lines[0], lines[1:]
    out = [f'<text:h text:style-name="Title" text:outline-level="1">{escape(title)}</text:h>']
    chapters = []
    for line in body:
        if not line.strip():
            continue
        m = re.match(r'^(\d+)\. (.*)$', line)
        if m:
            chapters.append((m.group(1), m.group(2)))
            out.append(f'<text:h text:style-name="P2" text:outline-level="2">{escape(line)}</text:h>')
        else:
            out.append(f'<text:p text:style-name="P1">{escape(line)}</text:p>')
    rows = ''.join(f'<table:table-row><table:table-cell office:value-type="float" office:value="{n}"><text:p>{n}'
                   f'</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>{escape(t)}'
                   '</text:p></table:table-cell></table:table-row>' for n, t in chapters)
    out.append('<table:table table:name="Chapters"><table:table-column table:number-columns-repeated="2"/>'
               + rows + '</table:table>')
    styles = ('<style:style style:name="P1" style:family="paragraph"><style:paragraph-properties fo:text-align="justify"/>'
              '</style:style><style:style style:name="P2" style:family="paragraph"><style:text-properties '
              'fo:font-weight="bold" fo:font-size="14pt" fo:color="#1f3864"/></style:style>')
    content = (f'<?xml version="1.0" encoding="UTF-8"?>\n<office:document-content {NS} office:version="1.3">'
               f'<office:automatic-styles>{styles}</office:automatic-styles><office:body><office:text>'
               + ''.join(out) + '</office:text></office:body></office:document-content>')
    meta = (f'<?xml version="1.0" encoding="UTF-8"?>\n<office:document-meta {NS} office:version="1.3"><office:meta>'
            f'<meta:generator>zvword samples</meta:generator><dc:title>{escape(title)}</dc:title>'
            '<meta:initial-creator>zvword</meta:initial-creator><meta:creation-date>2026-01-01T12:00:00'
            '</meta:creation-date><meta:editing-duration>PT1H30M</meta:editing-duration></office:meta>'
            '</office:document-meta>')
    manifest = ('<?xml version="1.0" encoding="UTF-8"?>\n<manifest:manifest '
                'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.3">'
                f'<manifest:file-entry manifest:full-path="/" manifest:media-type="{MEDIA}"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                '<manifest:file-entry manifest:full-path="meta.xml" manifest:media-type="text/xml"/>'
                '</manifest:manifest>')
    with zipfile.ZipFile(dst, 'w') as z:
        def add(name, data, method):
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 12, 0, 0))
            info.compress_type = method
            z.writestr(info, data)
        add('mimetype', MEDIA, zipfile.ZIP_STORED)
        add('content.xml', content, zipfile.ZIP_DEFLATED)
        add('meta.xml', meta, zipfile.ZIP_DEFLATED)
        add('META-INF/manifest.xml', manifest, zipfile.ZIP_DEFLATED)


if __name__ == '__main__':
    main(*sys.argv[1:])
