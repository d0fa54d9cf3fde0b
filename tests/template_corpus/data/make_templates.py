#!/usr/bin/python3
"""Recipe of the templates of the corpus (templates/<name>.txt -> <name>.xls).

Each template is a statement workbook as other programs make one: the statement sheet (its amounts in
B6:B16 and B20:B25, totals in B17, B26 and B28) and the sheets its text file describes. The text file names
the program that makes it ("@maker libreoffice" or "@maker gnumeric"), the sheets ("@sheet Name") and their
cells, one a line: CELL, a tab, then a number, 'text, TRUE/FALSE, #ERROR or =formula (English function
names, commas between arguments). "@rows FIRST LAST" ... "@end" repeats the lines between for each row,
with {r} standing for the row number and {p} for r - FIRST + 1. An array formula is a range (or one cell)
and the formula in braces: "D2:E4", a tab, "{=TRANSPOSE(A2:C3)}".

LibreOffice makes its templates over UNO (the formulas typed as a person types them) and saves them as
"MS Excel 97"; gnumeric gets them as its own XML and saves them with ssconvert. The formulas in the .xls
files are those programs' tokens, not ours:

    cd tests/template_corpus/data && /usr/bin/python3 make_templates.py [name ...]
"""
import glob
import os
import re
import subprocess
import sys
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
STATEMENT = "Personal Finance Statement"
STATEMENT_CELLS = [
    ("A1", "'PERSONAL FINANCIAL STATEMENT"), ("A5", "'Assets"),
    ("A6", "'Cash - checking accounts"), ("A7", "'Cash - savings accounts"), ("A8", "'Certificates of deposit"),
    ("A9", "'Securities - stocks / bonds / mutual funds"), ("A10", "'Notes & contracts receivable"),
    ("A11", "'Life insurance (cash surrender value)"), ("A12", "'Personal property (autos, jewelry, etc.)"),
    ("A13", "'Retirement Funds (eg. IRAs, 401k)"), ("A14", "'Real estate (market value)"),
    ("A15", "'Other assets (specify)"), ("A16", "'Other assets (specify)"), ("A17", "'Total Assets"),
    ("B17", "=SUM(B6:B16)"), ("A19", "'Liabilities"), ("A20", "'Current Debt (Credit cards, Accounts)"),
    ("A21", "'Notes payable (describe below)"), ("A22", "'Taxes payable"),
    ("A23", "'Real estate mortgages (describe)"), ("A24", "'Other liabilities (specify)"),
    ("A25", "'Other liabilities (specify)"), ("A26", "'Total Liabilities"), ("B26", "=SUM(B20:B25)"),
    ("A28", "'Net Worth"), ("B28", "=(B17-B26)"),
] + [("B%d" % row, "0") for row in list(range(6, 17)) + list(range(20, 26))]


def cell_position(name):
    letters = "".join(c for c in name if c.isalpha()).upper()
    digits = "".join(c for c in name if c.isdigit())
    column = 0
    for c in letters:
        column = column * 26 + (ord(c) - 64)
    return int(digits) - 1, column - 1


def read_template(path):
    """The maker and the sheets, each a list of (cell, value)."""
    maker = None
    sheets = {STATEMENT: list(STATEMENT_CELLS)}
    current = STATEMENT
    block = None
    with open(path, encoding="utf-8") as f:
        lines = [line.rstrip("\n") for line in f]
    for line in lines:
        if not line or line.startswith("#"):
            continue
        if line.startswith("@maker "):
            maker = line.split()[1]
        elif line.startswith("@sheet "):
            current = line[7:]
            sheets.setdefault(current, [])
        elif line.startswith("@rows "):
            first, last = (int(x) for x in line.split()[1:3])
            block = (first, last, [])
        elif line == "@end":
            first, last, body = block
            for row in range(first, last + 1):
                for entry in body:
                    text = (entry.replace("{r}", str(row)).replace("{r-1}", str(row - 1))
                            .replace("{p}", str(row - first + 1)))
                    cell, value = text.split("\t", 1)
                    sheets[current].append((cell, value))
            block = None
        elif block is not None:
            block[2].append(line)
        else:
            cell, value = line.split("\t", 1)
            sheets[current].append((cell, value))
    if maker not in ("libreoffice", "gnumeric"):
        raise SystemExit("%s: no @maker libreoffice or gnumeric" % path)
    return maker, sheets


def array_range(cell):
    """The first cell and the size of "D2:E4" (or of one cell)."""
    first, _, last = cell.partition(":")
    row, col = cell_position(first)
    last_row, last_col = cell_position(last) if last else (row, col)
    return row, col, last_row - row + 1, last_col - col + 1


def gnumeric_cell(cell, value):
    if value.startswith("{="):
        row, col, rows, cols = array_range(cell)
        return '<gnm:Cell Row="%d" Col="%d" Rows="%d" Cols="%d">%s</gnm:Cell>' % (
            row, col, rows, cols, escape(value[1:-1]))
    row, col = cell_position(cell)
    position = 'Row="%d" Col="%d"' % (row, col)
    if value.startswith("="):
        return "<gnm:Cell %s>%s</gnm:Cell>" % (position, escape(value))
    if value.startswith("'"):
        return '<gnm:Cell %s ValueType="60">%s</gnm:Cell>' % (position, escape(value[1:]))
    if value in ("TRUE", "FALSE"):
        return '<gnm:Cell %s ValueType="20">%s</gnm:Cell>' % (position, value)
    if value.startswith("#"):
        return '<gnm:Cell %s ValueType="50">%s</gnm:Cell>' % (position, escape(value))
    return '<gnm:Cell %s ValueType="40">%s</gnm:Cell>' % (position, value)


