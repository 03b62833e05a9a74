"""Text and properties of office documents and e-books.

Word (.doc, .docx), PDF, OpenDocument, EPUB, FictionBook, WordPerfect, Write and PalmDoc files,
as plain text, RTF or HTML::

    import zvword
    doc = zvword.extract("report.docx", lists=["footnotes"])
    print(doc.format, doc.properties.get("Title"), doc.text)

A document that cannot be read raises zvword.Error; its ``document`` attribute holds what was
read before the fault. Reading releases the GIL, so threads read documents in parallel.
"""

import os

from ._zvword import READERS, Error, __version__, _detect, _extract, _list_names

__all__ = ["Document", "Error", "extract", "detect", "LISTS", "READERS", "__version__"]

_FORMATS = {"plain": 0, "rtf": 1, "html": 2}
# The lists a document may have besides its body, and "all" for every non-empty one.
LISTS = tuple(_list_names())


class Document:
    """One document's result.

    text: the body (str); lists: {name: text} of the lists asked for that the format has;
    properties: {name: str or int}, dates as ISO 8601 in UTC ("2024-01-31T12:00:00Z");
    format: the reader that read it ("docx", "pdf", ...); partial: the text may be incomplete;
    warnings: what the reader read through.
    """

    __slots__ = ("text", "lists", "properties", "format", "partial", "warnings")

    def __init__(self, text, lists, properties, format, partial=False, warnings=()):
        self.text = text
        self.lists = lists
        self.properties = properties
        self.format = format
        self.partial = partial
        self.warnings = list(warnings)

    def __repr__(self):
        return "Document(format=%r, text=%d chars, lists=%s, properties=%d)" % (
            self.format, len(self.text), sorted(self.lists), len(self.properties))


def _source(path_or_bytes):
    """(bytes, is_path): a path as the file system's bytes, or the document's own bytes."""
    if isinstance(path_or_bytes, (bytes, bytearray, memoryview)):
        return bytes(path_or_bytes), False
    return os.fsencode(path_or_bytes), True


def extract(path_or_bytes, format="plain", lists=(), password=None, max_length=0, *, name=None, reader=None):
    """Reads a document from a path (str or os.PathLike) or from its bytes.

    format: "plain", "rtf" or "html"; lists: names from LISTS besides the body; password: the PDF
    user password; max_length: characters of text to stop after (0 = all); name: for bytes, a file
    name whose extension helps detection; reader: a name from READERS instead of detection.
    Raises zvword.Error with the reader's message, ValueError for a bad argument.
    """
    if format not in _FORMATS:
        raise ValueError("format must be one of %s, not %r" % (", ".join(_FORMATS), format))
    if isinstance(lists, str):
        lists = [lists]
    lists = list(lists)
    for n in lists:
        if n not in LISTS and n != "all":
            raise ValueError("unknown list %r (%s, all)" % (n, ", ".join(LISTS)))
    if not isinstance(max_length, int) or not 0 <= max_length < 2**31:
        raise ValueError("max_length must be an int from 0 to 2**31-1, not %r" % (max_length,))
    if reader is not None and reader not in READERS:
        raise ValueError("unknown reader %r (%s)" % (reader, ", ".join(READERS)))
    if password is None:
        password = b""
    elif isinstance(password, str):
        password = password.encode("utf-8")
    source, is_path = _source(path_or_bytes)
    hint = b"" if is_path or name is None else os.fsencode(name)
    fmt, text, found, properties, error, partial, warnings = _extract(
        source, is_path, hint, _FORMATS[format], lists, bytes(password), max_length, reader or "")
    doc = Document(text, found, properties, fmt, partial, warnings)
    if error is not None:
        e = Error(error)
        e.document = doc
        raise e
    return doc


def detect(path_or_bytes, name=None):
    """The reader name ("docx", "pdf", ...) that would read the document, or None.

    Content decides first, then the extension of the path or of ``name``.
    """
    source, is_path = _source(path_or_bytes)
    if is_path:
        with open(source, "rb") as f:
            data = f.read()
        hint = source
    else:
        data, hint = source, b"" if name is None else os.fsencode(name)
    return _detect(data, hint)
