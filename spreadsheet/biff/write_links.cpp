#include "spreadsheet/biff/write_links.h"

#include "spreadsheet/biff/read_links.h"
#include "spreadsheet/biff/read_strings.h"
#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

namespace {

constexpr quint16 kSelfMarker = 0x0401;
constexpr quint16 kAddInMarker = 0x3A01;
constexpr quint16 kNameHidden = 0x0001, kNameBuiltIn = 0x0020;
constexpr int kMaxEntriesPerRecord = (kMaxRecordData - 2) / 6;

bool sameAsRead(const SupportingBook& book) {
    if (book.record.data.isEmpty())
        return false;
    try {
        Record record;
        record.id = rec::SUPBOOK;
        record.data = book.record.data;
        for (const QByteArray& part : book.record.continues)
            record.continues.push_back(part);
        Workbook scratch;
        readLinkRecord(record, scratch);
        const SupportingBook& read = scratch.supportingBooks.front();
        return read.kind == book.kind && read.url == book.url && read.sheetNames == book.sheetNames;
    } catch (const SpreadsheetError&) {
        return false;
    }
}

QString externNameOf(const QByteArray& body) {
    try {
        RecordCursor c(body, rec::EXTERNNAME);
        c.skip(6);
        return readShortString(c);
    } catch (const SpreadsheetError&) {
        return {};
    }
}

RecordBuffer supBook(const SupportingBook& book, int tabCount) {
    RecordBuffer b;
    switch (book.kind) {
        case SupportingBook::Kind::Self:
            b.u16(quint16(tabCount));
            b.u16(kSelfMarker);
            break;
        case SupportingBook::Kind::AddIn:
            b.u16(1);
            b.u16(kAddInMarker);
            break;
        case SupportingBook::Kind::External:
        case SupportingBook::Kind::Other:
            if (book.url.isEmpty() || book.url.size() >= 0xFF00 || book.sheetNames.size() > 0xFFFF)
                throw SpreadsheetError(QStringLiteral("A link to another workbook has no valid file name."));
            b.u16(quint16(book.sheetNames.size()));
            b.u16(quint16(book.url.size()));
            b.stringBody(book.url);
            for (const QString& sheet : book.sheetNames)
                b.string(sheet);
            break;
    }
    return b;
}

void writeSupportingBook(KeptRecordWriter& writer, const SupportingBook& book, int tabCount) {
    if (sameAsRead(book)) {
        writer.appendPieces(rec::SUPBOOK, piecesOf(book.record));
    } else {
        writer.append(rec::SUPBOOK, supBook(book, tabCount));
    }
    for (size_t i = 0; i < book.externalNames.size(); ++i) {
        const bool asRead = i < book.externalNameRecords.size() &&
                            externNameOf(book.externalNameRecords[i]) == book.externalNames[i];
        writer.append(rec::EXTERNNAME,
                      asRead ? book.externalNameRecords[i] : externName(book.externalNames[i]).bytes());
    }
    for (const KeptRecord& cached : book.cachedValues)
        appendKept(writer.stream(), cached);
}

}  // namespace

TabOrder tabOrder(const Workbook& workbook) {
    TabOrder order;
    order.ofSheet.assign(workbook.sheets.size(), -1);
    order.ofOther.assign(workbook.otherSheets.size(), -1);
    for (size_t sheet = 0; sheet <= workbook.sheets.size(); ++sheet) {
        for (size_t other = 0; other < workbook.otherSheets.size(); ++other) {
            const size_t before = std::min(workbook.otherSheets[other].beforeSheet, workbook.sheets.size());
            if (before == sheet)
                order.ofOther[other] = order.count++;
        }
        if (sheet < workbook.sheets.size())
            order.ofSheet[sheet] = order.count++;
    }
    return order;
}

