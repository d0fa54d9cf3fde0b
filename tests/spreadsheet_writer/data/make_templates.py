#!/usr/bin/python3
"""Recipe of the template corpus in this folder: statement templates made by LibreOffice Calc and by
gnumeric, each with what such templates carry (formats, merged titles, outlined and hidden columns, frozen
panes, print areas and titles, headers, comments, validation, conditional formats, hyperlinks, names,
3-D references, charts, pictures, hidden and chart sheets, sheet and workbook protection).

    cd tests/spreadsheet_writer/data && /usr/bin/python3 make_templates.py

LibreOffice (soffice --headless, driven through python3-uno) writes lo_*.xls; a workbook whose structure
it protects it encrypts with the format's default password (RC4 with MD5). gnumeric (ssconvert) writes
gn_*.xls from the gnumeric XML written here. Neither writes the other RC4 variant (CryptoAPI), so
cryptoapi_statement.xls is lo_statement.xls encrypted by this script, record by record, as [MS-OFFCRYPTO]
and [MS-XLS] lay it out; LibreOffice and gnumeric must open it without a password, which the script
checks. real_password.xls is encrypted by LibreOffice with a password of the user's own.
"""
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_PASSWORD = "VelvetSweatshop"

# ---------------------------------------------------------------------------------------------------------
# LibreOffice


def start_office(scratch):
    import uno
    pipe = "templates%d" % os.getpid()
    profile = "file://" + os.path.join(scratch, "profile")
    process = subprocess.Popen(
        ["soffice", "--headless", "--invisible", "--norestore", "--nologo",
         "-env:UserInstallation=" + profile, "--accept=pipe,name=%s;urp;" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(240):
        try:
            context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            time.sleep(0.5)
    else:
        process.kill()
        sys.exit("soffice did not start")
    desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
    return process, context, desktop


def prop(name, value):
    from com.sun.star.beans import PropertyValue
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def new_document(desktop):
    return desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))


def store(document, name, *extra):
    document.storeToURL("file://" + os.path.join(HERE, name), (prop("FilterName", "MS Excel 97"),) + extra)


def address(sheet, text):
    return sheet.getCellRangeByName(text).getRangeAddress()


def number_format(document, code):
    from com.sun.star.lang import Locale
    locale = Locale("en", "US", "")
    formats = document.NumberFormats
    key = formats.queryKey(code, locale, False)
    return key if key != -1 else formats.addNew(code, locale)


def fill(sheet, cells):
    for name, value in cells:
        cell = sheet.getCellRangeByName(name)
        if isinstance(value, str) and value.startswith("="):
            cell.Formula = value
        elif isinstance(value, str):
            cell.String = value
        else:
            cell.Value = value


def cell_style(document, name, **properties):
    styles = document.StyleFamilies.getByName("CellStyles")
    if not styles.hasByName(name):
        styles.insertByName(name, document.createInstance("com.sun.star.style.CellStyle"))
    style = styles.getByName(name)
    for key, value in properties.items():
        setattr(style, key, value)
    return name


