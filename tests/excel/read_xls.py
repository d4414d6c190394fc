"""Prints what xlrd reads from an .xls workbook, tab-separated: per sheet a line
"SHEET name rows columns selected active", then one line per row of cells
("T:" text, "N:" number as repr, "E:" empty), then "LOG" and each line xlrd
reported. Backslash, tab, CR and LF inside texts are written as escapes."""
import io
import sys

import xlrd

ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\r": "\\r", "\n": "\\n"})
KINDS = {xlrd.XL_CELL_TEXT: "T:", xlrd.XL_CELL_NUMBER: "N:", xlrd.XL_CELL_EMPTY: "E:"}


def cell_text(cell):
    kind = KINDS.get(cell.ctype, "?%d:" % cell.ctype)
    value = repr(cell.value) if cell.ctype == xlrd.XL_CELL_NUMBER else str(cell.value)
    return kind + value.translate(ESCAPES)


log = io.StringIO()
book = xlrd.open_workbook(sys.argv[1], logfile=log)
lines = []
for sheet in book.sheets():
    lines.append("SHEET\t%s\t%d\t%d\t%d\t%d" % (sheet.name.translate(ESCAPES), sheet.nrows,
                                              sheet.ncols, sheet.sheet_selected,
                                              sheet.sheet_visible))
    lines += ["\t".join(map(cell_text, sheet.row(r))) for r in range(sheet.nrows)]
lines += ["LOG\t" + line.translate(ESCAPES) for line in log.getvalue().splitlines()]
sys.stdout.buffer.write("".join(line + "\n" for line in lines).encode("utf-8"))
