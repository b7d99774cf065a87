#!/usr/bin/env python3
"""Makes the sample PDF files of samples/library/ from plain text.

The texts are in samples/pdf_text/*.txt, taken from pages of the SQLite
documentation (public domain). Each text file holds:

    line 1          the document's title
    "# Heading"     a heading line
    4-space indent  a preformatted line (code, a table row), kept as it is;
                    the lines of one block follow each other
    other lines     paragraph text; a blank line ends a paragraph

    python3 samples/make_pdfs.py
        writes samples/library/<name>.pdf for every samples/pdf_text/<name>.txt

    python3 samples/make_pdfs.py --extract /usr/share/doc/sqlite3
        first rewrites samples/pdf_text/*.txt from the HTML pages of that
        folder (Debian package sqlite3-doc), then writes the PDFs

Only the Python 3 standard library is used. The PDFs are version 1.4, written
by hand: Helvetica and Helvetica-Bold (standard fonts, WinAnsiEncoding), A4
pages, uncompressed content streams, a /Title in the Info dictionary and a
cross-reference table with the objects' byte offsets. The output holds no
date, so the same texts always give the same bytes.
"""

import argparse
import html.parser
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TEXT_DIR = os.path.join(HERE, "pdf_text")
OUT_DIR = os.path.join(HERE, "library")

# The HTML pages turned into PDF texts by --extract: page file -> text name.
PAGES = {
    "quickstart.html": "sqlite-in-5-minutes",
    "serverless.html": "sqlite-is-serverless",
    "psow.html": "powersafe-overwrite",
    "dbstat.html": "dbstat-virtual-table",
    "nulls.html": "null-handling",
    "expridx.html": "indexes-on-expressions",
}

# ---------------------------------------------------------------------------
# Text extraction from the documentation's HTML pages.

# Characters outside Latin-1 found in the pages, with their plain stand-ins.
REPLACEMENTS = {
    "\u2018": "'", "\u2019": "'", "\u201c": '"', "\u201d": '"',
    "\u2013": "-", "\u2014": "--", "\u2026": "...", "\u2192": "->",
    "\u2190": "<-", "\u2264": "<=", "\u2265": ">=", "\u2260": "!=",
    "\u2022": "*", "\u00a0": " ", "\u2212": "-", "\u2248": "~",
}

BLOCK_TAGS = {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "li", "ul", "ol", "dl",
              "dt", "dd", "blockquote", "table", "tr", "hr", "center", "br"}
HEADING_TAGS = {"h1", "h2", "h3", "h4", "h5", "h6"}


def to_latin1(text):
    out = []
    for ch in text:
        ch = REPLACEMENTS.get(ch, ch)
        try:
            ch.encode("latin-1")
        except UnicodeEncodeError:
            ch = "?"
        out.append(ch)
    return "".join(out)


