#pragma once
// A map from exact byte strings to small integers, open-addressed: the type index asks it
// once for every counted file, and it must cost the same with 100,000 types as with 10. The
// table holds only a hash tag and an entry number (8 bytes a slot); the keys lie one after
// another in one buffer, so growing touches little memory.

#include "LargeBlockAllocator.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

class ExactTextMap {
  public:
    ExactTextMap();

    // The value stored for the key, or -1.
    int find(std::string_view key) const;
    // Stores the value unless the key is present already.
    void insert(std::string_view key, int value);
    void clear();
    size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        uint64_t hash;
        size_t offset; // of the key in texts_
        uint32_t length;
        int32_t value;
    };

    static uint64_t Hash(std::string_view key);
    // The slot holding the key, or the empty slot where it would go.
    size_t slotOf(uint64_t hash, std::string_view key) const;
    void grow();

    LargeVector<uint64_t> slots_; // 0: empty; else hash's high half << 32 | entry number + 1
    LargeVector<Entry> entries_;
    std::string texts_;
};

} // namespace vintrel
