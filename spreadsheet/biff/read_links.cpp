#include "spreadsheet/biff/read_links.h"

#include <array>

#include "spreadsheet/biff/kept.h"
#include "spreadsheet/biff/read_strings.h"

namespace spreadsheet::biff {

namespace {

constexpr quint16 kSelfMarker = 0x0401;
constexpr quint16 kAddInMarker = 0x3A01;
constexpr quint16 kNameHidden = 0x0001, kNameBuiltIn = 0x0020;

// A record's data with its CONTINUE records, as one piece: NAME and EXTERNNAME go on byte for byte.
QByteArray joined(const Record& record) {
    QByteArray data = record.data.toByteArray();
    for (QByteArrayView part : record.continues)
        data += part;
    return data;
}

QString readCharacters(RecordCursor& c, qsizetype count, bool sixteenBit) {
    QString text;
    const QByteArrayView bytes = c.bytes(count * (sixteenBit ? 2 : 1));
    for (qsizetype i = 0; i < count; ++i) {
        text.append(sixteenBit ? QChar(quint16(quint8(bytes[2 * i]) | (quint8(bytes[2 * i + 1]) << 8)))
                               : QChar(quint8(bytes[i])));
    }
    return text;
}

void readName(const Record& record, Workbook& workbook) {
    const QByteArray data = joined(record);
    RecordCursor c(data, record.id);
    DefinedName name;
    const quint16 flags = c.u16();
    name.keyboardShortcut = c.u8();
    const quint8 length = c.u8();
    const quint16 tokenLength = c.u16();
    c.u16();
    const quint16 tab = c.u16();
    c.skip(4);  // lengths of menu, description, help and status texts: unused since BIFF8
    const bool sixteenBit = c.u8() & 0x01;
    const QString text = readCharacters(c, length, sixteenBit);
    name.hidden = flags & kNameHidden;
    name.builtIn = flags & kNameBuiltIn;
    name.otherFlags = flags & ~(kNameHidden | kNameBuiltIn);
    if (name.builtIn && !text.isEmpty()) {
        name.builtInCode = quint8(text[0].unicode());
        name.name = builtInNameText(name.builtInCode);
    } else {
        name.name = text;
    }
    name.sheet = int(tab) - 1;  // a tab number until remapTabs()
    name.formula.tokens = c.bytes(tokenLength).toByteArray();
    name.formula.extra = c.bytes(c.remaining()).toByteArray();
    workbook.names.push_back(std::move(name));
}

void readSupBook(const Record& record, Workbook& workbook) {
    ContinuedCursor c = record.continuedCursor();
    SupportingBook book;
    const quint16 sheetCount = c.u16();
    const quint16 marker = c.u16();
    if (marker == kSelfMarker) {
        book.kind = SupportingBook::Kind::Self;
    } else if (marker == kAddInMarker) {
        book.kind = SupportingBook::Kind::AddIn;
    } else {
        const bool sixteenBit = c.u8() & 0x01;
        book.url = c.readCharacters(marker, sixteenBit);
        for (quint16 i = 0; i < sheetCount; ++i)
            book.sheetNames.push_back(readLongString(c));
        // DDE and OLE links name an application and a topic, split by character 3, and no sheets.
        book.kind = sheetCount == 0 && book.url.contains(QChar(3)) ? SupportingBook::Kind::Other
                                                                   : SupportingBook::Kind::External;
        book.record = keptFrom(record);
    }
    workbook.supportingBooks.push_back(std::move(book));
}

void readExternName(const Record& record, SupportingBook& book) {
    const QByteArray data = joined(record);
    RecordCursor c(data, record.id);
    c.skip(6);  // options and four bytes whose meaning depends on the kind of name
    book.externalNames.push_back(readShortString(c));
    book.externalNameRecords.push_back(data);
}

void readExternSheet(const Record& record, Workbook& workbook) {
    ContinuedCursor c = record.continuedCursor();
    const quint16 count = c.u16();
    for (quint16 i = 0; i < count; ++i) {
        ExternSheet entry;
        entry.supportingBook = c.u16();
        entry.firstSheet = qint16(c.u16());
        entry.lastSheet = qint16(c.u16());
        workbook.externSheets.push_back(entry);
    }
}

}  // namespace

QString builtInNameText(quint8 code) {
    static const std::array<const char*, 14> names = {
        "Consolidate_Area", "Auto_Open",       "Auto_Close",   "Extract",        "Database",
        "Criteria",         "Print_Area",      "Print_Titles", "Recorder",       "Data_Form",
        "Auto_Activate",    "Auto_Deactivate", "Sheet_Title",  "_FilterDatabase"};
    if (code < names.size())
        return QString::fromLatin1(names[code]);
    return QStringLiteral("_BuiltIn%1").arg(code);
}

bool readLinkRecord(const Record& record, Workbook& workbook) {
    switch (record.id) {
        case rec::NAME:
            readName(record, workbook);
            return true;
        case rec::SUPBOOK:
            readSupBook(record, workbook);
            return true;
        case rec::EXTERNSHEET:
            readExternSheet(record, workbook);
            return true;
        case rec::EXTERNNAME:
        case rec::XCT:
        case rec::CRN:
            // They belong to the SUPBOOK before them; without one they are kept where they are.
            if (workbook.supportingBooks.empty())
                return false;
            if (record.id == rec::EXTERNNAME)
                readExternName(record, workbook.supportingBooks.back());
            else
                workbook.supportingBooks.back().cachedValues.push_back(keptFrom(record));
            return true;
        default:
            return false;
    }
}

void remapTabs(Workbook& workbook, const TabKinds& tabs) {
    const int tabCount = int(tabs.worksheet.size());
    for (DefinedName& name : workbook.names) {
        const int tab = name.sheet;
        name.sheet = -1;
        if (tab >= 0 && tab < tabCount) {
            name.sheet = tabs.worksheet[size_t(tab)];
            name.otherSheet = tabs.other[size_t(tab)];
        }
    }
    // A span's ends that fall on chart or macro sheets move inwards to the worksheets they enclose.
    auto firstWorksheetFrom = [&](int tab, int step, int stop) {
        for (int t = tab; t != stop; t += step) {
            if (tabs.worksheet[size_t(t)] >= 0)
                return tabs.worksheet[size_t(t)];
        }
        return -1;
    };
    for (ExternSheet& entry : workbook.externSheets) {
        if (entry.supportingBook >= workbook.supportingBooks.size() ||
            workbook.supportingBooks[entry.supportingBook].kind != SupportingBook::Kind::Self) {
            continue;
        }
        const int first = entry.firstSheet;
        const int last = entry.lastSheet;
        if (first < 0 || last < 0)
            continue;  // a lost sheet (-1) or the workbook itself (-2): kept as read
        if (first >= tabCount || last >= tabCount || first > last) {
            entry.firstSheet = entry.lastSheet = -1;
            continue;
        }
        const int firstSheet = firstWorksheetFrom(first, 1, last + 1);
        const int lastSheet = firstWorksheetFrom(last, -1, first - 1);
        entry.firstSheet = qint16(firstSheet);
        entry.lastSheet = qint16(firstSheet < 0 ? -1 : lastSheet);
    }
}

}  // namespace spreadsheet::biff
