#!/usr/bin/python3
"""LibreOffice, headless over UNO, as a formula oracle for the template corpus.

    /usr/bin/python3 libreoffice_oracle.py serve

starts one soffice with a private profile, prints "ready", then reads workbook paths from standard input,
one a line. For each it loads the file, recalculates everything (calculateAll) and prints one JSON line:
an object from "Sheet!A1" to the formula's result, ["n", number], ["s", text] or ["e", error text], or
{"failed": reason}. An empty line or the end of input stops it and soffice with it.

LibreOffice names some errors by its own numbers (Err:502 "invalid argument"). They are given as the
spreadsheet error each stands for: 503 and 523 (no convergence) are #NUM!; 502 is either #NUM! or
#VALUE!, depending on the function, and comes as "#NUM!|#VALUE!".

make_templates.py uses start_office() and new_document() to build the LibreOffice templates.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue

FORMULA_CELLS = 16  # com.sun.star.sheet.CellFlags.FORMULA
VALUE, TEXT, ERROR = 1, 2, 4  # com.sun.star.sheet.FormulaResult
ERRORS = {
    501: "#VALUE!", 502: "#NUM!|#VALUE!", 503: "#NUM!", 504: "#VALUE!", 511: "#VALUE!", 519: "#VALUE!",
    522: "#VALUE!", 523: "#NUM!", 524: "#REF!", 525: "#NAME?", 532: "#DIV/0!", 533: "#NULL!", 32767: "#N/A",
}


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


class Office:
    """One soffice process with its own profile, reached over a named pipe."""

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="qb-office-")
        pipe = "qb_oracle_%d" % os.getpid()
        self.process = subprocess.Popen(
            ["soffice", "--headless", "--invisible", "--nologo", "--norestore", "--nodefault",
             "-env:UserInstallation=file://" + self.profile, "--accept=pipe,name=%s;urp;" % pipe],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            env=dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8"))
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.time() + 120
        while True:
            try:
                context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except Exception:
                if time.time() > deadline or self.process.poll() is not None:
                    raise RuntimeError("soffice did not start")
                time.sleep(0.1)
        self.desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)

    def load(self, path):
        return self.desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(path)), "_blank", 0,
                                                 (prop("Hidden", True),))

    def new_document(self):
        return self.desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))

    def close(self):
        try:
            self.desktop.terminate()
        except Exception:
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)


def start_office():
    return Office()


def formula_results(document):
    document.calculateAll()
    results = {}
    sheets = document.Sheets
    for s in range(sheets.Count):
        sheet = sheets.getByIndex(s)
        # Whole ranges at once: a call over UNO per cell would take seconds.
        for kind, flag in (("n", VALUE), ("s", TEXT), ("e", ERROR)):
            for address in sheet.queryFormulaCells(flag).RangeAddresses:
                block = sheet.getCellRangeByPosition(address.StartColumn, address.StartRow, address.EndColumn,
                                                     address.EndRow)
                data = block.getDataArray() if kind != "e" else None
                for row in range(address.StartRow, address.EndRow + 1):
                    for column in range(address.StartColumn, address.EndColumn + 1):
                        key = "%s!%s%d" % (sheet.Name, column_name(column), row + 1)
                        if kind == "e":
                            cell = sheet.getCellByPosition(column, row)
                            results[key] = ["e", ERRORS.get(cell.getError(), cell.getString())]
                        else:
                            value = data[row - address.StartRow][column - address.StartColumn]
                            results[key] = [kind, value if kind == "s" else float(value)]
    return results


def column_name(column):
    name = ""
    column += 1
    while column:
        column, rest = divmod(column - 1, 26)
        name = chr(65 + rest) + name
    return name


def serve():
    office = start_office()
    try:
        print("ready", flush=True)
        for line in sys.stdin:
            path = line.strip()
            if not path:
                break
            try:
                document = office.load(path)
                if document is None:
                    raise RuntimeError("LibreOffice could not open " + path)
                try:
                    answer = formula_results(document)
                finally:
                    document.close(True)
            except Exception as error:  # reported to the test, which fails on it
                answer = {"failed": str(error)}
            print(json.dumps(answer), flush=True)
    finally:
        office.close()


if __name__ == "__main__":
    if sys.argv[1:] != ["serve"]:
        sys.exit(__doc__)
    serve()
