"""Reads a workbook with xlrd (an independent BIFF8 reader) and prints what it saw as JSON."""
import json
import sys

import xlrd


def border(b):
    return {
        "left": [b.left_line_style, b.left_colour_index],
        "right": [b.right_line_style, b.right_colour_index],
        "top": [b.top_line_style, b.top_colour_index],
        "bottom": [b.bottom_line_style, b.bottom_colour_index],
    }


def main(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    out = {
        "sheets": book.sheet_names(),
        "datemode": book.datemode,
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
    for sheet in book.sheets():
        cells = {}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                cells[xlrd.cellname(r, c)] = {"type": cell.ctype, "value": cell.value, "xf": cell.xf_index}
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
        })
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
