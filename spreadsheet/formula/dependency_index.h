#pragma once

// From cells to the formulas that read them: each formula's references (cells and ranges, on any sheet)
// are filed under the columns and 128-row blocks they cover, so that the formulas reading a cell are
// found by looking at one bucket, whatever the number of formulas and ranges. A range read by many
// formulas (a look-up table) is filed once, with the list of its readers.

#include <QtGlobal>
#include <functional>
#include <unordered_map>
#include <vector>

#include "spreadsheet/formula/evaluator_types.h"

namespace spreadsheet::formula_detail {

// A formula as the index knows it: its slot in the calculation and the version of its tokens there.
// A formula that is replaced or removed is struck off lazily: until the area's next sweep its old
// version may still be reported, and the caller passes over versions that are no longer current.
struct Reader {
    quint32 slot = 0;
    quint32 version = 0;
    bool operator==(const Reader&) const = default;
};

class DependencyIndex {
public:
    void add(Reader reader, const std::vector<Area>& areas);
    // The formula no longer reads these areas (it was replaced or removed).
    void remove(Reader reader, const std::vector<Area>& areas);
    void clear();

    // Starts a pass over the index: within one pass, the readers of an area are reported once, for
    // the first cell asked about that lies in it.
    void startPass() { ++pass_; }
    // Calls f(reader) for the formulas filed as reading the cell and not reported yet in this pass,
    // possibly for versions since removed: the caller knows which are current.
    template <typename F>
    void forEachReader(int sheet, CellRef ref, F&& f);

private:
    static constexpr int kBlockRows = 128;
    // A range wider than this is filed by row block only, not by column.
    static constexpr int kNarrowColumns = 4;
    static constexpr quint64 kWide = 0xFFFF;

    struct AreaReaders {
        Area area;
        std::vector<Reader> readers;
        std::vector<Reader> gone;  // struck off since the last sweep
        quint32 pass = 0;          // the last pass that reported its readers
    };

    // An area as a key: its sheet, and its rows and columns packed into 48 bits.
    struct AreaKey {
        int sheet = 0;
        quint64 range = 0;
        bool operator==(const AreaKey&) const = default;
    };
    struct AreaKeyHash {
        size_t operator()(const AreaKey& key) const {
            return std::hash<quint64>()(key.range ^ (quint64(quint32(key.sheet)) * 0x9E3779B97F4A7C15ull));
        }
    };
    static AreaKey areaKey(const Area& area);
    static quint64 bucketKey(int sheet, quint64 column, int block) {
        return quint64(quint32(sheet)) << 32 | column << 16 | quint64(block);
    }

    std::vector<AreaReaders> areas_;
    std::unordered_map<AreaKey, quint32, AreaKeyHash> areaIds_;
    std::unordered_map<quint64, std::vector<quint32>> buckets_;  // area ids by sheet, column and block
    quint32 pass_ = 0;
};

template <typename F>
void DependencyIndex::forEachReader(int sheet, CellRef ref, F&& f) {
    const int block = ref.row / kBlockRows;
    for (const quint64 column : {quint64(ref.column), kWide}) {
        const auto bucket = buckets_.find(bucketKey(sheet, column, block));
        if (bucket == buckets_.end())
            continue;
        for (const quint32 id : bucket->second) {
            AreaReaders& entry = areas_[id];
            if (entry.pass == pass_ || entry.area.sheet != sheet || !entry.area.range.contains(ref))
                continue;
            entry.pass = pass_;
            for (const Reader& reader : entry.readers)
                f(reader);
        }
    }
}

}  // namespace spreadsheet::formula_detail
