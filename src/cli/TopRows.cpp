#include "TopRows.h"

#include <algorithm>

namespace vintrel {

TopRows::TopRows(size_t count, bool reverse, std::function<Key(const TFileRec&)> keyOf)
    : count_(count), reverse_(reverse), keyOf_(std::move(keyOf)) {}

bool TopRows::before(const Kept& a, const Kept& b) const {
    if (a.key != b.key) return reverse_ ? b.key < a.key : a.key < b.key;
    return a.walkOrder < b.walkOrder;
}

void TopRows::take(const TFileList& list) {
    const auto worstOnTop = [this](const Kept& a, const Kept& b) { return before(a, b); };
    for (const TFileRec& record : list) {
        totalSize_ = SaturatingAdd(totalSize_, record.Size);
        Kept row{keyOf_(record), taken_++, {}, record};
        if (count_ == 0) continue;
        if (heap_.size() == count_) {
            if (!before(row, heap_.front())) continue;
            row.path = record.FileName; // copied only for a row that is kept
            std::pop_heap(heap_.begin(), heap_.end(), worstOnTop);
            heap_.back() = std::move(row);
        } else {
            row.path = record.FileName;
            heap_.push_back(std::move(row));
        }
        std::push_heap(heap_.begin(), heap_.end(), worstOnTop);
    }
}

std::vector<TFileRec> TopRows::rows() const {
    std::vector<const Kept*> sorted;
    for (const Kept& row : heap_) sorted.push_back(&row);
    std::sort(sorted.begin(), sorted.end(),
              [this](const Kept* a, const Kept* b) { return before(*a, *b); });
    std::vector<TFileRec> out;
    for (const Kept* row : sorted) {
        TFileRec record = row->record;
        record.FileName = row->path;
        out.push_back(record);
    }
    return out;
}

} // namespace vintrel
