#include "spreadsheet/biff/read_globals.h"

#include "spreadsheet/biff/kept.h"
#include "spreadsheet/biff/read_links.h"
#include "spreadsheet/biff/read_strings.h"
#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/write_records.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

namespace {

constexpr quint16 kNoParent = 0xFFF;

void checkFirstBof(const Record& record) {
    const quint16 id = record.id;
    if (id == 0x0009 || id == 0x0209 || id == 0x0409)
        throw SpreadsheetError(
            QStringLiteral("The workbook was saved in an old Excel 2.1-4.0 format, which cannot be read; "
                           "save it in the Excel "
                           "97-2003 format (.xls) first."));
    if (id != rec::BOF)
        throw SpreadsheetError(QStringLiteral("The file is not an Excel 97-2003 workbook."));
    RecordCursor cursor = record.cursor();
    const quint16 version = cursor.u16();
    const quint16 type = cursor.u16();
    if (version != kBiff8Version)
        throw SpreadsheetError(
            QStringLiteral("The workbook was saved in an older Excel format (Excel 5.0/95), which cannot be "
                           "read; save it in "
                           "the Excel 97-2003 format (.xls) first."));
    if (type != kBofGlobals)
        damaged(QStringLiteral("the workbook stream does not start with the workbook globals"));
}

Font readFont(RecordCursor c) {
    Font font;
    font.heightTwips = c.u16();
    const quint16 flags = c.u16();
    font.italic = flags & 0x0002;
    font.strikeout = flags & 0x0008;
    font.colorIndex = c.u16();
    font.bold = c.u16() >= 600;
    font.escapement = c.u16();
    font.underline = c.u8();
    font.family = c.u8();
    font.charset = c.u8();
    c.u8();
    font.name = readShortString(c);
    return font;
}

CellFormat readXf(RecordCursor c) {
    CellFormat xf;
    const quint16 font = c.u16();
    // The file has no font 4; a writer that points there anyway means the Normal font.
    xf.fontIndex = font < 4 ? font : font == 4 ? 0 : quint16(font - 1);
    xf.numberFormat = c.u16();
    const quint16 protection = c.u16();
    xf.locked = protection & 0x0001;
    xf.formulaHidden = protection & 0x0002;
    xf.isStyle = protection & 0x0004;
    xf.parentStyle = protection >> 4;
    const quint8 alignment = c.u8();
    xf.hAlign = HAlign(alignment & 0x07);
    xf.wrap = alignment & 0x08;
    xf.vAlign = VAlign(std::min((alignment >> 4) & 0x07, int(VAlign::Distributed)));
    xf.rotation = c.u8();
    const quint8 indent = c.u8();
    xf.indent = indent & 0x0F;
    xf.shrinkToFit = indent & 0x10;
    xf.usedAttributes = c.u8();
    const quint32 border1 = c.u32();
    const quint32 border2 = c.u32();
    const quint16 fill = c.u16();
    auto line = [](quint32 style) {
        return LineStyle(style <= quint32(LineStyle::SlantedDashDot) ? style : 1);
    };
    xf.left = {line(border1 & 0x0F), quint16((border1 >> 16) & 0x7F)};
    xf.right = {line((border1 >> 4) & 0x0F), quint16((border1 >> 23) & 0x7F)};
    xf.top = {line((border1 >> 8) & 0x0F), quint16(border2 & 0x7F)};
    xf.bottom = {line((border1 >> 12) & 0x0F), quint16((border2 >> 7) & 0x7F)};
    xf.fillPattern = quint8((border2 >> 26) & 0x3F);
    xf.fillForeground = fill & 0x7F;
    xf.fillBackground = (fill >> 7) & 0x7F;
    return xf;
}

Style readStyle(RecordCursor c) {
    Style style;
    const quint16 xf = c.u16();
    style.xfIndex = xf & 0x0FFF;
    style.builtIn = xf & 0x8000;
    if (style.builtIn) {
        style.builtInId = c.u8();
        style.outlineLevel = c.u8();
    } else {
        style.name = readLongString(c);
    }
    return style;
}

void readPalette(RecordCursor c, Workbook& workbook) {
    const quint16 count = c.u16();
    if (count > workbook.palette.size())
        damaged(QStringLiteral("the colour palette has %1 entries").arg(count));
    for (quint16 i = 0; i < count; ++i) {
        const quint8 red = c.u8();
        const quint8 green = c.u8();
        const quint8 blue = c.u8();
        c.u8();
        workbook.palette[i] = (QRgb(red) << 16) | (QRgb(green) << 8) | blue;
    }
    workbook.paletteCustomized = true;
}

void readWindow1(RecordCursor c, WorkbookWindow& window) {
    window.left = c.i16();
    window.top = c.i16();
    window.width = c.u16();
    window.height = c.u16();
    const quint16 flags = c.u16();
    window.hidden = flags & 0x0001;
    window.minimized = flags & 0x0002;
    window.showHorizontalScroll = flags & 0x0008;
    window.showVerticalScroll = flags & 0x0010;
    window.showTabs = flags & 0x0020;
    window.activeSheet = c.u16();
    window.firstVisibleTab = c.u16();
    window.selectedTabs = c.u16();
    window.tabRatio = c.u16();
}

SheetEntry readBoundSheet(RecordCursor c) {
    SheetEntry entry;
    entry.offset = c.u32();
    entry.visibility = c.u8() & 0x03;
    entry.visible = entry.visibility == 0;
    entry.type = c.u8();
    entry.name = readShortString(c);
    return entry;
}

// Indexes between the tables are checked once all of them are read, since nothing orders the records.
void checkIndexes(const Workbook& workbook) {
    for (size_t i = 0; i < workbook.formats.size(); ++i) {
        const CellFormat& xf = workbook.formats[i];
        if (xf.fontIndex >= workbook.fonts.size())
            damaged(QStringLiteral("cell format %1 refers to font %2, which does not exist")
                        .arg(i)
                        .arg(xf.fontIndex));
        if (!xf.isStyle && xf.parentStyle != kNoParent && xf.parentStyle >= workbook.formats.size())
            damaged(QStringLiteral("cell format %1 refers to style format %2, which does not exist")
                        .arg(i)
                        .arg(xf.parentStyle));
    }
    for (const Style& style : workbook.styles) {
        if (style.xfIndex >= workbook.formats.size())
            damaged(
                QStringLiteral("a style refers to cell format %1, which does not exist").arg(style.xfIndex));
    }
}

}  // namespace

