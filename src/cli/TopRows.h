#pragma once
// The first N rows of a listing under a sort order, kept while the walk goes on: `--top N`
// then holds N rows and one batch of the walk's, never the whole listing. Ties stay in walk
// order, as in a stable sort.

#include "Records.h"

#include <functional>
#include <string>
#include <vector>

namespace vintrel {

class TopRows {
  public:
    // The key a row sorts by: the text (names) or the number (everything else).
    using Key = std::pair<std::string, double>;
    TopRows(size_t count, bool reverse, std::function<Key(const TFileRec&)> keyOf);

    // Takes every row of the list, in walk order; the list may then be cleared.
    void take(const TFileList& list);
    // The kept rows in order; views into this object.
    std::vector<TFileRec> rows() const;
    size_t rowsTaken() const { return taken_; }
    int64_t totalSize() const { return totalSize_; }

  private:
    struct Kept {
        Key key;
        uint64_t walkOrder;
        std::string path;
        TFileRec record;
    };
    bool before(const Kept& a, const Kept& b) const;

    size_t count_;
    bool reverse_;
    std::function<Key(const TFileRec&)> keyOf_;
    std::vector<Kept> heap_; // the last of the kept rows on top
    uint64_t taken_ = 0;
    int64_t totalSize_ = 0;
};

} // namespace vintrel
