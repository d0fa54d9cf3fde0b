"""Writes kept_records_python.xls: a workbook with what gnumeric's export does not write, record by record
as the BIFF8 documentation lays them out, in a compound file made here too.

It holds a shared formula (SHRFMLA), an array formula (ARRAY), a one-variable data table (TABLE), a
number format 164 whose code is "General" (as LibreOffice writes it), an add-in function (SUPBOOK and
EXTERNNAME), a link to another workbook with its cached value (SUPBOOK, XCT, CRN), 3-D references
(EXTERNSHEET), user and built-in names with sheet scope, workbook protection, sheet protection with
unlocked input cells, a chart sheet and a hidden macro sheet.

    /usr/bin/python3 make_kept_records.py kept_records_python.xls
"""
import struct
import sys


def rec(rid, body=b""):
    return struct.pack("<HH", rid, len(body)) + body


def u16(*values):
    return struct.pack("<%dH" % len(values), *values)


def ustr16(text):  # XLUnicodeString, 8-bit characters
    return struct.pack("<HB", len(text), 0) + text.encode("latin-1")


def ustr8(text):  # ShortXLUnicodeString
    return struct.pack("<BB", len(text), 0) + text.encode("latin-1")


def cell(row, col, xf):
    return u16(row, col, xf)


def number(row, col, value, xf=15):
    return rec(0x0203, cell(row, col, xf) + struct.pack("<d", value))


def label(row, col, index, xf=15):
    return rec(0x00FD, cell(row, col, xf) + struct.pack("<I", index))


def formula(row, col, cached, tokens, xf=15, flags=0):
    return rec(0x0006, cell(row, col, xf) + struct.pack("<dHIH", cached, flags, 0, len(tokens)) + tokens)


def area3d(ixti, r1, r2, c1, c2, code=0x3B):
    return struct.pack("<BHHHHH", code, ixti, r1, r2, c1, c2)


def xf(font, fmt, locked=True, style=False):
    protection = (1 if locked else 0) | (0xFFF4 if style else 0)
    return rec(0x00E0, u16(font, fmt, protection) + bytes([0x20, 0, 0, 0 if style else 0x04]) +
               struct.pack("<IIH", 0, 0, 0x20C0))


def font():
    return rec(0x0031, u16(200, 0, 0x7FFF, 400, 0) + bytes([0, 0, 0, 0]) + ustr8("Arial"))


STRINGS = ["Budget", "Rent", "Food", "Travel", "Total", "Rates", "Input"]


def sst():
    body = struct.pack("<II", len(STRINGS), len(STRINGS))
    for s in STRINGS:
        body += ustr16(s)
    return rec(0x00FC, body)


def window2(selected):
    return rec(0x023E, u16(0x06B6 if selected else 0x00B6, 0, 0, 64, 0, 0, 0, 0, 0))