bool readCalculationSetting(const Record& record, CalculationSettings& calculation) {
    RecordCursor c = record.cursor();
    switch (record.id) {
        case rec::CALCMODE:
            calculation.automatic = c.i16() != 0;
            return true;
        case rec::CALCCOUNT:
            calculation.iterationLimit = c.u16();
            return true;
        case rec::REFMODE:
            calculation.a1References = c.u16() != 0;
            return true;
        case rec::ITERATION:
            calculation.iteration = c.u16() != 0;
            return true;
        case rec::DELTA:
            calculation.maximumChange = c.f64();
            return true;
        case rec::SAVERECALC:
            calculation.recalculateBeforeSave = c.u16() != 0;
            return true;
        default:
            return false;
    }
}

namespace {

// Records the writer writes with defaults of its own; when a workbook has them, their bodies are kept.
bool isKeptSetting(quint16 id) {
    switch (id) {
        case rec::BACKUP:
        case rec::HIDEOBJ:
        case rec::PRECISION:
        case rec::REFRESHALL:
        case rec::BOOKBOOL:
        case rec::COUNTRY:
            return true;
        default:
            return false;
    }
}

// Records the writer makes anew from the model or from nothing: nothing of them is kept.
bool isRegenerated(quint16 id) {
    switch (id) {
        case rec::EXTSST:
        case 0x00E1:  // INTERFACEHDR
        case 0x00C1:  // MMS
        case 0x00E2:  // INTERFACEEND
        case 0x005C:  // WRITEACCESS: the document properties say who saved it
        case 0x0161:  // DSF
        case 0x013D:  // TABID
        case 0x009C:  // FNGROUPCOUNT
        case 0x0160:  // USESELFS
            return true;
        default:
            return false;
    }
}

bool readProtection(const Record& record, WorkbookProtection& protection) {
    RecordCursor c = record.cursor();
    switch (record.id) {
        case rec::WINDOWPROTECT:
            protection.windows = c.u16() != 0;
            return true;
        case rec::PROTECT:
            protection.structure = c.u16() != 0;
            return true;
        case rec::PASSWORD:
            protection.passwordHash = c.u16();
            return true;
        case rec::PROT4REV:
            protection.revisions = c.u16() != 0;
            return true;
        case rec::PROT4REVPASS:
            protection.revisionsPasswordHash = c.u16();
            return true;
        default:
            return false;
    }
}

}  // namespace

