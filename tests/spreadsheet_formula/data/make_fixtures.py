#!/usr/bin/python3
"""Recipe of the gnumeric-written templates in this folder.

For every corpus area (corpus/<area>.txt) it lays out the statement template (corpus/template.txt), puts
the area's formulas into column D from row 1, writes that as gnumeric XML (<area>.gnumeric.xml) and has
gnumeric save it as an Excel 97-2003 workbook (<area>.xls):

    cd tests/spreadsheet_formula/data && /usr/bin/python3 make_fixtures.py

The formulas in those workbooks are tokens that gnumeric wrote, not our compiler.
"""
import os
import subprocess
import sys
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
MAIN_SHEET = "Personal Finance Statement"
AREAS = ["maths", "statistics", "logic", "lookup", "text", "dates", "finance", "edges", "names"]


def cell_position(name):
    letters = "".join(c for c in name if c.isalpha()).upper()
    digits = "".join(c for c in name if c.isdigit())
    column = 0
    for c in letters:
        column = column * 26 + (ord(c) - 64)
    return int(digits) - 1, column - 1


def cell_xml(name, value):
    row, col = cell_position(name)
    if value.startswith("="):
        return '<gnm:Cell Row="%d" Col="%d">%s</gnm:Cell>' % (row, col, escape(value))
    if value.startswith("'"):
        return '<gnm:Cell Row="%d" Col="%d" ValueType="60">%s</gnm:Cell>' % (row, col, escape(value[1:]))
    if value in ("TRUE", "FALSE"):
        return '<gnm:Cell Row="%d" Col="%d" ValueType="20">%s</gnm:Cell>' % (row, col, value)
    if value.startswith("#"):
        return '<gnm:Cell Row="%d" Col="%d" ValueType="50">%s</gnm:Cell>' % (row, col, escape(value))
    return '<gnm:Cell Row="%d" Col="%d" ValueType="40">%s</gnm:Cell>' % (row, col, value)


def lines(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                yield line


def workbook_xml(area):
    sheets = {MAIN_SHEET: []}
    names = []
    for line in lines(os.path.join(CORPUS, "template.txt")):
        cell, value = line.split("\t", 1)
        sheets[MAIN_SHEET].append(cell_xml(cell, value))
    # The amounts the template holds before the statement is written: 0 in every input cell.
    for row in list(range(6, 17)) + list(range(20, 26)):
        sheets[MAIN_SHEET].append(cell_xml("B%d" % row, "0"))
    row = 1
    for line in lines(os.path.join(CORPUS, area + ".txt")):
        if line.startswith("@cell "):
            target, value = line[6:].split("\t", 1)
            sheet, cell = target.split("!")
            sheets.setdefault(sheet, []).append(cell_xml(cell, value))
        elif line.startswith("@name "):
            name, definition = line[6:].split("\t", 1)
            names.append((name, definition[1:]))
        else:
            sheets[MAIN_SHEET].append(cell_xml("D%d" % row, line))
            row += 1
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd">', "<gnm:SheetNameIndex>"]
    out += ["<gnm:SheetName>%s</gnm:SheetName>" % escape(s) for s in sheets]
    out.append("</gnm:SheetNameIndex>")
    if names:
        out.append("<gnm:Names>")
        for name, value in names:
            out.append("<gnm:Name><gnm:name>%s</gnm:name><gnm:value>%s</gnm:value>"
                       "<gnm:position>A1</gnm:position></gnm:Name>" % (escape(name), escape(value)))
        out.append("</gnm:Names>")
    out.append("<gnm:Sheets>")
    for sheet, cells in sheets.items():
        out.append("<gnm:Sheet><gnm:Name>%s</gnm:Name><gnm:Cells>" % escape(sheet))
        out += cells
        out.append("</gnm:Cells></gnm:Sheet>")
    out.append("</gnm:Sheets></gnm:Workbook>")
    return "\n".join(out) + "\n"


def main():
    for area in AREAS:
        xml_path = os.path.join(HERE, area + ".gnumeric.xml")
        with open(xml_path, "w", encoding="utf-8") as f:
            f.write(workbook_xml(area))
        xls_path = os.path.join(HERE, area + ".xls")
        subprocess.run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", xml_path, xls_path], check=True,
                       env=dict(os.environ, LC_ALL="C.UTF-8"), stderr=subprocess.DEVNULL)
        print("wrote", os.path.relpath(xls_path, HERE))
    return 0


if __name__ == "__main__":
    sys.exit(main())
