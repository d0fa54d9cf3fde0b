#include "spreadsheet/formula/dependency_index.h"

#include <algorithm>

namespace spreadsheet::formula_detail {

DependencyIndex::AreaKey DependencyIndex::areaKey(const Area& area) {
    const CellRange& r = area.range;
    return {area.sheet, quint64(quint16(r.first.row)) << 32 | quint64(quint16(r.last.row)) << 16 |
                            quint64(quint8(r.first.column)) << 8 | quint64(quint8(r.last.column))};
}

namespace {
bool before(const Reader& a, const Reader& b) {
    return a.slot != b.slot ? a.slot < b.slot : a.version < b.version;
}
}  // namespace

void DependencyIndex::add(Reader reader, const std::vector<Area>& areas) {
    for (const Area& area : areas) {
        const auto [found, added] = areaIds_.try_emplace(areaKey(area), quint32(areas_.size()));
        if (!added) {
            areas_[found->second].readers.push_back(reader);
            continue;
        }
        areas_.push_back({area, {reader}, {}});
        const quint32 id = found->second;
        const CellRange& r = area.range;
        const bool narrow = r.columnCount() <= kNarrowColumns;
        for (int block = r.first.row / kBlockRows; block <= r.last.row / kBlockRows; ++block) {
            if (!narrow) {
                buckets_[bucketKey(area.sheet, kWide, block)].push_back(id);
                continue;
            }
            for (int column = r.first.column; column <= r.last.column; ++column)
                buckets_[bucketKey(area.sheet, quint64(column), block)].push_back(id);
        }
    }
}

void DependencyIndex::remove(Reader reader, const std::vector<Area>& areas) {
    for (const Area& area : areas) {
        const auto found = areaIds_.find(areaKey(area));
        if (found == areaIds_.end())
            continue;
        AreaReaders& entry = areas_[found->second];
        entry.gone.push_back(reader);
        if (entry.gone.size() * 2 < entry.readers.size())
            continue;
        std::sort(entry.gone.begin(), entry.gone.end(), before);
        std::erase_if(entry.readers, [&](const Reader& r) {
            return std::binary_search(entry.gone.begin(), entry.gone.end(), r, before);
        });
        entry.gone.clear();
    }
}

void DependencyIndex::clear() {
    areas_.clear();
    areaIds_.clear();
    buckets_.clear();
}

}  // namespace spreadsheet::formula_detail
