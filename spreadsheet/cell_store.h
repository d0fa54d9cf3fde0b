#pragma once

// The cells of a sheet, kept as a spreadsheet keeps them: by column, in pages of 64 rows whose present
// cells lie side by side in row order. Finding a cell is a few array steps, walking a column range is
// one step a cell, and a sheet that holds little costs little: a page exists only where a cell does.
//
// The interface is the part of std::map a sheet needs, iterating in row-major order (the order cell
// records are written), so code written against a map of cells reads the same. Unlike a map, adding a
// cell moves its page's neighbours: references and iterators into the store are good until the next
// cell is added or removed.

#include <QtGlobal>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "spreadsheet/cell_ref.h"

namespace spreadsheet {

template <typename T>
class CellStore {
public:
    using key_type = CellRef;
    using mapped_type = T;
    using value_type = std::pair<CellRef, T>;
    using size_type = std::size_t;

    template <bool Const>
    class Iterator;
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    CellStore() = default;
    CellStore(const CellStore& other) { *this = other; }
    CellStore(CellStore&&) noexcept = default;
    CellStore& operator=(CellStore&&) noexcept = default;
    CellStore& operator=(const CellStore& other);

    size_type size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { *this = CellStore(); }

    // The cell at a position, or nullptr (also for a position outside the sheet).
    const T* get(CellRef ref) const {
        const value_type* entry = entryAt(ref.row, ref.column);
        return entry ? &entry->second : nullptr;
    }
    T* get(CellRef ref) {
        value_type* entry = entryAt(ref.row, ref.column);
        return entry ? &entry->second : nullptr;
    }

    iterator find(CellRef ref) { return iterator(this, entryAt(ref.row, ref.column)); }
    const_iterator find(CellRef ref) const { return const_iterator(this, entryAt(ref.row, ref.column)); }
    size_type count(CellRef ref) const { return entryAt(ref.row, ref.column) ? 1 : 0; }

    // Adds a default cell unless one is there; a position outside the sheet throws std::out_of_range.
    std::pair<iterator, bool> try_emplace(CellRef ref) { return emplace(ref, T()); }
    std::pair<iterator, bool> emplace(CellRef ref, T value);
    T& operator[](CellRef ref) { return try_emplace(ref).first->second; }
    size_type erase(CellRef ref);

    iterator begin() { return iterator(this, seek(0, 0)); }
    iterator end() { return iterator(this, nullptr); }
    const_iterator begin() const { return const_iterator(this, seek(0, 0)); }
    const_iterator end() const { return const_iterator(this, nullptr); }
    // The first cell at or after the position in row-major order.
    iterator lower_bound(CellRef ref) { return iterator(this, seek(ref.row, ref.column)); }
    const_iterator lower_bound(CellRef ref) const { return const_iterator(this, seek(ref.row, ref.column)); }

    // The rectangle around every cell; nothing when empty.
    std::optional<CellRange> bounds() const;

    // Calls f(ref, cell) for each cell of the column between the rows (both included), in row order.
    template <typename F>
    void forEachInColumn(int column, int firstRow, int lastRow, F&& f) const;
    // Calls f(ref, cell) for each cell inside the range, row by row.
    template <typename F>
    void forEachIn(const CellRange& range, F&& f) const;

private:
    static constexpr int kPageRows = 64;
    static constexpr int kChapterPages = 64;
    static constexpr int kChapterRows = kPageRows * kChapterPages;
    static constexpr int kChapters = (kMaxRows + kChapterRows - 1) / kChapterRows;

    struct Page {
        quint64 present = 0;              // bit i: row (page's first row + i) holds a cell
        std::vector<value_type> entries;  // the present cells, in row order
    };
    struct Chapter {
        std::array<std::unique_ptr<Page>, kChapterPages> pages;
    };
    struct Column {
        std::array<std::unique_ptr<Chapter>, kChapters> chapters;
        int firstRow = 0;
        int lastRow = -1;
        size_type count = 0;
    };

    static quint64 below(int bit) { return bit >= 64 ? ~quint64(0) : (quint64(1) << bit) - 1; }

    const Page* pageAt(const Column& column, int page) const {
        const Chapter* chapter = column.chapters[size_t(page / kChapterPages)].get();
        return chapter ? chapter->pages[size_t(page % kChapterPages)].get() : nullptr;
    }
    const value_type* entryAt(int row, int column) const {
        if (column < 0 || size_t(column) >= columns_.size() || row < 0 || row >= kMaxRows)
            return nullptr;
        const Column& c = columns_[size_t(column)];
        if (row < c.firstRow || row > c.lastRow)
            return nullptr;
        const Page* page = pageAt(c, row / kPageRows);
        const int bit = row % kPageRows;
        if (!page || !(page->present >> bit & 1))
            return nullptr;
        return &page->entries[size_t(std::popcount(page->present & below(bit)))];
    }
    value_type* entryAt(int row, int column) {
        return const_cast<value_type*>(std::as_const(*this).entryAt(row, column));
    }
    // The next row at or after `row` that holds a cell in any column; -1 when none does.
    int nextRow(int row) const;
    // The first cell at or after (row, column) in row-major order; nullptr when none.
    const value_type* seek(int row, int column) const;
    value_type* seek(int row, int column) {
        return const_cast<value_type*>(std::as_const(*this).seek(row, column));
    }
    void refreshBounds(Column& column);