class PageText(html.parser.HTMLParser):
    """Collects the visible text of one documentation page as blocks.

    The site's navigation (the div of class "nosearch"), scripts, styles and
    the "last modified" footer are left out. Each block is ("p", text),
    ("h", text), ("pre", text with line breaks) or ("row", the cells of a
    table row joined by " | ").
    """

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.blocks = []
        self.title = ""
        self.in_title = False
        self.skip = 0          # depth inside script/style
        self.nav_depth = 0     # div depth inside the navigation, 0 when outside
        self.pre = 0
        self.heading = False
        self.current = []
        self.row = None        # cells of the table row being read

    def flush(self):
        text = "".join(self.current)
        self.current = []
        if self.pre:
            return
        text = " ".join(text.split())
        if text:
            self.blocks.append(("h" if self.heading else "p", text))

    def handle_starttag(self, tag, attrs):
        if self.nav_depth:
            if tag == "div":
                self.nav_depth += 1
            return
        if tag == "div" and ("class", "nosearch") in attrs:
            self.flush()
            self.nav_depth = 1
            return
        if tag in ("script", "style"):
            self.skip += 1
            return
        if tag == "title":
            self.in_title = True
            return
        if tag == "pre":
            self.flush()
            self.pre += 1
            return
        if tag in ("td", "th"):
            self.cell_start()
            return
        if self.row is not None and tag not in ("tr", "table"):
            self.current.append(" ")   # a break inside a table cell
            return
        if tag in BLOCK_TAGS:
            if tag == "tr":
                self.flush()
                self.row = []
                return
            self.flush()
            if tag in HEADING_TAGS:
                self.heading = True

    def handle_endtag(self, tag):
        if self.nav_depth:
            if tag == "div":
                self.nav_depth -= 1
            return
        if tag in ("script", "style"):
            self.skip = max(0, self.skip - 1)
            return
        if tag == "title":
            self.in_title = False
            return
        if tag == "pre" and self.pre:
            text = "".join(self.current).strip("\n")
            self.current = []
            self.pre -= 1
            if text.strip():
                self.blocks.append(("pre", "\n".join(line.rstrip() for line in
                                                     text.expandtabs(4).split("\n"))))
            return
        if tag in ("td", "th"):
            self.cell_end()
            return
        if tag == "tr":
            self.row_end()
            return
        if tag == "table":
            self.row_end()
        if self.row is not None:
            return
        if tag in BLOCK_TAGS:
            self.flush()
            if tag in HEADING_TAGS:
                self.heading = False

    def cell_start(self):
        if self.row is None:
            self.flush()
            self.row = []
        self.cell_end()

    def cell_end(self):
        if self.row is not None:
            text = " ".join("".join(self.current).split())
            self.current = []
            if text:
                self.row.append(text)

    def row_end(self):
        if self.row is not None:
            self.cell_end()
            if self.row:
                self.blocks.append(("row", " | ".join(self.row)))
            self.row = None

    def handle_data(self, data):
        if self.nav_depth or self.skip:
            return
        if self.in_title:
            self.title += data
            return
        self.current.append(data)

    def close(self):
        super().close()
        self.row_end()
        self.flush()


def extract_page(path):
    """The title and text-file body of the HTML page at `path`."""
    with open(path, encoding="utf-8", errors="replace") as f:
        parser = PageText()
        parser.feed(f.read())
        parser.close()
    blocks = parser.blocks
    # Drop the page's own footer ("This page last modified on ...").
    while blocks and blocks[-1][1].startswith("This page last modified"):
        blocks.pop()
    title = " ".join(parser.title.split())
    # The first heading repeats the title.
    if blocks and blocks[0][0] == "h" and blocks[0][1] == title:
        blocks = blocks[1:]
    lines = []
    for i, (kind, text) in enumerate(blocks):
        if kind == "row":
            # The rows of one table stay together, one line each.
            lines.append("    " + text)
            if i + 1 < len(blocks) and blocks[i + 1][0] == "row":
                continue
        elif kind == "h":
            lines.append("# " + text)
        elif kind == "pre":
            lines.extend("    " + line for line in text.split("\n"))
        else:
            lines.append(text)
        lines.append("")
    return to_latin1(title), to_latin1("\n".join(lines).strip() + "\n")


def extract(doc_dir):
    os.makedirs(TEXT_DIR, exist_ok=True)
    for page, name in sorted(PAGES.items()):
        title, body = extract_page(os.path.join(doc_dir, page))
        with open(os.path.join(TEXT_DIR, name + ".txt"), "w", encoding="latin-1",
                  newline="\n") as f:
            f.write(title + "\n\n" + body)
        print("extracted %s -> pdf_text/%s.txt (%d characters)" % (page, name, len(body)))


# ---------------------------------------------------------------------------
# PDF writing.

PAGE_WIDTH, PAGE_HEIGHT = 595, 842      # A4 in points
MARGIN = 56
BODY_SIZE, BODY_LEADING = 10, 13
HEADING_SIZE, HEADING_LEADING = 12, 17
TITLE_SIZE, TITLE_LEADING = 16, 22
PRE_SIZE, PRE_LEADING = 9, 11