def png_bytes(width, height):
    """A small opaque PNG: a blue square with a lighter diagonal band, as a logo stands in a template."""
    rows = b""
    for y in range(height):
        row = b"\0"
        for x in range(width):
            row += bytes((40, 90, 200)) if abs(x - y) > 3 else bytes((160, 200, 250))
        rows += row

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def statement_sheet(document, sheet, with_extras):
    """The net-worth statement: a merged title, assets and liabilities with totals, dates and rates."""
    import uno
    from com.sun.star.table import CellAddress
    fill(sheet, [
        ("A1", "Personal Financial Statement"),
        ("A2", "Prepared for"), ("B2", "Jane Example"), ("C2", "As of"), ("D2", 45291),
        ("A4", "Assets"), ("B4", "Amount"), ("C4", "Share"),
        ("A5", "Cash"), ("B5", 1500), ("C5", "=B5/$B$12"),
        ("A6", "Savings account"), ("B6", 12250.5), ("C6", "=B6/$B$12"),
        ("A7", "Brokerage"), ("B7", 30000), ("C7", "=B7/$B$12"),
        ("A8", "Retirement"), ("B8", 81234.25), ("C8", "=B8/$B$12"),
        ("A9", "Home"), ("B9", 350000), ("C9", "=B9/$B$12"),
        ("A10", "Car"), ("B10", 12000), ("C10", "=B10/$B$12"),
        ("A12", "Total assets"), ("B12", "=SUM(B5:B10)"), ("C12", "=SUM(C5:C10)"),
        ("A14", "Liabilities"),
        ("A15", "Mortgage"), ("B15", 210000),
        ("A16", "Car loan"), ("B16", 6400),
        ("A17", "Credit cards"), ("B17", 1250.75),
        ("A19", "Total liabilities"), ("B19", "=SUM(B15:B17)"),
        ("A21", "Net worth"), ("B21", "=B12-B19"),
        ("A22", "Summary"), ("B22", '=IF(B21<0,"Negative","Positive")&" net worth"'),
        ("A23", "Checked"), ("B23", "=B21=B12-B19"),
    ])
    title = sheet.getCellRangeByName("A1:D1")
    title.merge(True)
    title.CharWeight = 150.0
    title.CharHeight = 14.0
    title.HoriJustify = uno.Enum("com.sun.star.table.CellHoriJustify", "CENTER")
    for name in ("A4:C4", "A12:B12", "A19:B19", "A21:B21"):
        sheet.getCellRangeByName(name).CharWeight = 150.0
    sheet.getCellRangeByName("A2").CharPosture = uno.Enum("com.sun.star.awt.FontSlant", "ITALIC")
    money = number_format(document, '"$"#,##0.00_);[Red]\\("$"#,##0.00\\)')
    for name in ("B5:B12", "B15:B21"):
        sheet.getCellRangeByName(name).NumberFormat = money
    sheet.getCellRangeByName("C5:C12").NumberFormat = number_format(document, "0.0%")
    sheet.getCellRangeByName("D2").NumberFormat = number_format(document, "yyyy-mm-dd")
    sheet.getCellRangeByName("A4:C4").CellBackColor = 0xDDEBF7
    sheet.Columns.getByIndex(0).Width = 5200
    sheet.Columns.getByIndex(1).Width = 3400
    sheet.Rows.getByIndex(0).Height = 900
    if not with_extras:
        return
    # A hidden working column and two outlined, collapsed note columns.
    fill(sheet, [("E4", "Working"), ("E5", "=B5*2"), ("F4", "Note"), ("G4", "Source")])
    sheet.Columns.getByIndex(4).IsVisible = False
    sheet.group(address(sheet, "F1:G1"), uno.Enum("com.sun.star.table.TableOrientation", "COLUMNS"))
    sheet.hideDetail(address(sheet, "F1:G1"))
    sheet.Annotations.insertNew(CellAddress(sheet.RangeAddress.Sheet, 1, 4), "Checking and cash on hand")
    negative = cell_style(document, "Negative", CharColor=0xC00000, CharWeight=150.0)
    entries = sheet.getCellRangeByName("B21").ConditionalFormat
    entries.addNew((prop("Operator", uno.Enum("com.sun.star.sheet.ConditionOperator", "LESS")),
                    prop("Formula1", "0"), prop("StyleName", negative)))
    sheet.getCellRangeByName("B21").ConditionalFormat = entries
    inputs = sheet.getCellRangeByName("B5:B10")
    validation = inputs.Validation
    validation.Type = uno.Enum("com.sun.star.sheet.ValidationType", "DECIMAL")
    validation.setOperator(uno.Enum("com.sun.star.sheet.ConditionOperator", "GREATER_EQUAL"))
    validation.setFormula1("0")
    validation.ShowErrorMessage = True
    validation.ErrorTitle = "Amount"
    validation.ErrorMessage = "Amounts are zero or more."
    inputs.Validation = validation
    link_cell = sheet.getCellRangeByName("A25")
    field = document.createInstance("com.sun.star.text.TextField.URL")
    field.URL = "https://example.org/net-worth"
    field.Representation = "How to read this statement"
    link_cell.Text.insertTextContent(link_cell.Text.createTextCursor(), field, False)
    document.NamedRanges.addNewByName("Assets", "$'%s'.$B$5:$B$10" % sheet.Name, CellAddress(0, 0, 0), 0)
    sheet.setPrintAreas((address(sheet, "A1:D25"),))
    sheet.setTitleRows(address(sheet, "A1:D2"))
    sheet.PrintTitleRows = True
    style = document.StyleFamilies.getByName("PageStyles").getByName(sheet.PageStyle)
    style.IsLandscape = True
    size = style.Size
    size.Width, size.Height = max(size.Width, size.Height), min(size.Width, size.Height)
    style.Size = size
    header = style.RightPageHeaderContent
    header.CenterText.String = "Net worth statement"
    style.RightPageHeaderContent = header
    style.ScaleToPagesX = 1
    style.ScaleToPagesY = 1
    sheet.TabColor = 0x2E75B6