    std::vector<Column> columns_;    // by column, up to the last one that ever held a cell
    std::vector<quint64> rowsUsed_;  // per 64 rows: which hold a cell in some column
    size_type size_ = 0;

public:
    template <bool Const>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CellStore::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const value_type*, value_type*>;
        using reference = std::conditional_t<Const, const value_type&, value_type&>;
        using Store = std::conditional_t<Const, const CellStore, CellStore>;

        Iterator() = default;
        Iterator(Store* store, pointer entry) : store_(store), entry_(entry) {}
        operator Iterator<true>() const { return Iterator<true>(store_, entry_); }

        reference operator*() const { return *entry_; }
        pointer operator->() const { return entry_; }
        Iterator& operator++() {
            entry_ = const_cast<pointer>(store_->seek(entry_->first.row, entry_->first.column + 1));
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.entry_ == b.entry_; }

    private:
        Store* store_ = nullptr;
        pointer entry_ = nullptr;
    };
};

template <typename T>
CellStore<T>& CellStore<T>::operator=(const CellStore& other) {
    if (this == &other)
        return *this;
    std::vector<Column> columns(other.columns_.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        const Column& from = other.columns_[c];
        Column& to = columns[c];
        to.firstRow = from.firstRow;
        to.lastRow = from.lastRow;
        to.count = from.count;
        for (size_t h = 0; h < from.chapters.size(); ++h) {
            if (!from.chapters[h])
                continue;
            to.chapters[h] = std::make_unique<Chapter>();
            for (size_t p = 0; p < kChapterPages; ++p) {
                if (const Page* page = from.chapters[h]->pages[p].get())
                    to.chapters[h]->pages[p] = std::make_unique<Page>(*page);
            }
        }
    }
    columns_ = std::move(columns);
    rowsUsed_ = other.rowsUsed_;
    size_ = other.size_;
    return *this;
}

template <typename T>
std::pair<typename CellStore<T>::iterator, bool> CellStore<T>::emplace(CellRef ref, T value) {
    if (value_type* existing = entryAt(ref.row, ref.column))
        return {iterator(this, existing), false};
    if (!ref.isValid())
        throw std::out_of_range("a cell outside the sheet");
    if (size_t(ref.column) >= columns_.size())
        columns_.resize(size_t(ref.column) + 1);
    Column& column = columns_[size_t(ref.column)];
    auto& chapter = column.chapters[size_t(ref.row / kChapterRows)];
    if (!chapter)
        chapter = std::make_unique<Chapter>();
    auto& page = chapter->pages[size_t(ref.row / kPageRows % kChapterPages)];
    if (!page)
        page = std::make_unique<Page>();
    const int bit = ref.row % kPageRows;
    const size_t index = size_t(std::popcount(page->present & below(bit)));
    page->present |= quint64(1) << bit;
    auto at =
        page->entries.insert(page->entries.begin() + qsizetype(index), value_type(ref, std::move(value)));
    if (column.count == 0 || ref.row < column.firstRow)
        column.firstRow = ref.row;
    if (column.count == 0 || ref.row > column.lastRow)
        column.lastRow = ref.row;
    ++column.count;
    const size_t group = size_t(ref.row / kPageRows);
    if (group >= rowsUsed_.size())
        rowsUsed_.resize(group + 1, 0);
    rowsUsed_[group] |= quint64(1) << bit;
    ++size_;
    return {iterator(this, &*at), true};
}

template <typename T>
typename CellStore<T>::size_type CellStore<T>::erase(CellRef ref) {
    if (!entryAt(ref.row, ref.column))
        return 0;
    Column& column = columns_[size_t(ref.column)];
    Page& page =
        *column.chapters[size_t(ref.row / kChapterRows)]->pages[size_t(ref.row / kPageRows % kChapterPages)];
    const int bit = ref.row % kPageRows;
    page.entries.erase(page.entries.begin() + std::popcount(page.present & below(bit)));
    page.present &= ~(quint64(1) << bit);
    --column.count;
    --size_;
    if (ref.row == column.firstRow || ref.row == column.lastRow)
        refreshBounds(column);
    bool rowUsed = false;
    for (size_t c = 0; c < columns_.size() && !rowUsed; ++c)
        rowUsed = entryAt(ref.row, int(c)) != nullptr;
    if (!rowUsed)
        rowsUsed_[size_t(ref.row / kPageRows)] &= ~(quint64(1) << bit);
    return 1;
}