# Advance widths (1/1000 em) of the printable ASCII characters, from the
# standard Helvetica and Helvetica-Bold font metrics; other characters are
# taken as 556, a digit's width.
_ASCII = "".join(chr(c) for c in range(32, 127))
_HELVETICA = [
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584,
]
_HELVETICA_BOLD = [
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611,
    975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556,
    333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889, 611, 611,
    611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584,
]
WIDTHS = {"F1": dict(zip(_ASCII, _HELVETICA)), "F2": dict(zip(_ASCII, _HELVETICA_BOLD))}


def text_width(text, font, size):
    table = WIDTHS[font]
    return sum(table.get(ch, 556) for ch in text) * size / 1000.0


def wrap(text, font, size, width):
    """Breaks `text` into lines no wider than `width` points, at spaces
    where it can, inside a word when the word alone is too wide."""
    lines, line = [], ""
    for word in text.split(" "):
        candidate = word if not line else line + " " + word
        if text_width(candidate, font, size) <= width:
            line = candidate
            continue
        if line:
            lines.append(line)
        line = word
        while text_width(line, font, size) > width:
            cut = len(line)
            while cut > 1 and text_width(line[:cut], font, size) > width:
                cut -= 1
            lines.append(line[:cut])
            line = line[cut:]
    if line or not lines:
        lines.append(line)
    return lines


def pdf_string(text):
    """A PDF literal string of Latin-1 `text`."""
    data = text.encode("latin-1")
    out = bytearray(b"(")
    for byte in data:
        if byte in b"\\()":
            out += b"\\" + bytes([byte])
        elif byte < 32 or byte > 126:
            out += b"\\%03o" % byte
        else:
            out.append(byte)
    out += b")"
    return bytes(out)


def parse_text_file(path):
    """The title and the blocks of a text file: ("h"|"p"|"pre", text)."""
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    title = lines[0].strip()
    blocks, paragraph = [], []

    def end_paragraph():
        if paragraph:
            blocks.append(("p", " ".join(paragraph)))
            paragraph.clear()

    in_pre = False
    for line in lines[1:]:
        if line.startswith("    "):
            end_paragraph()
            if in_pre:
                blocks[-1] = ("pre", blocks[-1][1] + "\n" + line[4:])
            else:
                blocks.append(("pre", line[4:]))
            in_pre = True
            continue
        in_pre = False
        if line.startswith("# "):
            end_paragraph()
            blocks.append(("h", line[2:].strip()))
        elif not line.strip():
            end_paragraph()
        else:
            paragraph.append(line.strip())
    end_paragraph()
    return title, blocks


def lay_out(title, blocks):
    """Places the lines on pages: a list of pages, each a list of
    (font, size, x, y, text)."""
    width = PAGE_WIDTH - 2 * MARGIN
    top, bottom = PAGE_HEIGHT - MARGIN, MARGIN + 20
    pages, page = [], []
    y = top

    def place(font, size, leading, text, indent=0, space_before=0):
        nonlocal y, page
        if y - space_before - leading < bottom:
            pages.append(page)
            page, y = [], top
        elif page:
            y -= space_before
        y -= leading
        page.append((font, size, MARGIN + indent, y, text))

    for line in wrap(title, "F2", TITLE_SIZE, width):
        place("F2", TITLE_SIZE, TITLE_LEADING, line)
    y -= 6
    for kind, text in blocks:
        if kind == "h":
            for i, line in enumerate(wrap(text, "F2", HEADING_SIZE, width)):
                place("F2", HEADING_SIZE, HEADING_LEADING, line, space_before=8 if i == 0 else 0)
        elif kind == "pre":
            for i, raw in enumerate(text.split("\n")):
                indent = 12 + text_width(raw[:len(raw) - len(raw.lstrip())], "F1", PRE_SIZE)
                for j, line in enumerate(wrap(raw.strip(), "F1", PRE_SIZE, width - indent)):
                    place("F1", PRE_SIZE, PRE_LEADING, line, indent=indent,
                          space_before=5 if i == 0 and j == 0 else 0)
            y -= 4
        else:
            for i, line in enumerate(wrap(text, "F1", BODY_SIZE, width)):
                place("F1", BODY_SIZE, BODY_LEADING, line, space_before=5 if i == 0 else 0)
    pages.append(page)
    return pages