def budget_sheet():
    body = rec(0x0200, struct.pack("<IIHHH", 0, 6, 0, 8, 0))
    body += label(0, 0, 0)
    for i in range(3):
        body += label(1 + i, 0, 1 + i)
        body += number(1 + i, 1, 100.0 * (i + 1), xf=16)  # unlocked input in format 164 "General"
    body += rec(0x0201, cell(1, 7, 16))  # a blank input cell in format 164
    # C2:C4 = B*2, one shared formula: tRefN row +0, column -1, both relative; tInt 2; multiply.
    shared = bytes([0x4C]) + u16(0, 0xC0FF) + bytes([0x1E]) + u16(2) + bytes([0x05])
    exp_c2 = bytes([0x01]) + u16(1, 2)
    for i in range(3):
        body += formula(1 + i, 2, 200.0 * (i + 1), exp_c2, flags=0x0008)
        if i == 0:
            body += rec(0x04BC, struct.pack("<HHBBBB", 1, 3, 2, 2, 0, 3) + u16(len(shared)) + shared)
    # D2:D3 = {B2:B3*10}, an array formula.
    exp_d2 = bytes([0x01]) + u16(1, 3)
    array_tokens = bytes([0x65]) + u16(1, 2, 0xC001, 0xC001) + bytes([0x1E]) + u16(10) + bytes([0x05])
    body += formula(1, 3, 1000.0, exp_d2)
    body += rec(0x0221, struct.pack("<HHBBHI", 1, 2, 3, 3, 0, 0) + u16(len(array_tokens)) + array_tokens)
    body += formula(2, 3, 2000.0, exp_d2)
    # E2 = MYADDINFN(B2) + Rate: the add-in name (EXTERNNAME 1 of SUPBOOK 1, through EXTERNSHEET 2),
    # the user-defined function call (tFuncVar 255 with the name as first argument), the name Rate.
    addin = (bytes([0x39]) + u16(2, 1, 0) + bytes([0x44]) + u16(1, 0xC001) + bytes([0x42, 2]) + u16(255) +
             bytes([0x43]) + u16(2, 0) + bytes([0x03]))
    body += formula(1, 4, 999.0, addin)
    # A6 = SUM(Data!A1:A3)
    body += label(5, 0, 4)
    body += formula(5, 1, 6.0, area3d(1, 0, 2, 0xC000, 0xC000, 0x3B) + bytes([0x19, 0x10]) + u16(0))
    # G2:G3, a one-variable data table over the input cell H2.
    tbl = bytes([0x02]) + u16(1, 6)
    body += formula(1, 6, 5.0, tbl)
    body += rec(0x0236, struct.pack("<HHBBH", 1, 2, 6, 6, 0x0004) + u16(1, 7, 0, 0))
    body += formula(2, 6, 6.0, tbl)
    body += rec(0x0012, u16(1))  # PROTECT
    body += rec(0x0013, u16(0xCE4B))  # PASSWORD
    body += window2(True)
    return body


def data_sheet():
    body = rec(0x0200, struct.pack("<IIHHH", 0, 400, 0, 1, 0))
    for r in range(400):  # enough for the workbook stream to leave the mini stream
        body += number(r, 0, float(r + 1))
    body += window2(False)
    return body


def chart_sheet():
    body = rec(0x1001, u16(0))  # UNITS
    body += rec(0x1002, struct.pack("<IIII", 0, 0, 0x02000000, 0x01000000))  # CHART
    body += rec(0x1033) + rec(0x1034)  # BEGIN, END
    return body


def macro_sheet():
    # INDEX points at the DEFCOLWIDTH record and has no row blocks.
    body = rec(0x020B, struct.pack("<IIII", 0, 0, 1, 0))
    body += rec(0x0055, u16(8))
    body += rec(0x0200, struct.pack("<IIHHH", 0, 1, 0, 1, 0))
    body += label(0, 0, 5)
    body += window2(False)
    return body