template <typename T>
void CellStore<T>::refreshBounds(Column& column) {
    if (column.count == 0) {
        column.firstRow = 0;
        column.lastRow = -1;
        return;
    }
    const auto rowOfPage = [&](int p, bool lowest) {
        const Page* page = pageAt(column, p);
        if (!page || !page->present)
            return -1;
        return p * kPageRows +
               (lowest ? std::countr_zero(page->present) : 63 - std::countl_zero(page->present));
    };
    for (int p = column.firstRow / kPageRows; p <= column.lastRow / kPageRows; ++p) {
        if (const int row = rowOfPage(p, true); row >= 0) {
            column.firstRow = row;
            break;
        }
    }
    for (int p = column.lastRow / kPageRows; p >= column.firstRow / kPageRows; --p) {
        if (const int row = rowOfPage(p, false); row >= 0) {
            column.lastRow = row;
            break;
        }
    }
}

template <typename T>
int CellStore<T>::nextRow(int row) const {
    if (row < 0)
        row = 0;
    for (size_t group = size_t(row / kPageRows); group < rowsUsed_.size(); ++group) {
        const int from = group == size_t(row / kPageRows) ? row % kPageRows : 0;
        const quint64 bits = rowsUsed_[group] & ~below(from);
        if (bits)
            return int(group) * kPageRows + std::countr_zero(bits);
    }
    return -1;
}

template <typename T>
const typename CellStore<T>::value_type* CellStore<T>::seek(int row, int column) const {
    if (row < 0) {
        row = 0;
        column = 0;
    }
    int r = nextRow(row);
    if (r != row || column < 0)
        column = 0;
    for (; r >= 0; r = nextRow(r + 1), column = 0) {
        for (int c = column; size_t(c) < columns_.size(); ++c) {
            if (const value_type* entry = entryAt(r, c))
                return entry;
        }
    }
    return nullptr;
}

template <typename T>
std::optional<CellRange> CellStore<T>::bounds() const {
    std::optional<CellRange> range;
    for (size_t c = 0; c < columns_.size(); ++c) {
        const Column& column = columns_[c];
        if (column.count == 0)
            continue;
        if (!range) {
            range = CellRange{{column.firstRow, int(c)}, {column.lastRow, int(c)}};
            continue;
        }
        range->first.row = std::min(range->first.row, column.firstRow);
        range->last.row = std::max(range->last.row, column.lastRow);
        range->last.column = int(c);
    }
    return range;
}

template <typename T>
template <typename F>
void CellStore<T>::forEachInColumn(int column, int firstRow, int lastRow, F&& f) const {
    if (column < 0 || size_t(column) >= columns_.size())
        return;
    const Column& c = columns_[size_t(column)];
    firstRow = std::max(firstRow, c.firstRow);
    lastRow = std::min(lastRow, c.lastRow);
    for (int p = firstRow / kPageRows; p <= lastRow / kPageRows && firstRow <= lastRow; ++p) {
        const Chapter* chapter = c.chapters[size_t(p / kChapterPages)].get();
        if (!chapter) {
            p = (p / kChapterPages + 1) * kChapterPages - 1;
            continue;
        }
        const Page* page = chapter->pages[size_t(p % kChapterPages)].get();
        if (!page)
            continue;
        const int from = p == firstRow / kPageRows ? firstRow % kPageRows : 0;
        const int to = p == lastRow / kPageRows ? lastRow % kPageRows : kPageRows - 1;
        const quint64 wanted = page->present & below(to + 1) & ~below(from);
        const value_type* entry = page->entries.data() + std::popcount(page->present & below(from));
        for (const value_type* last = entry + std::popcount(wanted); entry != last; ++entry)
            f(entry->first, entry->second);
    }
}

template <typename T>
template <typename F>
void CellStore<T>::forEachIn(const CellRange& range, F&& f) const {
    if (range.first.column == range.last.column) {
        forEachInColumn(range.first.column, range.first.row, range.last.row, f);
        return;
    }
    const int lastColumn = std::min(range.last.column, int(columns_.size()) - 1);
    for (int row = nextRow(range.first.row); row >= 0 && row <= range.last.row; row = nextRow(row + 1)) {
        for (int column = std::max(range.first.column, 0); column <= lastColumn; ++column) {
            if (const value_type* entry = entryAt(row, column))
                f(entry->first, entry->second);
        }
    }
}

}  // namespace spreadsheet
