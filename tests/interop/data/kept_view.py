"""What xlrd and gnumeric see, in a workbook, of the parts the engine keeps without modelling them.

    kept_view.py xlrd WORKBOOK       names, comments, hyperlinks, panes, values and cell protection
    kept_view.py gnumeric WORKBOOK   gnumeric's own view of the same (through ssconvert), and protection

Both print JSON; two workbooks that hold the same print the same.
"""
import gzip
import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import xlrd

NS = {"gnm": "http://www.gnumeric.org/v10.dtd"}


def xlrd_view(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    out = {"sheets": [], "names": []}
    for name in book.name_obj_list:
        out["names"].append({"name": name.name, "scope": name.scope, "builtin": name.builtin,
                             "hidden": name.hidden, "tokens": name.raw_formula.hex()})
    for sheet in book.sheets():
        cells = {}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_EMPTY:
                    xf = book.xf_list[cell.xf_index]
                    cells[xlrd.cellname(r, c)] = [cell.ctype, cell.value, xf.protection.cell_locked]
        out["sheets"].append({
            "name": sheet.name,
            "visibility": sheet.visibility,
            "cells": cells,
            "comments": {xlrd.cellname(r, c): [n.text, n.author] for (r, c), n in sheet.cell_note_map.items()},
            "hyperlinks": [[h.frowx, h.lrowx, h.fcolx, h.lcolx, h.url_or_path, h.quicktip]
                           for h in sheet.hyperlink_list],
            "frozen": [sheet.panes_are_frozen, sheet.horz_split_pos, sheet.vert_split_pos],
        })
    return out


def text_of(element):
    return element.text if element is not None else None


def regions(sheet, child):
    found = []
    for region in sheet.findall("gnm:Styles/gnm:StyleRegion", NS):
        bounds = [region.get(k) for k in ("startCol", "startRow", "endCol", "endRow")]
        for style in region.findall("gnm:Style", NS):
            if child == "Locked":
                if style.get("Locked") == "0":
                    found.append(bounds)
                continue
            for item in style.findall("gnm:" + child, NS):
                found.append([bounds, dict(item.attrib), [text_of(e) for e in item.iter() if e is not item]])
    return found


def gnumeric_view(path):
    with tempfile.TemporaryDirectory() as scratch:
        target = os.path.join(scratch, "view.gnumeric")
        env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
        subprocess.run(["ssconvert", path, target], check=True, capture_output=True, env=env)
        with gzip.open(target) as f:
            root = ET.parse(f).getroot()
    out = {"attributes": {}, "names": {}, "sheets": []}
    for attribute in root.findall("gnm:Attributes/gnm:Attribute", NS):
        out["attributes"][text_of(attribute.find("gnm:name", NS))] = text_of(attribute.find("gnm:value", NS))
    for name in root.findall("gnm:Names/gnm:Name", NS):
        out["names"][text_of(name.find("gnm:name", NS))] = text_of(name.find("gnm:value", NS))
    for sheet in root.findall("gnm:Sheets/gnm:Sheet", NS):
        layout = sheet.find("gnm:SheetLayout/gnm:FreezePanes", NS)
        out["sheets"].append({
            "name": text_of(sheet.find("gnm:Name", NS)),
            "protected": sheet.get("Protected"),
            "visibility": sheet.get("Visibility"),
            "names": {text_of(n.find("gnm:name", NS)): text_of(n.find("gnm:value", NS))
                      for n in sheet.findall("gnm:Names/gnm:Name", NS)},
            "cells": [[c.get("Row"), c.get("Col"), c.get("ValueType"), c.text]
                      for c in sheet.findall("gnm:Cells/gnm:Cell", NS)],
            "comments": [[c.get("ObjectBound"), c.get("Author"), c.get("Text")]
                         for c in sheet.findall("gnm:Objects/gnm:CellComment", NS)],
            "validations": regions(sheet, "Validation"),
            "conditions": regions(sheet, "Condition"),
            "hyperlinks": regions(sheet, "HyperLink"),
            "unlocked": regions(sheet, "Locked"),
            "frozen": dict(layout.attrib) if layout is not None else None,
        })
    return out


if __name__ == "__main__":
    view = xlrd_view if sys.argv[1] == "xlrd" else gnumeric_view
    json.dump(view(sys.argv[2]), sys.stdout, indent=1, sort_keys=True)
