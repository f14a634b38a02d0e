#include "ByteKeySort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>

namespace vintrel {

namespace {

constexpr size_t kChunk = 8;
constexpr size_t kSmallRun = 24;        // sorted by whole keys
constexpr ptrdiff_t kSplitAt = 100'000; // items worth a second thread

struct Item {
    uint64_t chunk; // the key's next eight bytes, big-endian, zeros past its end
    uint32_t row;
    uint8_t rest; // bytes of the key from this level on, 9 standing for "more than eight"
};

class Sorter {
  public:
    Sorter(const std::vector<std::string_view>& keys, bool ascending, int threads)
        : keys_(keys), ascending_(ascending), threads_(threads) {}

    void sort(Item* begin, Item* end, size_t depth) {
        while (end - begin > 1) {
            if (static_cast<size_t>(end - begin) <= kSmallRun)
                return sortWholeKeys(begin, end, depth);
            load(begin, end, depth);
            const bool shared = std::all_of(begin, end, [&](const Item& item) {
                return item.chunk == begin->chunk && item.rest > kChunk;
            });
            if (shared) { // a beginning every key here has: the next level, without sorting
                depth += kChunk;
                continue;
            }
            std::sort(begin, end, [this](const Item& a, const Item& b) { return before(a, b); });
            // The groups of equal chunks are ordered on their own; on a large table the ones
            // past the middle go to a second thread.
            Item* middle = end;
            std::thread helper;
            if (threads_ > 1 && end - begin >= kSplitAt) {
                middle = begin + (end - begin) / 2;
                while (middle != end && middle != begin && middle->chunk == (middle - 1)->chunk &&
                       middle->rest == (middle - 1)->rest)
                    ++middle;
                if (middle != end) {
                    helper = std::thread([this, middle, end, depth] {
                        Sorter(keys_, ascending_, 1).sortGroups(middle, end, depth);
                    });
                }
            }
            threads_ = 1;
            sortGroups(begin, middle, depth);
            if (helper.joinable()) helper.join();
            return;
        }
    }

  private:
    void sortGroups(Item* begin, Item* end, size_t depth) {
        for (Item* run = begin; run != end;) {
            Item* next = run + 1;
            while (next != end && next->chunk == run->chunk && next->rest == run->rest) ++next;
            if (run->rest > kChunk) sort(run, next, depth + kChunk);
            run = next;
        }
    }

    void load(Item* begin, Item* end, size_t depth) const {
        for (Item* item = begin; item != end; ++item) {
            const std::string_view key = keys_[item->row];
            const size_t left = key.size() - depth;
            unsigned char bytes[kChunk] = {};
            std::memcpy(bytes, key.data() + depth, std::min(left, kChunk));
            uint64_t chunk = 0;
            for (const unsigned char byte : bytes) chunk = chunk << 8 | byte;
            item->chunk = chunk;
            item->rest = static_cast<uint8_t>(std::min(left, kChunk + 1));
        }
    }

    bool before(const Item& a, const Item& b) const {
        if (a.chunk != b.chunk) return ascending_ == (a.chunk < b.chunk);
        if (a.rest != b.rest) return ascending_ == (a.rest < b.rest);
        return a.row < b.row;
    }

    void sortWholeKeys(Item* begin, Item* end, size_t depth) const {
        std::sort(begin, end, [&](const Item& a, const Item& b) {
            const int order = keys_[a.row].substr(depth).compare(keys_[b.row].substr(depth));
            if (order != 0) return ascending_ == (order < 0);
            return a.row < b.row;
        });
    }

    const std::vector<std::string_view>& keys_;
    bool ascending_;
    int threads_;
};

} // namespace

void SortRowsByByteKeys(std::vector<int>& rows, const std::vector<std::string_view>& keys,
                        bool ascending) {
    std::vector<Item> items(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) items[i].row = static_cast<uint32_t>(rows[i]);
    Sorter(keys, ascending, 2).sort(items.data(), items.data() + items.size(), 0);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(items[i].row);
}

} // namespace vintrel
