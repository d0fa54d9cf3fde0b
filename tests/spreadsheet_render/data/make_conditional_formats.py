"""Writes the conditional-format templates of the drawing tests, each by another spreadsheet program:

  conditional_formats_libreoffice.xls  LibreOffice Calc (through python3-uno), saved as "MS Excel 97"
  conditional_formats_gnumeric.xls     gnumeric: the recipe conditional_formats.gnumeric, converted by
                                       ssconvert -T Gnumeric_Excel:excel_biff8

Both are small net-worth statements whose net worth is negative, with cell-value rules (less than,
between, greater than a cell, greater or equal), formula rules, two rules on one cell that both hold,
fills, font colours, bold, italic and a border. The values each rule colours, and those it leaves
plain, are listed in tst_conditional_formats.cpp.

    /usr/bin/python3 make_conditional_formats.py [folder]
"""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.table import BorderLine2

HERE = os.path.dirname(os.path.abspath(__file__))


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


@contextlib.contextmanager
def office():
    """A headless LibreOffice of its own profile, ended however the script ends."""
    profile = tempfile.mkdtemp(prefix="qb-cf-profile-")
    port = 2300 + os.getpid() % 500
    binary = "/usr/lib/libreoffice/program/soffice.bin"
    arguments = [binary, "--headless", "--norestore", "--invisible", "-env:UserInstallation=file://" + profile,
                 "--accept=socket,host=localhost,port=%d;urp;" % port]
    process = subprocess.Popen(arguments, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        context = None
        for _ in range(1200):
            # A new profile makes the first start end with 81, asking to be started again.
            if process.poll() == 81:
                process = subprocess.Popen(arguments, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                context = resolver.resolve("uno:socket,host=localhost,port=%d;urp;StarOffice.ComponentContext" % port)
                break
            except Exception:
                time.sleep(0.1)
        if context is None:
            raise SystemExit("LibreOffice did not start")
        yield context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
    finally:
        process.kill()
        process.wait()
        shutil.rmtree(profile, ignore_errors=True)


# Rows of the statement: (label, amount); None for an empty row; "=..." for a formula.
STATEMENT = [
    ("Personal statement", None),
    (None, None),
    ("Assets", None),
    ("Cash", 2500),            # row 4: between 1000 and 5000 (green)
    ("Car", 800),              # row 5: plain
    ("Savings", 4000),         # row 6: green
    ("Home", 12000),           # row 7: plain
    ("Shares", 1000),          # row 8: green (the bound is inside)
    ("Total assets", "=SUM(B4:B8)"),   # row 9: 20300, at least 0 (blue, double bottom border)
    (None, None),
    ("Liabilities", None),
    ("Mortgage", 15000),       # row 12: above the threshold in B20 (yellow, italic)
    ("Car loan", 9000),        # row 13: plain
    ("Card", 9500),            # row 14: plain
    ("Tax", 2750),             # row 15: plain
    ("Total liabilities", "=SUM(B12:B15)"),  # row 16: 36250; two rules hold, the first wins (orange)
    (None, None),
    ("Net worth", "=B9-B16"),  # row 18: -15950 (red fill, dark red bold text); A18 red by formula
    (None, None),
    ("Threshold", 10000),      # row 20
]


def make_libreoffice(desktop, path):
    from com.sun.star.sheet.ConditionOperator import BETWEEN, FORMULA, GREATER, GREATER_EQUAL, LESS

    doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    sheet = doc.Sheets.getByIndex(0)
    sheet.Name = "Statement"
    for row, (label, amount) in enumerate(STATEMENT, start=1):
        if label:
            sheet.getCellByPosition(0, row - 1).String = label
        if isinstance(amount, str):
            sheet.getCellByPosition(1, row - 1).Formula = amount
        elif amount is not None:
            sheet.getCellByPosition(1, row - 1).Value = amount
    number_format = doc.NumberFormats.queryKey("#,##0.00", doc.CharLocale, False)
    if number_format == -1:
        number_format = doc.NumberFormats.addNew("#,##0.00", doc.CharLocale)
    sheet.getCellRangeByName("B4:B20").NumberFormat = number_format
    sheet.Columns.getByIndex(0).Width = 4500  # 1/100 mm
    sheet.Columns.getByIndex(1).Width = 4500

    styles = doc.StyleFamilies.getByName("CellStyles")

    def style(name, back=None, color=None, bold=False, italic=False, bottom=None):
        s = doc.createInstance("com.sun.star.style.CellStyle")
        styles.insertByName(name, s)
        if back is not None:
            s.CellBackColor = back
        if color is not None:
            s.CharColor = color
        if bold:
            s.CharWeight = 150.0
        if italic:
            from com.sun.star.awt.FontSlant import ITALIC
            s.CharPosture = ITALIC
        if bottom is not None:
            s.BottomBorder = bottom
        return name

    double = BorderLine2()
    double.OuterLineWidth = 35
    double.InnerLineWidth = 35
    double.LineDistance = 35
    double.LineStyle = 3  # DOUBLE
    double.Color = 0x000080

    negative = style("Negative", back=0xFF8080, color=0x800000, bold=True)
    middling = style("Middling", back=0xCCFFCC)
    heavy = style("Heavy", back=0xFFFF99, italic=True)
    positive = style("Positive", back=0x99CCFF, bottom=double)
    first = style("First", back=0xFFCC99)
    second = style("Second", back=0xCC99FF)

    def conditions(address, *entries):
        cells = sheet.getCellRangeByName(address)
        rules = cells.ConditionalFormat
        for entry in entries:
            rules.addNew(tuple(prop(k, v) for k, v in entry))
        cells.ConditionalFormat = rules

    conditions("B18", [("Operator", LESS), ("Formula1", "0"), ("StyleName", negative)])
    conditions("B4:B8", [("Operator", BETWEEN), ("Formula1", "1000"), ("Formula2", "5000"),
                         ("StyleName", middling)])
    conditions("B12:B15", [("Operator", GREATER), ("Formula1", "$B$20"), ("StyleName", heavy)])
    conditions("A18", [("Operator", FORMULA), ("Formula1", "$B$18<0"), ("StyleName", negative)])
    conditions("B9", [("Operator", GREATER_EQUAL), ("Formula1", "0"), ("StyleName", positive)])
    conditions("B16", [("Operator", GREATER), ("Formula1", "0"), ("StyleName", first)],
               [("Operator", GREATER), ("Formula1", "10"), ("StyleName", second)])
    doc.storeToURL(uno.systemPathToFileUrl(os.path.abspath(path)), (prop("FilterName", "MS Excel 97"),))
    doc.close(True)


def make_gnumeric(path):
    recipe = os.path.join(HERE, "conditional_formats.gnumeric")
    subprocess.run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", recipe, path], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(folder, exist_ok=True)
    with office() as desktop:
        make_libreoffice(desktop, os.path.join(folder, "conditional_formats_libreoffice.xls"))
    make_gnumeric(os.path.join(folder, "conditional_formats_gnumeric.xls"))


if __name__ == "__main__":
    main()
