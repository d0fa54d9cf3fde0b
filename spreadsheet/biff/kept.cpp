#include "spreadsheet/biff/kept.h"

#include <QCryptographicHash>
#include <algorithm>
#include <type_traits>

#include "spreadsheet/biff/read_globals.h"
#include "spreadsheet/biff/read_sheet_settings.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

namespace {

// Groups of modelled records in the writer's order. Records of one group share a rank; kept records
// after a group the engine may lengthen (marked afterAll) go after the whole group.
struct Group {
    std::vector<quint16> ids;
    bool afterAll = false;
};

const std::vector<Group>& groups(Substream substream) {
    using namespace rec;
    static const std::vector<Group> globals = {
        {{BOF}},
        {{FILEPASS}},
        {{TEMPLATE}},
        {{0x00E1}},  // INTERFACEHDR
        {{0x00C1}},  // MMS
        {{0x00E2}},  // INTERFACEEND
        {{0x005C}},  // WRITEACCESS
        {{CODEPAGE}},
        {{0x0161}},  // DSF
        {{0x013D}},  // TABID
        {{0x009C}},  // FNGROUPCOUNT
        {{WINDOWPROTECT}},
        {{PROTECT}},
        {{PASSWORD}},
        {{PROT4REV}},
        {{PROT4REVPASS}},
        {{WINDOW1}},
        {{BACKUP}},
        {{HIDEOBJ}},
        {{DATEMODE}},
        {{PRECISION}},
        {{REFRESHALL}},
        {{BOOKBOOL}},
        {{FONT}, true},
        {{FORMAT}, true},
        {{XF}, true},
        {{STYLE}},
        {{PALETTE}},
        {{0x0160}},  // USESELFS
        {{BOUNDSHEET}, true},
        {{COUNTRY, SUPBOOK, EXTERNNAME, XCT, CRN, EXTERNSHEET, NAME}, true},
        {{SST}},
        {{EXTSST}},
    };
    static const std::vector<Group> worksheet = {
        {{BOF}},
        {{INDEX}},
        {{CALCMODE}},
        {{CALCCOUNT}},
        {{REFMODE}},
        {{ITERATION}},
        {{DELTA}},
        {{SAVERECALC}},
        {{PRINTHEADERS}},
        {{PRINTGRIDLINES}},
        {{GRIDSET}},
        {{GUTS}},
        {{DEFAULTROWHEIGHT}},
        {{WSBOOL}},
        {{HEADER}},
        {{FOOTER}},
        {{HCENTER}},
        {{VCENTER}},
        {{LEFTMARGIN}},
        {{RIGHTMARGIN}},
        {{TOPMARGIN}},
        {{BOTTOMMARGIN}},
        {{SETUP}},
        {{PROTECT}},
        {{SCENPROTECT}},
        {{OBJPROTECT}},
        {{PASSWORD}},
        {{DEFCOLWIDTH}},
        {{COLINFO}, true},
        {{DIMENSIONS}},
        {{ROW, NUMBER, RK, MULRK, LABELSST, LABEL, RSTRING, BLANK, MULBLANK, BOOLERR, FORMULA, STRING,
          SHRFMLA, ARRAY, TABLE, DBCELL},
         true},
        // A pane and the other panes' selections come after the zoom, whether or not it is written.
        {{WINDOW2, SCL}, true},
        {{SELECTION}},
        {{MERGEDCELLS}, true},
    };
    // The same with the merged ranges right after the cell table, where LibreOffice puts them.
    static const std::vector<Group> mergesFirst = [] {
        std::vector<Group> order = worksheet;
        const Group merges = order.back();
        order.pop_back();
        const auto cells =
            std::find_if(order.begin(), order.end(), [](const Group& g) { return g.ids[0] == ROW; });
        order.insert(cells + 1, merges);
        return order;
    }();
    switch (substream) {
        case Substream::Globals:
            return globals;
        case Substream::Worksheet:
            return worksheet;
        case Substream::WorksheetMergesFirst:
            return mergesFirst;
    }
    return worksheet;
}

// The group's position in the writer's order; -1 for a record outside the table.
int rankOf(Substream substream, quint16 id) {
    const std::vector<Group>& table = groups(substream);
    for (size_t i = 0; i < table.size(); ++i) {
        if (std::find(table[i].ids.begin(), table[i].ids.end(), id) != table[i].ids.end())
            return int(i);
    }
    return -1;
}

quint32 bump(std::vector<std::pair<quint16, quint32>>& counts, quint16 id) {
    for (auto& [known, count] : counts) {
        if (known == id)
            return ++count;
    }
    counts.emplace_back(id, 1);
    return 1;
}

}  // namespace

KeptRecord keptFrom(const Record& record) {
    KeptRecord kept;
    kept.id = record.id;
    kept.data = record.data.toByteArray();
    for (QByteArrayView part : record.continues)
        kept.continues.push_back(part.toByteArray());
    return kept;
}

std::vector<QByteArray> piecesOf(const KeptRecord& record) {
    std::vector<QByteArray> pieces{record.data};
    pieces.insert(pieces.end(), record.continues.begin(), record.continues.end());
    return pieces;
}

qint64 appendKept(RecordStream& stream, const KeptRecord& record) {
    return stream.appendPieces(record.id, piecesOf(record));
}

// ---- KeptRecorder ----

KeptRecorder::KeptRecorder(Substream substream, std::vector<KeptRecord>& out)
    : substream_(substream), out_(out) {
    bump(counts_, rec::BOF);
}

