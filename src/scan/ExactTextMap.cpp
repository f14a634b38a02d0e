#include "ExactTextMap.h"

#include <cstring>

namespace vintrel {

namespace {
constexpr size_t kInitialSlots = 64;
} // namespace

ExactTextMap::ExactTextMap() : slots_(kInitialSlots) {}

uint64_t ExactTextMap::Hash(std::string_view key) {
    uint64_t hash = 1469598103934665603ULL; // FNV-1a
    for (const char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return hash ^ (hash >> 29);
}

bool ExactTextMap::holds(const Slot& slot, uint64_t hash, std::string_view key) const {
    if (slot.hash != hash || slot.length != key.size()) return false;
    if (key.size() <= kInlineLength)
        return key.empty() || std::memcmp(slot.text, key.data(), key.size()) == 0;
    uint64_t offset = 0;
    std::memcpy(&offset, slot.text, sizeof offset);
    return std::string_view(longTexts_).substr(offset, key.size()) == key;
}

int ExactTextMap::find(std::string_view key) const {
    const uint64_t hash = Hash(key);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.value < 0) return -1;
        if (holds(slot, hash, key)) return slot.value;
    }
}

void ExactTextMap::insert(std::string_view key, int value) {
    if (key.size() > UINT16_MAX) return; // never a file-name extension: just not cached
    if ((size_ + 1) * 4 > slots_.size() * 3) grow();
    const uint64_t hash = Hash(key);
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    for (; slots_[i].value >= 0; i = (i + 1) & mask) {
        if (holds(slots_[i], hash, key)) return;
    }
    Slot& slot = slots_[i];
    slot.hash = hash;
    slot.value = value;
    slot.length = static_cast<uint16_t>(key.size());
    if (key.size() <= kInlineLength) {
        if (!key.empty()) std::memcpy(slot.text, key.data(), key.size());
    } else {
        const uint64_t offset = longTexts_.size();
        longTexts_.append(key);
        std::memcpy(slot.text, &offset, sizeof offset);
    }
    ++size_;
}

void ExactTextMap::grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.value < 0) continue;
        size_t i = slot.hash & mask;
        while (slots_[i].value >= 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void ExactTextMap::clear() {
    slots_.assign(kInitialSlots, Slot{});
    longTexts_.clear();
    size_ = 0;
}

} // namespace vintrel