def lo_statement(desktop, scratch):
    from com.sun.star.awt import Point, Rectangle, Size
    document = new_document(desktop)
    sheets = document.Sheets
    sheets.getByIndex(0).Name = "Statement"
    sheets.insertNewByName("Data", 1)
    sheets.insertNewByName("Working", 2)
    statement = sheets.getByName("Statement")
    statement_sheet(document, statement, True)
    data = sheets.getByName("Data")
    fill(data, [("A1", "Month"), ("B1", "Net worth")] +
         [("A%d" % (r + 2), 45292 + 31 * r) for r in range(6)] +
         [("B%d" % (r + 2), 250000 + 3500 * r) for r in range(6)] +
         [("D1", "Latest"), ("D2", "=Statement!B21"), ("D3", "=MAX(B2:B7)")])
    data.getCellRangeByName("A2:A7").NumberFormat = number_format(document, "mmm yyyy")
    chart_range = (address(data, "A1:B7"),)
    data.Charts.addNewByName("NetWorth", Rectangle(4000, 2000, 12000, 7000), chart_range, True, True)
    # An autofilter over the history.
    ranges = document.DatabaseRanges
    ranges.addNewByName("History", address(data, "A1:B7"))
    ranges.getByName("History").AutoFilter = True
    working = sheets.getByName("Working")
    fill(working, [("A1", "Rate"), ("B1", 0.035), ("A2", "Years"), ("B2", 30)])
    working.IsVisible = False
    # The logo at the top right of the statement.
    logo = os.path.join(scratch, "logo.png")
    with open(logo, "wb") as f:
        f.write(png_bytes(48, 48))
    shape = document.createInstance("com.sun.star.drawing.GraphicObjectShape")
    context = desktop_context(desktop)
    graphics = context.ServiceManager.createInstanceWithContext("com.sun.star.graphic.GraphicProvider", context)
    shape.Graphic = graphics.queryGraphic((prop("URL", "file://" + logo),))
    statement.DrawPage.add(shape)
    shape.Position = Point(15000, 200)
    shape.Size = Size(1300, 1300)
    document.CurrentController.setActiveSheet(statement)
    document.CurrentController.freezeAtPosition(0, 4)
    properties = document.DocumentProperties
    properties.Title = "Net worth statement"
    properties.Author = "Template maker"
    store(document, "lo_statement.xls")
    document.close(True)


def lo_loan(desktop):
    """A loan schedule over five sheets, with 3-D references across them and formulas filled down."""
    document = new_document(desktop)
    sheets = document.Sheets
    sheets.getByIndex(0).Name = "Summary"
    names = ["Summary", "Terms", "Schedule", "Extra", "Notes"]
    for index, name in enumerate(names[1:], start=1):
        sheets.insertNewByName(name, index)
    terms = sheets.getByName("Terms")
    fill(terms, [("A1", "Principal"), ("B1", 200000), ("A2", "Annual rate"), ("B2", 0.045),
                 ("A3", "Years"), ("B3", 30), ("A4", "Start"), ("B4", 45292),
                 ("A5", "Payment"), ("B5", "=PMT(B2/12,B3*12,-B1)")])
    terms.getCellRangeByName("B2").NumberFormat = number_format(document, "0.00%")
    terms.getCellRangeByName("B4").NumberFormat = number_format(document, "dd/mm/yyyy")
    document.NamedRanges.addNewByName("Rate", "$Terms.$B$2", terms.getCellRangeByName("A1").CellAddress, 0)
    schedule = sheets.getByName("Schedule")
    fill(schedule, [("A1", "No"), ("B1", "Balance"), ("C1", "Interest"), ("D1", "Principal"),
                    ("E1", "Extra"), ("A2", 1), ("B2", "=Terms!B1")])
    for row in range(2, 40):
        fill(schedule, [("A%d" % (row + 1), "=A%d+1" % row),
                        ("C%d" % row, "=ROUND(B%d*Rate/12,2)" % row),
                        ("D%d" % row, "=Terms!$B$5-C%d" % row),
                        ("E%d" % row, "=Extra!B%d" % row),
                        ("B%d" % (row + 1), "=B%d-D%d-E%d" % (row, row, row))])
    schedule.getCellRangeByName("B2:E40").NumberFormat = number_format(document, "#,##0.00")
    schedule.setTitleRows(address(schedule, "A1:E1"))
    schedule.PrintTitleRows = True
    extra = sheets.getByName("Extra")
    fill(extra, [("A1", "Extra payments")] + [("B%d" % row, 100 if row % 12 == 0 else 0) for row in range(2, 40)])
    summary = sheets.getByName("Summary")
    fill(summary, [("A1", "Loan summary"), ("A2", "Interest paid"), ("B2", "=SUM(Schedule!C2:C39)"),
                   ("A3", "Extra paid"), ("B3", "=SUM(Extra!B2:B39)"),
                   ("A4", "Over all sheets"), ("B4", "=SUM(Terms:Extra!B2)"),
                   ("A5", "Last balance"), ("B5", "=Schedule!B40")])
    notes = sheets.getByName("Notes")
    fill(notes, [("A1", "Numbers are estimates; ask the lender for the real schedule."),
                 ("A2", "Überweisungen am Monatsanfang — 月初に支払い")])
    notes.getCellRangeByName("A1:F1").merge(True)
    notes.getCellRangeByName("A1").IsTextWrapped = True
    store(document, "lo_loan.xls")
    document.close(True)


