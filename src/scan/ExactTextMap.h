#pragma once
// A map from exact byte strings to small integers, flat and open-addressed: the type index
// asks it once for every counted file, and it must cost the same with 5,000 types as with
// 10. Short keys are kept inside the table itself.

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
    size_t size() const { return size_; }

  private:
    static constexpr size_t kInlineLength = 18;
    struct Slot {
        uint64_t hash = 0;
        int32_t value = -1; // -1: empty
        uint16_t length = 0;
        char text[kInlineLength]; // the key, or its offset in longTexts_ when longer
    };

    static uint64_t Hash(std::string_view key);
    bool holds(const Slot& slot, uint64_t hash, std::string_view key) const;
    void grow();

    std::vector<Slot> slots_;
    std::string longTexts_;
    size_t size_ = 0;
};

} // namespace vintrel