void KeptRecorder::modelled(quint16 id) {
    const int rank = rankOf(substream_, id);
    if (rank < 0)
        return;
    const Group& group = groups(substream_)[size_t(rank)];
    const quint32 count = bump(counts_, id);
    if (group.afterAll) {
        after_ = *group.ids.begin();
        afterCount_ = 0;
    } else {
        after_ = id;
        afterCount_ = count;
    }
}

void KeptRecorder::keep(const Record& record) {
    KeptRecord kept = keptFrom(record);
    kept.after = after_;
    kept.afterCount = afterCount_;
    out_.push_back(std::move(kept));
}

// ---- KeptRecordWriter ----

KeptRecordWriter::KeptRecordWriter(Substream substream, RecordStream& stream,
                                   const std::vector<KeptRecord>& kept, const RecordsAsRead& asRead)
    : substream_(substream), stream_(stream), asRead_(asRead) {
    for (const KeptRecord& record : kept)
        pending_.push_back(&record);
}

void KeptRecordWriter::write(const KeptRecord& record) {
    appendKept(stream_, record);
}

qint64 KeptRecordWriter::append(quint16 id, const QByteArray& body) {
    return appendPieces(id, splitRecordBody(body));
}

void KeptRecordWriter::flushBefore(quint16 id) {
    // What was anchored to records earlier in the order, which were not written, goes first.
    const int rank = rankOf(substream_, id);
    std::erase_if(pending_, [&](const KeptRecord* record) {
        if (rankOf(substream_, record->after) < rank) {
            write(*record);
            return true;
        }
        return false;
    });
}

qint64 KeptRecordWriter::appendPieces(quint16 id, const std::vector<QByteArray>& pieces) {
    flushBefore(id);
    const quint32 count = bump(counts_, id);
    const KeptRecord* read = asRead_.find(id, count - 1);
    const qint64 position = read && saysTheSame(substream_, *read, pieces) ? appendKept(stream_, *read)
                                                                           : stream_.appendPieces(id, pieces);
    std::erase_if(pending_, [&](const KeptRecord* record) {
        if (record->after == id && record->afterCount == count) {
            write(*record);
            return true;
        }
        return false;
    });
    return position;
}

void KeptRecordWriter::finish() {
    for (const KeptRecord* record : pending_)
        write(*record);
    pending_.clear();
}

// ---- records as read ----

namespace {

QByteArray joined(const std::vector<QByteArray>& pieces) {
    QByteArray body;
    for (const QByteArray& piece : pieces)
        body += piece;
    return body;
}

}  // namespace

bool saysTheSame(Substream substream, const KeptRecord& asRead, const std::vector<QByteArray>& made) {
    const QByteArray read = joined(piecesOf(asRead));
    const QByteArray now = joined(made);
    if (read == now)
        return true;
    try {
        const std::optional<QByteArray> normalized = substream == Substream::Globals
                                                         ? normalizedGlobalsRecord(asRead.id, read)
                                                         : normalizedSheetRecord(asRead.id, read);
        return !normalized || *normalized == now;
    } catch (const SpreadsheetError&) {
        return false;  // a record the reader could not make sense of is made anew
    }
}

namespace {

class Digest {
public:
    template <typename T>
    void add(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        hash_.addData(QByteArrayView(reinterpret_cast<const char*>(&value), sizeof value));
    }
    void add(const QByteArray& bytes) {
        add(bytes.size());
        hash_.addData(bytes);
    }
    void add(const QString& text) {
        add(text.size());
        hash_.addData(QByteArrayView(reinterpret_cast<const char*>(text.constData()), text.size() * 2));
    }
    QByteArray result() const { return hash_.result(); }

private:
    QCryptographicHash hash_{QCryptographicHash::Sha1};
};

}  // namespace

QByteArray rowDigest(const Worksheet& sheet, int row) {
    Digest digest;
    if (const auto info = sheet.rows.find(row); info != sheet.rows.end()) {
        const RowInfo& r = info->second;
        digest.add('R');
        digest.add(r.heightTwips);
        digest.add(r.xf);
        digest.add(r.outlineLevel);
        digest.add(quint8(r.customHeight | r.hidden << 1 | r.hasFormat << 2 | r.collapsed << 3));
    }
    const auto& cells = sheet.cells();
    for (auto it = cells.lower_bound({row, 0}); it != cells.end() && it->first.row == row; ++it) {
        const Cell& cell = it->second;
        digest.add('C');
        digest.add(it->first.column);
        digest.add(cell.xf);
        digest.add(quint8(cell.value.index()));
        if (const double* number = std::get_if<double>(&cell.value))
            digest.add(*number);
        else if (const QString* text = std::get_if<QString>(&cell.value))
            digest.add(*text);
        else if (const bool* flag = std::get_if<bool>(&cell.value))
            digest.add(*flag);
        else if (const ErrorCode* error = std::get_if<ErrorCode>(&cell.value))
            digest.add(*error);
        if (const std::optional<Formula>& formula = cell.formula) {
            digest.add('F');
            digest.add(formula->tokens);
            digest.add(formula->extra);
            digest.add(quint8(formula->alwaysCalculate | formula->fromSharedFormula << 1));
        }
    }
    for (auto it = sheet.formulaBlocks.lower_bound({row, 0});
         it != sheet.formulaBlocks.end() && it->first.row == row; ++it) {
        digest.add('B');
        digest.add(it->first.column);
        for (const QByteArray& piece : piecesOf(it->second))
            digest.add(piece);
    }
    return digest.result();
}

}  // namespace spreadsheet::biff
