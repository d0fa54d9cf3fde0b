"""Prints each sheet's cursor and selections from a workbook that gnumeric saved in its own format."""
import gzip
import json
import sys
import xml.etree.ElementTree as ET

NS = {"gnm": "http://www.gnumeric.org/v10.dtd"}


def main(path):
    with gzip.open(path) as f:
        root = ET.parse(f).getroot()
    sheets = []
    for sheet in root.findall("gnm:Sheets/gnm:Sheet", NS):
        sel = sheet.find("gnm:Selections", NS)
        view = {"name": sheet.findtext("gnm:Name", namespaces=NS)}
        if sel is not None:
            view["cursor"] = [int(sel.get("CursorRow")), int(sel.get("CursorCol"))]
            view["ranges"] = [
                [int(s.get(k)) for k in ("startRow", "startCol", "endRow", "endCol")]
                for s in sel.findall("gnm:Selection", NS)
            ]
        sheets.append(view)
    json.dump({"sheets": sheets}, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