Globals readGlobals(QByteArrayView stream, Workbook& workbook) {
    Globals globals;
    RecordWalker walker(stream, 0);
    Record record;
    if (!walker.next(record))
        throw SpreadsheetError(QStringLiteral("The workbook stream is empty."));
    checkFirstBof(record);
    workbook.asRead.add(keptFrom(record));

    std::vector<Font> fonts;
    std::vector<CellFormat> formats;
    std::vector<Style> styles;
    bool sawSst = false;
    bool sawWindow = false;
    KeptRecorder kept(Substream::Globals, workbook.kept);
    for (;;) {
        if (!walker.next(record))
            damaged(QStringLiteral("the workbook stream ends inside the workbook globals"));
        RecordCursor c = record.cursor();
        bool modelled = true;
        switch (record.id) {
            case rec::EOF_:
                globals.end = walker.offset();
                if (!fonts.empty())
                    workbook.fonts = std::move(fonts);
                if (!formats.empty())
                    workbook.formats = std::move(formats);
                if (!styles.empty())
                    workbook.styles = std::move(styles);
                checkIndexes(workbook);
                return globals;
            case rec::FILEPASS:
                // The stream was decrypted before it came here; a FILEPASS that was not is one too many.
                if (!workbook.encryption)
                    damaged(QStringLiteral("an encryption record stands where none can"));
                break;
            case rec::BOUNDSHEET:
                globals.sheets.push_back(readBoundSheet(c));
                break;
            case rec::CODEPAGE:
                workbook.codePage = c.u16();
                break;
            case rec::DATEMODE:
                workbook.date1904 = c.u16() != 0;
                break;
            case rec::TEMPLATE:
                workbook.isTemplate = true;
                break;
            case rec::WINDOW1:
                // Further windows onto the same workbook are kept as they are.
                modelled = !sawWindow;
                if (modelled)
                    readWindow1(c, workbook.window);
                sawWindow = true;
                break;
            case rec::FONT:
                fonts.push_back(readFont(c));
                break;
            case rec::FORMAT: {
                const quint16 id = c.u16();
                workbook.numberFormats[id] = readLongString(c);
                break;
            }
            case rec::XF:
                formats.push_back(readXf(c));
                break;
            case rec::STYLE:
                styles.push_back(readStyle(c));
                break;
            case rec::PALETTE:
                readPalette(c, workbook);
                break;
            case rec::SST:
                if (!sawSst)
                    globals.sharedStrings = readSharedStrings(record);
                sawSst = true;
                break;
            default:
                if (isKeptSetting(record.id)) {
                    workbook.keptSettings.try_emplace(record.id, record.data.toByteArray());
                } else if (!isRegenerated(record.id) && !readProtection(record, workbook.protection) &&
                           !readLinkRecord(record, workbook) &&
                           !readCalculationSetting(record, workbook.calculation)) {
                    modelled = false;
                }
                break;
        }
        if (modelled) {
            kept.modelled(record.id);
            workbook.asRead.add(keptFrom(record));
        } else {
            kept.keep(record);
        }
    }
}

std::optional<QByteArray> normalizedGlobalsRecord(quint16 id, QByteArrayView body) {
    RecordCursor c(body, id);
    switch (id) {
        case rec::BOF:
        case 0x00E1:  // INTERFACEHDR
        case 0x00C1:  // MMS
        case 0x00E2:  // INTERFACEEND
        case 0x005C:  // WRITEACCESS
        case 0x0161:  // DSF
        case 0x009C:  // FNGROUPCOUNT
        case 0x0160:  // USESELFS
        case rec::BACKUP:
        case rec::HIDEOBJ:
        case rec::PRECISION:
        case rec::REFRESHALL:
        case rec::BOOKBOOL:
        case rec::COUNTRY:
            return std::nullopt;
        case 0x013D:  // TABID: the sheets' ids, which mean nothing here but how many there are
            return tabIds(int(body.size() / 2)).bytes();
        case rec::WINDOWPROTECT:
        case rec::PROTECT:
        case rec::PROT4REV:
        case rec::DATEMODE:
            return u16Record(c.u16() != 0 ? 1 : 0).bytes();
        case rec::WINDOW1: {
            WorkbookWindow window;
            readWindow1(c, window);
            return window1(window).bytes();
        }
        case rec::FONT:
            return font(readFont(c)).bytes();
        case rec::FORMAT: {
            const quint16 formatId = c.u16();
            return format(formatId, readLongString(c)).bytes();
        }
        case rec::XF:
            return xf(readXf(c)).bytes();
        case rec::STYLE:
            return style(readStyle(c)).bytes();
        case rec::PALETTE: {
            Workbook scratch;
            readPalette(c, scratch);
            return palette(scratch.palette).bytes();
        }
        case rec::BOUNDSHEET: {
            const SheetEntry entry = readBoundSheet(c);
            RecordBuffer b;
            b.u32(0);  // the sheet's position, which the writer fills in
            b.u8(entry.visibility);
            b.u8(entry.type);
            b.shortString(entry.name);
            return b.bytes();
        }
        case rec::NAME: {
            // Reserved fields (an old sheet index among them, which some writers still fill) are zero as the
            // writer writes them.
            QByteArray normalized = body.toByteArray();
            if (normalized.size() >= 14) {
                normalized.replace(6, 2, QByteArray(2, '\0'));
                normalized.replace(10, 4, QByteArray(4, '\0'));
            }
            return normalized;
        }
        default:
            return body.toByteArray();
    }
}

}  // namespace spreadsheet::biff
