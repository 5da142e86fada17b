#!/usr/bin/python3
"""Checks the PDF of a printed report against the page facts the print test wrote.

usage: check_printed_report.py JOB.pdf FACTS

The report (print_action_win_test.cpp) has numbered lines L001..Lnnn, an empty line after
the first and a long second line of words w1..w60 that wraps. pdftotext's word boxes give
each word's page and position; the check: every line in order, the empty line kept as a
gap of one line, the long line wrapped over several lines with no word lost, each page
holding exactly the lines that fit (page breaks), the left and top margins, the font.
"""
import subprocess
import sys


def fail(message):
    print("check_printed_report: " + message)
    sys.exit(1)


def main():
    pdf, facts_path = sys.argv[1], sys.argv[2]
    facts = dict(line.split() for line in open(facts_path) if line.strip())
    lines_per_page, lines = int(facts["lines_per_page"]), int(facts["lines"])

    fonts = subprocess.run(["pdffonts", pdf], capture_output=True, text=True, check=True).stdout
    if "LiberationMono" not in fonts and "Courier" not in fonts:
        fail("the report is not in Courier New (or its replacement):\n" + fonts)

    tsv = subprocess.run(["pdftotext", "-tsv", pdf, "-"], capture_output=True, text=True,
                         check=True).stdout.splitlines()
    words = []  # (page, top, left, text)
    for row in tsv[1:]:
        cells = row.split("\t")
        if len(cells) < 12 or cells[0] != "5":
            continue
        words.append((int(cells[1]), float(cells[7]), float(cells[6]), cells[11]))
    if not words:
        fail("no text in the PDF")

    # Visual lines: words of one page at one height.
    rows = {}
    for page, top, left, text in words:
        rows.setdefault((page, round(top, 1)), []).append((left, text))
    visual = sorted(rows.items())
    pages = sorted({page for page, _ in rows})

    numbered = [(key, sorted(ws)) for key, ws in visual if sorted(ws)[0][1].startswith("L")]
    numbers = [ws[0][1] for _, ws in numbered]
    expected = ["L%03d" % n for n in range(1, lines + 1)]
    if numbers != expected:
        fail("lines missing or out of order: %s ..." % numbers[:8])

    # The long line: w1..w60 in order over several visual lines, none of them beyond the
    # printable width (they wrap).
    long_words = [text for _, _, _, text in words if text.startswith("w")]
    if long_words != ["w%d" % n for n in range(1, 61)]:
        fail("the long line lost words: %s" % long_words)
    long_rows = [key for key, ws in visual if any(t.startswith("w") for _, t in ws)]
    if len(long_rows) < 2:
        fail("the long line did not wrap")

    # The line pitch on the first page, from L003 on (plain one-line lines).
    tops = {ws[0][1]: key for key, ws in numbered}
    pitch = tops["L004"][1] - tops["L003"][1]
    gap = tops["L002"][1] - tops["L001"][1]
    if abs(gap - 2 * pitch) > 0.6:
        fail("the empty line is not one line high: gap %.2f, pitch %.2f" % (gap, pitch))

    # Page breaks: each full page holds lines_per_page visual lines; the empty line on the
    # first is one of them, printed as a blank (no word).
    per_page = {page: sum(1 for (p, _) in rows if p == page) for page in pages}
    per_page[pages[0]] += 1
    print("pages %d, visual lines per page %s, expected %d per full page, pitch %.2f pt"
          % (len(pages), [per_page[p] for p in pages], lines_per_page, pitch))
    if len(pages) != 3:
        fail("expected 3 pages, got %d" % len(pages))
    for page in pages[:-1]:
        if per_page[page] != lines_per_page:
            fail("page %d holds %d lines, not %d" % (page, per_page[page], lines_per_page))

    # Margins: 20 mm left, 10 mm top on each page.
    mm = 72 / 25.4
    for page in pages:
        first_top = min(top for (p, top) in rows if p == page)
        left = min(left for p, _, left, _ in words if p == page)
        if abs(left - 20 * mm) > 1.5:
            fail("page %d: left margin %.1f mm" % (page, left / mm))
        if not (8 * mm <= first_top <= 14 * mm):
            fail("page %d: first line at %.1f mm" % (page, first_top / mm))
    print("check_printed_report: ok")


main()