def lo_protected(desktop):
    """A print-ready statement with its structure and its sheet protected and the inputs left open."""
    from com.sun.star.util import CellProtection
    document = new_document(desktop)
    sheets = document.Sheets
    sheets.getByIndex(0).Name = "Statement"
    sheets.insertNewByName("Lists", 1)
    statement = sheets.getByName("Statement")
    statement_sheet(document, statement, False)
    fill(sheets.getByName("Lists"), [("A1", "Categories"), ("A2", "Cash"), ("A3", "Savings")])
    open_cells = CellProtection()
    open_cells.IsLocked = False
    for name in ("B5:B10", "B15:B17", "B2", "D2"):
        statement.getCellRangeByName(name).CellProtection = open_cells
    statement.protect("sheet")
    document.protect("")
    store(document, "lo_protected.xls")
    document.close(True)


def lo_real_password(desktop):
    document = new_document(desktop)
    statement_sheet(document, document.Sheets.getByIndex(0), False)
    store(document, "real_password.xls", prop("Password", "open sesame"))
    document.close(True)


_contexts = {}


def desktop_context(desktop):
    return _contexts[id(desktop)]


def make_libreoffice(scratch):
    process, context, desktop = start_office(scratch)
    _contexts[id(desktop)] = context
    try:
        lo_statement(desktop, scratch)
        lo_loan(desktop)
        lo_protected(desktop)
        lo_real_password(desktop)
    finally:
        try:
            desktop.terminate()
        except Exception:
            pass
        try:
            process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            process.kill()


# ---------------------------------------------------------------------------------------------------------
# gnumeric

GNUMERIC_HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd">
"""


def gnumeric_cells(cells):
    out = ["<gnm:Cells>"]
    for row, col, value in cells:
        if isinstance(value, str) and value.startswith("="):
            out.append('<gnm:Cell Row="%d" Col="%d">%s</gnm:Cell>' % (row, col, escape(value)))
        elif isinstance(value, str):
            out.append('<gnm:Cell Row="%d" Col="%d" ValueType="60">%s</gnm:Cell>' % (row, col, escape(value)))
        else:
            out.append('<gnm:Cell Row="%d" Col="%d" ValueType="40">%r</gnm:Cell>' % (row, col, value))
    out.append("</gnm:Cells>")
    return "\n".join(out)


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def bar_chart(anchor, series_range, labels_range):
    return """<gnm:SheetObjectGraph ObjectBound="%s" ObjectOffset="0 0 0 0" Direction="17">
  <GogObject type="GogGraph">
    <GogObject role="Chart" type="GogChart">
      <GogObject role="Plot" type="GogBarColPlot">
        <property name="horizontal">false</property>
        <GogObject role="Series" type="GogSeries">
          <data>
            <dimension id="0">%s</dimension>
            <dimension id="1">%s</dimension>
          </data>
        </GogObject>
      </GogObject>
      <GogObject role="X-Axis" type="GogAxis"><property name="type">X-Axis</property></GogObject>
      <GogObject role="Y-Axis" type="GogAxis"><property name="type">Y-Axis</property></GogObject>
    </GogObject>
  </GogObject>
