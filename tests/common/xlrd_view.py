"""What xlrd, a BIFF8 reader independent of ours, sees in a workbook, printed as JSON.

Besides xlrd's own view it walks the workbook stream's records (through xlrd's compound-file
reader) for what xlrd does not expose: each sheet's selection and active cell, and whether the
workbook carries the template marker.
"""
import json
import struct
import sys

import xlrd
from xlrd import compdoc

SELECTION = 0x001D
TEMPLATE = 0x0060
BOF = 0x0809
EOF = 0x000A


def border(b):
    return {
        "left": [b.left_line_style, b.left_colour_index],
        "right": [b.right_line_style, b.right_colour_index],
        "top": [b.top_line_style, b.top_colour_index],
        "bottom": [b.bottom_line_style, b.bottom_colour_index],
    }


def cell_view(book, cell):
    view = {"type": cell.ctype, "value": cell.value, "xf": cell.xf_index}
    if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
        fmt = book.format_map.get(book.xf_list[cell.xf_index].format_key)
        view["is_date"] = fmt is not None and fmt.type == xlrd.formatting.FDT
        if view["is_date"]:
            view["date"] = list(xlrd.xldate_as_tuple(cell.value, book.datemode)[:3])
    return view


def records(stream):
    pos = 0
    while pos + 4 <= len(stream):
        rtype, length = struct.unpack_from("<HH", stream, pos)
        yield rtype, stream[pos + 4:pos + 4 + length]
        pos += 4 + length


def raw_view(path):
    """Selections per sheet (in sheet order) and the template marker, read record by record."""
    with open(path, "rb") as f:
        data = f.read()
    doc = compdoc.CompDoc(data, logfile=open("/dev/null", "w"))
    mem, base, size = doc.locate_named_stream("Workbook")
    stream = mem[base:base + size]
    template = False
    selections = []
    depth = 0
    current = None
    for rtype, body in records(stream):
        if rtype == BOF:
            depth += 1
            if depth == 1 and len(selections) == 0 and current is None:
                current = "globals"
            elif depth == 1:
                selections.append([])
                current = selections[-1]
        elif rtype == EOF:
            depth -= 1
        elif rtype == TEMPLATE and current == "globals":
            template = True
        elif rtype == SELECTION and isinstance(current, list) and len(body) >= 9:
            pane, row, col, ref, count = struct.unpack_from("<BHHHH", body, 0)
            refs = [list(struct.unpack_from("<HHBB", body, 9 + 6 * i)) for i in range(count)
                    if 9 + 6 * i + 6 <= len(body)]
            current.append({"pane": pane, "row": row, "col": col, "ref": ref, "refs": refs})
    return template, selections


def main(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    template, selections = raw_view(path)
    out = {
        "sheets": book.sheet_names(),
        "datemode": book.datemode,
        "template_marker": template,
        "fonts": [
            {"name": f.name, "height": f.height, "weight": f.weight, "bold": f.bold, "italic": f.italic}
            for f in book.font_list
        ],
        "formats": {str(k): v.format_str for k, v in book.format_map.items()},
        "palette": {str(k): list(v) for k, v in book.colour_map.items() if v is not None},
        "xfs": [
            {
                "font": xf.font_index,
                "format": xf.format_key,
                "halign": xf.alignment.hor_align,
                "valign": xf.alignment.vert_align,
                "wrap": xf.alignment.text_wrapped,
                "border": border(xf.border),
                "fill": [xf.background.fill_pattern, xf.background.pattern_colour_index],
                "locked": xf.protection.cell_locked,
            }
            for xf in book.xf_list
        ],
        "sheet": [],
    }
    for index, sheet in enumerate(book.sheets()):
        cells = {}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_EMPTY:
                    cells[xlrd.cellname(r, c)] = cell_view(book, cell)
        out["sheet"].append({
            "name": sheet.name,
            "nrows": sheet.nrows,
            "ncols": sheet.ncols,
            "cells": cells,
            "merged": [list(m) for m in sheet.merged_cells],
            "colwidths": {str(k): [v.width, v.xf_index] for k, v in sheet.colinfo_map.items()},
            "defcolwidth": sheet.defcolwidth,
            "rowheights": {str(k): [v.height, v.has_default_height] for k, v in sheet.rowinfo_map.items()},
            "gridlines": sheet.show_grid_lines,
            "headings": sheet.show_sheet_headers,
            "zeros": sheet.show_zero_values,
            "first_visible_row": sheet.first_visible_rowx,
            "page_break_zoom": sheet.cooked_page_break_preview_mag_factor,
            "normal_zoom": sheet.cooked_normal_view_mag_factor,
            "selected": sheet.sheet_selected,
            "selection": selections[index] if index < len(selections) else [],
        })
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