void validateLinks(const Workbook& workbook) {
    const int sheets = int(workbook.sheets.size());
    for (const DefinedName& name : workbook.names) {
        if (name.sheet >= sheets || name.otherSheet >= int(workbook.otherSheets.size()) ||
            name.formula.tokens.size() > 0xFFFF ||
            (!name.builtIn && (name.name.isEmpty() || name.name.size() > 255)))
            throw SpreadsheetError(QStringLiteral("The defined name \"%1\" is not valid.").arg(name.name));
    }
    for (const ExternSheet& entry : workbook.externSheets) {
        if (entry.supportingBook >= workbook.supportingBooks.size())
            throw SpreadsheetError(QStringLiteral("A reference to another sheet names no workbook."));
        const SupportingBook& book = workbook.supportingBooks[entry.supportingBook];
        const int limit = book.kind == SupportingBook::Kind::Self ? sheets : int(book.sheetNames.size());
        if (book.kind != SupportingBook::Kind::AddIn &&
            (entry.firstSheet >= limit || entry.lastSheet >= limit))
            throw SpreadsheetError(
                QStringLiteral("A reference to another sheet names a sheet that does not exist."));
    }
    if (!workbook.externSheets.empty() && workbook.supportingBooks.empty())
        throw SpreadsheetError(QStringLiteral("References to other sheets need the workbook's link table."));
}

RecordBuffer externName(const QString& name) {
    RecordBuffer b;
    b.u16(0);  // options: a plain name
    b.u16(0);
    b.u16(0);
    b.shortString(name);
    b.u16(2);  // its definition is not known here: #REF!
    b.u8(0x1C);
    b.u8(quint8(ErrorCode::Ref));
    return b;
}

RecordBuffer nameRecord(const DefinedName& name, int itab) {
    const QString text = name.builtIn ? QString(QChar(name.builtInCode)) : name.name;
    RecordBuffer b;
    b.u16(quint16((name.otherFlags & ~(kNameHidden | kNameBuiltIn)) | (name.hidden ? kNameHidden : 0) |
                  (name.builtIn ? kNameBuiltIn : 0)));
    b.u8(name.keyboardShortcut);
    b.u8(quint8(text.size()));
    b.u16(quint16(name.formula.tokens.size()));
    b.u16(0);
    b.u16(quint16(itab));
    b.zeros(4);
    b.stringBody(text);
    b.raw(name.formula.tokens);
    b.raw(name.formula.extra);
    return b;
}

void writeLinks(KeptRecordWriter& writer, const Workbook& workbook, const TabOrder& tabs) {
    for (const SupportingBook& book : workbook.supportingBooks)
        writeSupportingBook(writer, book, tabs.count);

    if (!workbook.supportingBooks.empty()) {
        // Long lists go on in CONTINUE records at entry boundaries.
        std::vector<QByteArray> pieces;
        RecordBuffer piece;
        piece.u16(quint16(workbook.externSheets.size()));
        int inPiece = 0;
        for (const ExternSheet& entry : workbook.externSheets) {
            if (inPiece == kMaxEntriesPerRecord) {
                pieces.push_back(piece.bytes());
                piece = RecordBuffer();
                inPiece = 0;
            }
            const bool self =
                workbook.supportingBooks[entry.supportingBook].kind == SupportingBook::Kind::Self;
            auto tab = [&](qint16 sheet) {
                return self && sheet >= 0 ? quint16(tabs.ofSheet[size_t(sheet)]) : quint16(sheet);
            };
            piece.u16(entry.supportingBook);
            piece.u16(tab(entry.firstSheet));
            piece.u16(tab(entry.lastSheet));
            ++inPiece;
        }
        pieces.push_back(piece.bytes());
        writer.appendPieces(rec::EXTERNSHEET, pieces);
    }

    for (const DefinedName& name : workbook.names) {
        const int itab = name.sheet >= 0        ? tabs.ofSheet[size_t(name.sheet)] + 1
                         : name.otherSheet >= 0 ? tabs.ofOther[size_t(name.otherSheet)] + 1
                                                : 0;
        writer.append(rec::NAME, nameRecord(name, itab));
    }
}

}  // namespace spreadsheet::biff
