#pragma once
// Collation keys of a table's texts, made on a helper thread while the rows arrive, so that
// the first sort by those texts finds most keys made. The helper runs at idle priority: it
// takes only a core nobody else wants. Keys are kept front-coded (each without the beginning
// it shares with the one before), which for the paths of a folder tree is an eighth of their
// full size.

#include "Collation.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vintrel {

// Keys by the index add() gave their texts.
class SortKeyTable {
  public:
    std::string_view operator[](uint32_t index) const {
        const size_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(bytes_).substr(begin, ends_[index] - begin);
    }
    size_t size() const { return ends_.size(); }
    void add(std::string_view text, const Collation& collation) {
        collation.appendSortKey(text, bytes_);
        ends_.push_back(bytes_.size());
    }
    void append(const SortKeyTable& more);

  private:
    friend class BackgroundSortKeys;
    std::string bytes_;
    std::vector<size_t> ends_;
};

// The keys of `count` texts, made here and, for many, on one more thread with a collator of
// its own: a key costs about a microsecond.
SortKeyTable MakeSortKeys(const std::string_view* texts, size_t count, const Collation& collation);

class BackgroundSortKeys {
  public:
    explicit BackgroundSortKeys(const Collation& collation);
    ~BackgroundSortKeys();
    BackgroundSortKeys(const BackgroundSortKeys&) = delete;
    BackgroundSortKeys& operator=(const BackgroundSortKeys&) = delete;

    // Queues texts for keys; their bytes must stay where they are until reset() or forget()
    // lets go of them. The index of the first text's key; the others follow it.
    uint32_t add(const std::vector<std::string_view>& texts);
    // Texts about to go away: their keys will not be asked for.
    void forget(const std::vector<uint32_t>& indexes);
    // Forgets every text and key; indexes start at 0 again. A new collation, where given,
    // makes the keys from now on.
    void reset();
    void reset(const Collation& collation);

    // Every key added so far. Those not made yet are made now, here and on one more thread.
    SortKeyTable all();
    // Keys the helper has made; for tests.
    size_t made() const;

  private:
    // Holds the helper off while the caller changes what it reads; the helper's key in hand is
    // finished first.
    class Pause;
    void helperLoop();
    // Adds made keys to the front-coded store; under the lock.
    void store(const SortKeyTable& keys);
    void clearUnderLock();

    Collation collation_; // the helper's own
    mutable std::mutex mutex_;
    std::condition_variable wake_;        // work for the helper, the end of a pause, or the end
    std::condition_variable idle_;        // the helper has no texts in hand
    std::vector<std::string_view> queue_; // texts from index made_ on
    size_t queueStart_ = 0;               // queue_[queueStart_] is the text of index made_
    uint32_t added_ = 0;
    uint32_t made_ = 0;
    std::string coded_;   // the keys made, front-coded
    std::string lastKey_; // the last key stored, in full
    int pauses_ = 0;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread helper_;
};

} // namespace vintrel
