"""Reads an .xls workbook with xlrd and prints what it holds, one line each:

  LOG <text>                      anything xlrd reported while reading
  SHEET <name> <rows> <cols> <selected> <active>
  ROW <cell> <cell> ...           one per row of the sheet before it

Fields are separated by tabs. A cell is "T:" and its text, "N:" and its
number (repr), or "E:" for an empty cell. Backslash, tab, CR and LF inside
texts are written as \\\\, \\t, \\r and \\n.
"""
import io
import sys

import xlrd


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\r", "\\r").replace("\n", "\\n"))


def cell_text(cell):
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return "T:" + escape(cell.value)
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return "N:" + repr(cell.value)
    if cell.ctype == xlrd.XL_CELL_EMPTY:
        return "E:"
    return "?%d:%s" % (cell.ctype, escape(str(cell.value)))


def main():
    out = io.TextIOWrapper(sys.stdout.buffer, encoding="utf-8", newline="\n")
    log = io.StringIO()
    book = xlrd.open_workbook(sys.argv[1], logfile=log)
    for sheet in book.sheets():
        out.write("SHEET\t%s\t%d\t%d\t%d\t%d\n" % (
            escape(sheet.name), sheet.nrows, sheet.ncols,
            sheet.sheet_selected, sheet.sheet_visible))
        for r in range(sheet.nrows):
            out.write("ROW\t" + "\t".join(cell_text(c) for c in sheet.row(r)) + "\n")
    for line in log.getvalue().splitlines():
        out.write("LOG\t" + escape(line) + "\n")
    out.flush()


if __name__ == "__main__":
    main()
