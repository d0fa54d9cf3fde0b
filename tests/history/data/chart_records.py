"""The chart records of a workbook, read with nothing of Quillberry's: the compound file through xlrd's
reader, the records walked by their framing. Prints JSON: the drawing group, and for each chart embedded
in a worksheet its object type, its series (name, values and categories as cell ranges) and title.
"""
import json
import struct
import sys

from xlrd import compdoc

BOF, EOF, MSODRAWINGGROUP, MSODRAWING, OBJ = 0x0809, 0x000A, 0x00EB, 0x00EC, 0x005D
SERIES, SERIESTEXT, BRAI, TEXT, OBJECTLINK, LINE, AXIS, LEGEND = 0x1003, 0x100D, 0x1051, 0x1025, 0x1027, 0x1018, 0x101D, 0x1015
BEGIN, END = 0x1033, 0x1034


def records(stream):
    pos = 0
    while pos + 4 <= len(stream):
        rtype, length = struct.unpack_from("<HH", stream, pos)
        yield rtype, stream[pos + 4:pos + 4 + length]
        pos += 4 + length


def short_string(body, at):
    count, flags = body[at], body[at + 1]
    if flags & 1:
        return body[at + 2:at + 2 + 2 * count].decode("utf-16-le")
    return body[at + 2:at + 2 + count].decode("latin-1")


def area3d(body):
    # BRAI: id, rt, flags, ifmt, then the formula: cce and tokens.
    cce = struct.unpack_from("<H", body, 6)[0]
    if cce != 11 or body[8] != 0x3B:
        return None
    ixti, r1, r2, c1, c2 = struct.unpack_from("<HHHHH", body, 9)
    return [ixti, r1, r2, c1 & 0x3FFF, c2 & 0x3FFF]


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    doc = compdoc.CompDoc(data, logfile=open("/dev/null", "w"))
    mem, base, size = doc.locate_named_stream("Workbook")
    stream = mem[base:base + size]
    out = {"drawing_group": False, "charts": [], "objects": [], "drawings": 0, "balanced": True}
    stack = []
    chart = None
    series = None
    pending_text = None
    last_text_is_title = False
    for rtype, body in records(stream):
        if rtype == BOF:
            kind = struct.unpack_from("<H", body, 2)[0]
            stack.append(kind)
            if kind == 0x0020:
                chart = {"series": [], "title": None, "line": False, "axes": 0, "legend": False, "depth_ok": True}
                out["charts"].append(chart)
            continue
        if rtype == EOF:
            if not stack:
                out["balanced"] = False
            else:
                stack.pop()
            continue
        top = stack[-1] if stack else None
        if top == 0x0005 and rtype == MSODRAWINGGROUP:
            out["drawing_group"] = True
        elif top == 0x0010 and rtype == MSODRAWING:
            out["drawings"] += 1
        elif top == 0x0010 and rtype == OBJ:
            ft, cb, ot, oid = struct.unpack_from("<HHHH", body, 0)
            out["objects"].append({"ft": ft, "type": ot, "id": oid})
        elif top == 0x0020:
            if rtype == SERIES:
                series = {"name": None, "values": None, "categories": None, "points": struct.unpack_from("<H", body, 6)[0]}
                chart["series"].append(series)
                pending_text = "series"
            elif rtype == TEXT:
                pending_text = "text"
            elif rtype == SERIESTEXT:
                text = short_string(body, 2)
                if pending_text == "series" and series is not None and series["name"] is None:
                    series["name"] = text
                else:
                    chart["title"] = text
            elif rtype == BRAI and series is not None and pending_text == "series":
                which = body[0]
                if which == 1:
                    series["values"] = area3d(body)
                elif which == 2:
                    series["categories"] = area3d(body)
                elif which == 3:
                    pending_text = None
            elif rtype == LINE:
                chart["line"] = True
            elif rtype == AXIS:
                chart["axes"] += 1
            elif rtype == LEGEND:
                chart["legend"] = True
    out["balanced"] = out["balanced"] and not stack
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