</gnm:SheetObjectGraph>""" % (anchor, labels_range, series_range)


def household_workbook(chart_sheet_position, protect):
    """A household book: a month's budget with comments, validation, a conditional format, a hyperlink,
    outlined and hidden columns, frozen panes, a print area and titles; a chart sheet of the spending."""
    budget_cells = [(0, 0, "Household book"), (1, 0, "Category"), (1, 1, "Planned"), (1, 2, "Spent"),
                    (1, 3, "Left"), (1, 5, "Memo")]
    categories = ["Rent", "Food", "Transport", "Utilities", "Insurance", "Leisure"]
    for i, name in enumerate(categories):
        row = i + 2
        budget_cells += [(row, 0, name), (row, 1, [1200, 450, 120, 180, 95, 150][i]),
                         (row, 2, [1200, 512.4, 98.5, 171.2, 95, 210.75][i]),
                         (row, 3, "=B%d-C%d" % (row + 1, row + 1))]
    budget_cells += [(9, 0, "Total"), (9, 1, "=SUM(B3:B8)"), (9, 2, "=SUM(C3:C8)"), (9, 3, "=SUM(D3:D8)"),
                     (10, 0, "Share of income"), (10, 2, "=C10/Income!B2"), (12, 0, "Bank")]
    sheets = [("Budget", ""), ("Income", "")]
    sheets.insert(chart_sheet_position, ("Spending", ' gnm:SheetType="object"'))
    out = [GNUMERIC_HEAD]
    if protect:
        out.append("<gnm:Attributes><gnm:Attribute><gnm:name>WorkbookView::is_protected</gnm:name>"
                   "<gnm:value>TRUE</gnm:value></gnm:Attribute></gnm:Attributes>")
    out.append('<gnm:Calculation ManualRecalc="0" EnableIteration="0" MaxIterations="100" '
               'IterationTolerance="0.001"/>')
    out.append("<gnm:SheetNameIndex>")
    out += ['<gnm:SheetName%s gnm:Cols="256" gnm:Rows="65536">%s</gnm:SheetName>' % (kind, name)
            for name, kind in sheets]
    out.append("</gnm:SheetNameIndex>")
    out.append("<gnm:Names><gnm:Name><gnm:name>Spent</gnm:name><gnm:value>Budget!$C$3:$C$8</gnm:value>"
               "<gnm:position>A1</gnm:position></gnm:Name></gnm:Names>")
    out.append("<gnm:Sheets>")
    for name, kind in sheets:
        if name == "Budget":
            out.append('<gnm:Sheet%s>' % (' Protected="1"' if protect else ""))
            out.append("<gnm:Name>Budget</gnm:Name><gnm:MaxCol>7</gnm:MaxCol><gnm:MaxRow>13</gnm:MaxRow>")
            out.append("""<gnm:Names>
  <gnm:Name><gnm:name>Print_Area</gnm:name><gnm:value>Budget!$A$1:$D$13</gnm:value><gnm:position>A1</gnm:position></gnm:Name>
  <gnm:Name><gnm:name>Print_Titles</gnm:name><gnm:value>Budget!$1:$2</gnm:value><gnm:position>A1</gnm:position></gnm:Name>
</gnm:Names>
<gnm:PrintInformation>
  <gnm:Margins><gnm:top Points="54"/><gnm:bottom Points="54"/><gnm:left Points="36"/><gnm:right Points="36"/></gnm:Margins>
  <gnm:Scale type="size_fit" cols="1" rows="1"/>
  <gnm:hcenter value="1"/>
  <gnm:orientation>portrait</gnm:orientation>
  <gnm:Header Left="" Middle="Household book" Right="&amp;[DATE]"/>
  <gnm:Footer Left="" Middle="Page &amp;[PAGE] of &amp;[PAGES]" Right=""/>
  <gnm:paper>iso_a4</gnm:paper>
</gnm:PrintInformation>
<gnm:Styles>
  <gnm:StyleRegion startCol="0" startRow="0" endCol="3" endRow="0">
    <gnm:Style HAlign="GNM_HALIGN_CENTER_ACROSS_SELECTION" Format="General"><gnm:Font Unit="14" Bold="1">Sans</gnm:Font></gnm:Style>
  </gnm:StyleRegion>
  <gnm:StyleRegion startCol="0" startRow="1" endCol="3" endRow="1">
    <gnm:Style Shade="1" Back="DDDD:EBEB:F7F7" Format="General"><gnm:Font Unit="10" Bold="1">Sans</gnm:Font></gnm:Style>
  </gnm:StyleRegion>
  <gnm:StyleRegion startCol="1" startRow="2" endCol="2" endRow="7">
    <gnm:Style Locked="0" Format="#,##0.00">
      <gnm:Validation Style="1" Type="2" Operator="6" AllowBlank="true" UseDropdown="false" Title="Amount" Message="Zero or more">
        <gnm:Expression0>0</gnm:Expression0>
      </gnm:Validation>
    </gnm:Style>
  </gnm:StyleRegion>
  <gnm:StyleRegion startCol="3" startRow="2" endCol="3" endRow="9">
    <gnm:Style Format="#,##0.00;[Red]-#,##0.00">
      <gnm:Condition Operator="5">
        <gnm:Expression0>0</gnm:Expression0>
        <gnm:Style Fore="FFFF:0:0" Back="FFFF:E0E0:E0E0" Shade="1"><gnm:Font Bold="1">Sans</gnm:Font></gnm:Style>
      </gnm:Condition>
    </gnm:Style>
  </gnm:StyleRegion>
  <gnm:StyleRegion startCol="1" startRow="9" endCol="2" endRow="9">
    <gnm:Style Format="#,##0.00"><gnm:StyleBorder><gnm:Top Style="1" Color="0:0:0"/></gnm:StyleBorder></gnm:Style>
  </gnm:StyleRegion>
  <gnm:StyleRegion startCol="2" startRow="10" endCol="2" endRow="10">
    <gnm:Style Format="0.0%"/>
  </gnm:StyleRegion>
  <gnm:StyleRegion startCol="1" startRow="12" endCol="1" endRow="12">
    <gnm:Style Format="General">
      <gnm:HyperLink type="GnmHLinkURL" target="https://example.org/bank" tip="Online banking"/>
    </gnm:Style>
  </gnm:StyleRegion>