def workbook():
    sheets = [("Budget", 0x10, 0, 0, budget_sheet()), ("Chart1", 0x20, 2, 0, chart_sheet()),
              ("Macro1", 0x40, 1, 1, macro_sheet()), ("Data", 0x10, 0, 1, data_sheet())]
    head = rec(0x0809, u16(0x0600, 0x0005, 0x0DBB, 0x07CC) + struct.pack("<II", 0, 6))
    head += rec(0x0042, u16(1200))
    head += rec(0x0019, u16(1)) + rec(0x0012, u16(1)) + rec(0x0013, u16(0x83AF))  # workbook protection
    head += rec(0x003D, u16(0, 0, 12000, 8000, 0x38, 0, 0, 1, 600))
    head += rec(0x0022, u16(0))
    head += b"".join(font() for _ in range(5))
    head += rec(0x041E, u16(164) + ustr16("General"))
    head += rec(0x041E, u16(165) + ustr16("0.00"))
    head += b"".join(xf(0, 0, style=True) for _ in range(15))
    head += xf(0, 0) + xf(0, 164, locked=False)
    head += rec(0x0293, u16(0x8000) + bytes([0, 0xFF]))
    bound_at = len(head)
    head += b"".join(rec(0x0085, struct.pack("<IBB", 0, vis, dt) + ustr8(name)) for name, _, dt, vis, _ in sheets)
    head += rec(0x008C, u16(1, 1))
    head += rec(0x01AE, u16(4, 0x0401))  # this workbook
    head += rec(0x01AE, u16(1, 0x3A01))  # add-in functions
    head += rec(0x0023, u16(0, 0, 0) + ustr8("MYADDINFN") + u16(2) + bytes([0x1C, 0x17]))
    head += rec(0x01AE, u16(1, 10) + b"\x00" + b"\x01other.xls" + ustr16("Rates"))
    head += rec(0x0059, u16(1, 0))  # XCT: one CRN for sheet 0
    head += rec(0x005A, bytes([0, 0]) + u16(0) + b"\x01" + struct.pack("<d", 0.05))
    head += rec(0x0017, u16(4, 0, 0, 0, 0, 3, 3, 1, 0xFFFE, 0xFFFE, 2, 0, 0))
    names = [(0x0000, "Inputs", 0, area3d(0, 1, 3, 1, 1)),
             (0x0000, "Rate", 0, struct.pack("<BHHH", 0x3A, 3, 0, 0)),
             (0x0020, "\x07", 1, area3d(0, 0, 0, 0, 255)),
             (0x0020, "\x06", 4, area3d(1, 0, 2, 0, 0))]
    for flags, name, itab, tokens in names:
        head += rec(0x0018, u16(flags) + bytes([0, len(name)]) + u16(len(tokens), 0, itab) + b"\0\0\0\0" +
                    b"\x00" + name.encode("latin-1") + tokens)
    head += sst()
    head += rec(0x000A)
    # Substreams follow; BOUNDSHEET offsets are patched in.
    stream = bytearray(head)
    at = len(head)
    substreams = b""
    for i, (name, bof_type, dt, vis, body) in enumerate(sheets):
        offset = at + len(substreams)
        boundsheet_pos = bound_at + sum(4 + 6 + 2 + len(n) for n, *_ in sheets[:i])
        struct.pack_into("<I", stream, boundsheet_pos + 4, offset)
        sub = rec(0x0809, u16(0x0600, bof_type, 0x0DBB, 0x07CC) + struct.pack("<II", 0, 6)) + body + rec(0x000A)
        if bof_type == 0x40:  # the macro sheet's INDEX names its DEFCOLWIDTH by stream position
            sub = bytearray(sub)
            struct.pack_into("<I", sub, 20 + 4 + 12, offset + 20 + 20)
            sub = bytes(sub)
        substreams += sub
    return bytes(stream) + substreams


def compound_file(stream):
    """A compound file (version 3, 512-byte sectors) holding one stream, "Workbook"."""
    assert len(stream) >= 4096, "a shorter stream would belong in the mini stream"
    end, free, fat_sect, nostream = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD, 0xFFFFFFFF
    data = stream + b"\0" * (-len(stream) % 512)
    n_data = len(data) // 512
    dir_sector = n_data
    n_fat = 1
    while (n_data + 1 + n_fat) > n_fat * 128:
        n_fat += 1
    fat = [i + 1 for i in range(n_data - 1)] + [end, end] + [fat_sect] * n_fat
    fat += [free] * (n_fat * 128 - len(fat))

    def entry(name, kind, child, start, size):
        encoded = (name + "\0").encode("utf-16-le") if name else b""
        return (encoded.ljust(64, b"\0") + struct.pack("<HBB", len(encoded), kind, 1) +
                struct.pack("<III", nostream, nostream, child) + b"\0" * 16 + struct.pack("<I", 0) +
                b"\0" * 16 + struct.pack("<IQ", start, size))

    directory = entry("Root Entry", 5, 1, end, 0) + entry("Workbook", 2, nostream, 0, len(stream))
    directory += (b"\0" * 64 + struct.pack("<HBB", 0, 0, 0) + struct.pack("<III", nostream, nostream, nostream) +
                  b"\0" * 48) * 2
    difat = [dir_sector + 1 + i for i in range(n_fat)] + [free] * (109 - n_fat)
    header = (bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 16 + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) +
              b"\0" * 6 + struct.pack("<IIIIIIIII", 0, n_fat, dir_sector, 0, 4096, end, 0, end, 0) +
              struct.pack("<109I", *difat))
    return header + data + directory + struct.pack("<%dI" % len(fat), *fat)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(compound_file(workbook()))