def make_with_gnumeric(sheets, xls_path):
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd">', "<gnm:SheetNameIndex>"]
    out += ["<gnm:SheetName>%s</gnm:SheetName>" % escape(s) for s in sheets]
    out.append("</gnm:SheetNameIndex><gnm:Sheets>")
    for sheet, cells in sheets.items():
        out.append("<gnm:Sheet><gnm:Name>%s</gnm:Name><gnm:Cells>" % escape(sheet))
        out += [gnumeric_cell(cell, value) for cell, value in cells]
        out.append("</gnm:Cells></gnm:Sheet>")
    out.append("</gnm:Sheets></gnm:Workbook>")
    xml_path = xls_path[:-4] + ".gnumeric.xml"
    with open(xml_path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    try:
        result = subprocess.run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", xml_path, xls_path],
                                env=dict(os.environ, LC_ALL="C.UTF-8"), capture_output=True, text=True)
    finally:
        os.remove(xml_path)
    if result.returncode != 0:
        raise SystemExit(result.stderr)
    for warning in result.stderr.splitlines():
        print("  gnumeric:", warning)


SHEET_PREFIX = re.compile(r"('(?:[^']|'')+'|[A-Za-z_][A-Za-z0-9_.]*)!")


def calc_syntax(formula):
    """Sheet!A1 and 'My sheet'!A1 as LibreOffice's own syntax writes them ($Sheet.A1), outside texts."""
    parts = formula.split('"')
    for i in range(0, len(parts), 2):
        parts[i] = SHEET_PREFIX.sub(lambda m: "$" + m.group(1) + ".", parts[i])
    return '"'.join(parts)


def api_syntax(formula):
    """A formula as LibreOffice's API reads it (setArrayFormula has no local form): sheet references as
    calc_syntax writes them, ";" between arguments, and in array constants ";" between columns and "|"
    between rows."""
    parts = calc_syntax(formula).split('"')
    for i in range(0, len(parts), 2):
        out, depth = [], 0
        for c in parts[i]:
            if c == "{":
                depth += 1
            elif c == "}":
                depth -= 1
            elif c == ";" and depth:
                c = "|"
            elif c == ",":
                c = ";"
            out.append(c)
        parts[i] = "".join(out)
    return '"'.join(parts)


def make_with_libreoffice(office, sheets, xls_path):
    import libreoffice_oracle as lo
    document = office.new_document()
    try:
        names = list(sheets)
        book = document.Sheets
        book.getByIndex(0).Name = names[0]
        for i, name in enumerate(names[1:], start=1):
            book.insertNewByName(name, i)
        while book.Count > len(names):
            book.removeByName(book.getByIndex(book.Count - 1).Name)
        for name, cells in sheets.items():
            sheet = book.getByName(name)
            for cell, value in cells:
                if value.startswith("{="):
                    sheet.getCellRangeByName(cell).setArrayFormula(api_syntax(value[1:-1]))
                    continue
                row, col = cell_position(cell)
                target = sheet.getCellByPosition(col, row)
                if value.startswith("="):
                    target.FormulaLocal = calc_syntax(value)
                elif value.startswith("'"):
                    target.setString(value[1:])
                elif value in ("TRUE", "FALSE"):
                    target.FormulaLocal = "=" + value
                elif value.startswith("#"):
                    target.FormulaLocal = "=" + value
                else:
                    target.setValue(float(value))
        document.calculateAll()
        # A formula LibreOffice could not read is kept with a syntax error (Err:501, Err:507 to Err:512):
        # the recipe is wrong. An unknown function (#NAME?) is worth a look.
        for name, cells in sheets.items():
            sheet = book.getByName(name)
            for cell, value in cells:
                row, col = cell_position(cell.partition(":")[0])
                error = sheet.getCellByPosition(col, row).getError() if value.startswith(("=", "{=")) else 0
                if error == 501 or 507 <= error <= 512:
                    raise SystemExit("LibreOffice cannot read %s!%s %s (Err:%d)" % (name, cell, value, error))
                if error == 525:
                    print("  libreoffice: #NAME? in %s!%s %s" % (name, cell, value))
        document.storeToURL(lo.uno.systemPathToFileUrl(xls_path), (lo.prop("FilterName", "MS Excel 97"),))
    finally:
        document.close(True)


def main(wanted):
    sys.path.insert(0, HERE)
    paths = sorted(glob.glob(os.path.join(HERE, "templates", "*.txt")))
    office = None
    try:
        for path in paths:
            name = os.path.basename(path)[:-4]
            if wanted and name not in wanted:
                continue
            maker, sheets = read_template(path)
            xls_path = os.path.join(HERE, name + ".xls")
            if maker == "gnumeric":
                make_with_gnumeric(sheets, xls_path)
            else:
                if office is None:
                    import libreoffice_oracle
                    office = libreoffice_oracle.start_office()
                make_with_libreoffice(office, sheets, xls_path)
            print("wrote %s.xls (%s)" % (name, maker))
    finally:
        if office is not None:
            office.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