</gnm:Styles>
<gnm:Cols DefaultSizePts="64">
  <gnm:ColInfo No="0" Unit="110" HardSize="1"/>
  <gnm:ColInfo No="1" Unit="70" HardSize="1" Count="3"/>
  <gnm:ColInfo No="4" Unit="64" Hidden="1"/>
  <gnm:ColInfo No="5" Unit="120" OutlineLevel="1" HardSize="1"/>
  <gnm:ColInfo No="6" Unit="64" OutlineLevel="1" Hidden="1" Count="2"/>
</gnm:Cols>
<gnm:Rows DefaultSizePts="12.75">
  <gnm:RowInfo No="0" Unit="24" HardSize="1"/>
</gnm:Rows>""")
            cells = budget_cells + [(12, 1, "Online banking"), (2, 5, "Due on the first"),
                                    (2, 6, "hidden detail"), (2, 4, "=D3*12")]
            out.append(gnumeric_cells(cells))
            out.append("""<gnm:MergedRegions><gnm:Merge>F3:G3</gnm:Merge></gnm:MergedRegions>
<gnm:Objects>
  <gnm:CellComment ObjectBound="C4" ObjectOffset="0 0 0 0" ObjectAnchorType="16 16 16 16" Author="Planner" Text="Groceries and eating out"/>
</gnm:Objects>
<gnm:SheetLayout TopLeft="A3"><gnm:FreezePanes FrozenTopLeft="A3" UnfrozenTopLeft="A3"/></gnm:SheetLayout>
</gnm:Sheet>""")
        elif name == "Income":
            out.append("<gnm:Sheet><gnm:Name>Income</gnm:Name><gnm:MaxCol>2</gnm:MaxCol><gnm:MaxRow>3</gnm:MaxRow>")
            out.append(gnumeric_cells([(0, 0, "Source"), (0, 1, "Monthly"), (1, 0, "Salary"), (1, 1, 3450),
                                       (2, 0, "Other"), (2, 1, 120)]))
            out.append("</gnm:Sheet>")
        else:
            out.append('<gnm:Sheet HideGrid="1" HideColHeader="1" HideRowHeader="1"><gnm:Name>Spending</gnm:Name>'
                       "<gnm:MaxCol>0</gnm:MaxCol><gnm:MaxRow>0</gnm:MaxRow><gnm:Objects>")
            out.append(bar_chart("A1:H20", "Budget!$C$3:$C$8", "Budget!$A$3:$A$8"))
            out.append("</gnm:Objects><gnm:Cells/></gnm:Sheet>")
    out.append("</gnm:Sheets></gnm:Workbook>")
    return "\n".join(out)


def savings_workbook():
    """A savings plan with an embedded chart, sheet protection with scenarios and objects, and a hidden
    sheet of rates."""
    cells = [(0, 0, "Savings plan"), (1, 0, "Year"), (1, 1, "Deposit"), (1, 2, "Balance")]
    for year in range(10):
        row = year + 2
        cells += [(row, 0, 2024 + year), (row, 1, 2400 + 100 * year),
                  (row, 2, "=B%d" % (row + 1) if year == 0 else
                   "=C%d*(1+Rates!$B$1)+B%d" % (row, row + 1))]
    cells += [(13, 0, "Final"), (13, 2, "=C12"), (14, 0, "Average"), (14, 2, "=AVERAGE(B3:B12)")]
    return GNUMERIC_HEAD + """<gnm:SheetNameIndex>
  <gnm:SheetName gnm:Cols="256" gnm:Rows="65536">Plan</gnm:SheetName>
  <gnm:SheetName gnm:Cols="256" gnm:Rows="65536">Rates</gnm:SheetName>