def content_stream(lines, number, count):
    out = []
    for font, size, x, y, text in lines:
        out.append(b"BT /%s %d Tf %.2f %.2f Td %s Tj ET" %
                   (font.encode(), size, x, y, pdf_string(text)))
    footer = "Page %d of %d" % (number, count)
    x = (PAGE_WIDTH - text_width(footer, "F1", 8)) / 2
    out.append(b"BT /F1 8 Tf %.2f %.2f Td %s Tj ET" % (x, MARGIN - 20, pdf_string(footer)))
    return b"\n".join(out) + b"\n"


def write_pdf(title, blocks, path, subject):
    pages = lay_out(title, blocks)
    # Objects: 1 catalog, 2 page tree, 3 and 4 fonts, 5 info, then a page
    # object and its content stream for every page.
    first_page = 6
    page_ids = [first_page + 2 * i for i in range(len(pages))]
    objects = {
        1: b"<< /Type /Catalog /Pages 2 0 R >>",
        2: b"<< /Type /Pages /Kids [" + b" ".join(b"%d 0 R" % i for i in page_ids) +
           b"] /Count %d >>" % len(pages),
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        4: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold "
           b"/Encoding /WinAnsiEncoding >>",
        5: b"<< /Title " + pdf_string(title) + b" /Author (SQLite documentation authors)"
           b" /Subject " + pdf_string(subject) +
           b" /Creator (QORA samples/make_pdfs.py) /Producer (QORA samples/make_pdfs.py) >>",
    }
    for i, lines in enumerate(pages):
        page_id = page_ids[i]
        stream = content_stream(lines, i + 1, len(pages))
        objects[page_id] = (
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] "
            b"/Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> /Contents %d 0 R >>"
            % (PAGE_WIDTH, PAGE_HEIGHT, page_id + 1))
        objects[page_id + 1] = (b"<< /Length %d >>\nstream\n" % len(stream) + stream +
                                b"\nendstream")

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for number in sorted(objects):
        offsets[number] = len(out)
        out += b"%d 0 obj\n" % number + objects[number] + b"\nendobj\n"
    xref = len(out)
    size = max(objects) + 1
    out += b"xref\n0 %d\n" % size
    out += b"0000000000 65535 f \n"
    for number in range(1, size):
        out += b"%010d 00000 n \n" % offsets[number]
    out += b"trailer\n<< /Size %d /Root 1 0 R /Info 5 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        size, xref)
    with open(path, "wb") as f:
        f.write(out)
    return len(pages), len(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--extract", metavar="DOCDIR",
                        help="first rewrite pdf_text/ from the HTML pages of DOCDIR")
    args = parser.parse_args()
    if args.extract:
        extract(args.extract)
    names = sorted(f[:-4] for f in os.listdir(TEXT_DIR) if f.endswith(".txt"))
    if not names:
        sys.exit("make_pdfs: no texts in " + TEXT_DIR)
    os.makedirs(OUT_DIR, exist_ok=True)
    source_of = {name: page for page, name in PAGES.items()}
    for name in names:
        title, blocks = parse_text_file(os.path.join(TEXT_DIR, name + ".txt"))
        subject = "From the SQLite documentation page %s (public domain)" % source_of.get(
            name, name)
        pages, size = write_pdf(title, blocks, os.path.join(OUT_DIR, name + ".pdf"), subject)
        print("wrote library/%s.pdf: %d pages, %d bytes, title \"%s\"" % (name, pages, size,
                                                                            title))


if __name__ == "__main__":
    main()