</gnm:SheetNameIndex>
<gnm:Sheets>
<gnm:Sheet Protected="1">
  <gnm:Name>Plan</gnm:Name><gnm:MaxCol>3</gnm:MaxCol><gnm:MaxRow>15</gnm:MaxRow>
  <gnm:Styles>
    <gnm:StyleRegion startCol="1" startRow="2" endCol="2" endRow="14"><gnm:Style Format="#,##0"/></gnm:StyleRegion>
    <gnm:StyleRegion startCol="1" startRow="2" endCol="1" endRow="11"><gnm:Style Locked="0" Format="#,##0"/></gnm:StyleRegion>
  </gnm:Styles>
  <gnm:Cols DefaultSizePts="64"><gnm:ColInfo No="0" Unit="80" HardSize="1"/><gnm:ColInfo No="2" Unit="90" HardSize="1"/></gnm:Cols>
""" + gnumeric_cells(cells) + """
  <gnm:Objects>""" + bar_chart("E2:L16", "Plan!$C$3:$C$12", "Plan!$A$3:$A$12") + """</gnm:Objects>
  <gnm:SheetProtection>
    <gnm:protect_objects value="1"/>
    <gnm:protect_scenarios value="1"/>
  </gnm:SheetProtection>
</gnm:Sheet>
<gnm:Sheet Visibility="GNM_SHEET_VISIBILITY_HIDDEN">
  <gnm:Name>Rates</gnm:Name><gnm:MaxCol>2</gnm:MaxCol><gnm:MaxRow>1</gnm:MaxRow>
""" + gnumeric_cells([(0, 0, "Interest"), (0, 1, 0.025)]) + """
</gnm:Sheet>
</gnm:Sheets>
</gnm:Workbook>
"""


def make_gnumeric(scratch):
    books = {
        "gn_household.xls": household_workbook(1, False),
        "gn_chart_last.xls": household_workbook(2, True),
        "gn_savings.xls": savings_workbook(),
    }
    for name, xml in books.items():
        source = os.path.join(scratch, name.replace(".xls", ".gnumeric"))
        with open(source, "w", encoding="utf-8") as f:
            f.write(xml)
        subprocess.run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", source, os.path.join(HERE, name)],
                       check=True, stderr=subprocess.DEVNULL)


# ---------------------------------------------------------------------------------------------------------
# RC4 CryptoAPI, written here from the documentation


def compound_streams(data):
    """The streams at the top of a compound file (version 3 or 4), by name."""
    header = struct.unpack_from("<HHHHH", data, 24)
    sector = 1 << header[3]
    mini_sector = 1 << header[4]
    n_fat, dir_start, _, mini_cutoff, mini_fat_start, n_mini_fat, difat_start, n_difat = \
        struct.unpack_from("<IIIIIIII", data, 44)
    difat = list(struct.unpack_from("<109I", data, 76))
    at = difat_start
    for _ in range(n_difat):
        block = struct.unpack_from("<%dI" % (sector // 4), data, 512 + at * sector)
        difat += block[:-1]
        at = block[-1]
    fat = []
    for s in difat[:n_fat]:
        fat += struct.unpack_from("<%dI" % (sector // 4), data, 512 + s * sector)

    def chain(start, table, size, read):
        out = b""
        while start < 0xFFFFFFFA:
            out += read(start)
            start = table[start]
        return out[:size] if size is not None else out

    def sector_bytes(s):
        return data[512 + s * sector:512 + (s + 1) * sector]
    directory = chain(dir_start, fat, None, sector_bytes)
    entries = [directory[i:i + 128] for i in range(0, len(directory), 128)]
    root = entries[0]
    mini_stream = chain(struct.unpack_from("<I", root, 116)[0], fat, None, sector_bytes)
    mini_fat = []
    if n_mini_fat:
        raw = chain(mini_fat_start, fat, None, sector_bytes)
        mini_fat = list(struct.unpack("<%dI" % (len(raw) // 4), raw))
    streams = {}
    for entry in entries:
        length, kind = struct.unpack_from("<HB", entry, 64)
        if kind != 2:
            continue
        name = entry[:max(0, length - 2)].decode("utf-16-le")
        start, size = struct.unpack_from("<IQ", entry, 116)
        size &= 0xFFFFFFFF
        if size < mini_cutoff:
            streams[name] = chain(start, mini_fat, size,
                                  lambda s: mini_stream[s * mini_sector:(s + 1) * mini_sector])
        else:
            streams[name] = chain(start, fat, size, sector_bytes)
    return streams


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


def rc4(key, data):
    state = list(range(256))
    j = 0
    for i in range(256):
        j = (j + state[i] + key[i % len(key)]) & 0xFF
        state[i], state[j] = state[j], state[i]
    out = bytearray()
    i = j = 0
    for byte in data:
        i = (i + 1) & 0xFF
        j = (j + state[i]) & 0xFF
        state[i], state[j] = state[j], state[i]
        out.append(byte ^ state[(state[i] + state[j]) & 0xFF])
    return bytes(out)


def cryptoapi_key(salt, block, key_bits=128):
    h0 = hashlib.sha1(salt + DEFAULT_PASSWORD.encode("utf-16-le")).digest()
    final = hashlib.sha1(h0 + struct.pack("<I", block)).digest()
    key = final[:key_bits // 8]
    return key + b"\0" * 11 if key_bits == 40 else key


def cryptoapi_filepass(salt, key_bits=128):
    csp = "Microsoft Enhanced Cryptographic Provider v1.0\0".encode("utf-16-le")
    flags = 0x04 | 0x08  # CryptoAPI; the document properties are not encrypted
    header = struct.pack("<IIIIIIII", flags, 0, 0x6801, 0x8004, key_bits, 1, 0, 0) + csp
    verifier = bytes(range(16))
    encrypted = rc4(cryptoapi_key(salt, 0, key_bits), verifier + hashlib.sha1(verifier).digest())
    return (struct.pack("<HHHII", 1, 4, 2, flags, len(header)) + header +
            struct.pack("<I", 16) + salt + encrypted[:16] + struct.pack("<I", 20) + encrypted[16:])


LEFT_IN_CLEAR = {0x0809, 0x002F, 0x0194, 0x0195, 0x00E1, 0x0196, 0x0138}


def records(stream):
    at = 0
    while at + 4 <= len(stream):
        rid, length = struct.unpack_from("<HH", stream, at)
        yield at, rid, stream[at + 4:at + 4 + length]
        at += 4 + length


def with_cryptoapi(stream, salt):
    """The workbook stream with a FILEPASS record after its first BOF and every record encrypted."""
    filepass = cryptoapi_filepass(salt)
    first_bof = 4 + struct.unpack_from("<H", stream, 2)[0]
    shift = 4 + len(filepass)
    plain = bytearray(stream[:first_bof] + struct.pack("<HH", 0x002F, len(filepass)) + filepass +
                      stream[first_bof:])
    # Positions of the stream past the new record move with it: sheets, cell table indexes, string buckets.
    for at, rid, body in records(bytes(plain)):
        if rid == 0x0085:
            struct.pack_into("<I", plain, at + 4, struct.unpack_from("<I", body)[0] + shift)
        elif rid == 0x020B:
            for field in range(12, len(body), 4):
                if field != 12 or struct.unpack_from("<I", body, field)[0]:
                    struct.pack_into("<I", plain, at + 4 + field, struct.unpack_from("<I", body, field)[0] + shift)
        elif rid == 0x00FF:
            for field in range(2, len(body), 8):
                struct.pack_into("<I", plain, at + 4 + field, struct.unpack_from("<I", body, field)[0] + shift)
    keystream = b"".join(rc4(cryptoapi_key(salt, block), bytes(1024))
                         for block in range((len(plain) + 1023) // 1024))
    out = bytearray(plain)
    for at, rid, body in records(bytes(plain)):
        if at < first_bof + shift or rid in LEFT_IN_CLEAR:
            continue
        start = at + 4 + (4 if rid == 0x0085 else 0)
        for i in range(start, at + 4 + len(body)):
            out[i] ^= keystream[i]
    return bytes(out)


def make_cryptoapi():
    with open(os.path.join(HERE, "lo_statement.xls"), "rb") as f:
        stream = compound_streams(f.read())["Workbook"]
    salt = hashlib.md5(b"quillberry cryptoapi fixture").digest()
    with open(os.path.join(HERE, "cryptoapi_statement.xls"), "wb") as f:
        f.write(compound_file(with_cryptoapi(stream, salt)))
    # LibreOffice opens it without a password and sees the statement (gnumeric reads only the other variant).
    scratch = tempfile.mkdtemp()
    try:
        subprocess.run(["soffice", "-env:UserInstallation=file://" + os.path.join(scratch, "profile"),
                        "--headless", "--convert-to", "csv", "--outdir", scratch,
                        os.path.join(HERE, "cryptoapi_statement.xls")],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(os.path.join(scratch, "cryptoapi_statement.csv"), encoding="utf-8") as f:
            assert "Net worth,269334" in f.read()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    scratch = tempfile.mkdtemp()
    try:
        make_gnumeric(scratch)
        make_libreoffice(scratch)
        make_cryptoapi()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
