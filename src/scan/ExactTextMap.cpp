#include "ExactTextMap.h"

namespace vintrel {

namespace {
constexpr size_t kInitialSlots = 64;

uint64_t Tag(uint64_t hash) {
    return hash & 0xFFFFFFFF00000000ULL;
}
} // namespace

ExactTextMap::ExactTextMap() : slots_(kInitialSlots) {}

uint64_t ExactTextMap::Hash(std::string_view key) {
    uint64_t hash = 1469598103934665603ULL; // FNV-1a
    for (const char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    // FNV's low bits alone cluster for keys that differ in one character, as numbered
    // extensions do; the table indexes by the low bits, so mix the high ones in.
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    return hash ^ (hash >> 33);
}

size_t ExactTextMap::slotOf(uint64_t hash, std::string_view key) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const uint64_t slot = slots_[i];
        if (slot == 0) return i;
        if ((slot & 0xFFFFFFFF00000000ULL) != Tag(hash)) continue;
        const Entry& entry = entries_[(slot & 0xFFFFFFFFULL) - 1];
        if (entry.hash == hash &&
            std::string_view(texts_).substr(entry.offset, entry.length) == key)
            return i;
    }
}

int ExactTextMap::find(std::string_view key) const {
    const uint64_t slot = slots_[slotOf(Hash(key), key)];
    return slot == 0 ? -1 : entries_[(slot & 0xFFFFFFFFULL) - 1].value;
}

void ExactTextMap::insert(std::string_view key, int value) {
    if (key.size() > UINT32_MAX || entries_.size() >= UINT32_MAX - 1) return; // just not kept
    // At most half full: a miss, the common case while types are being found, then probes
    // about two slots instead of eight.
    if ((entries_.size() + 1) * 2 > slots_.size()) grow();
    const uint64_t hash = Hash(key);
    const size_t i = slotOf(hash, key);
    if (slots_[i] != 0) return;
    entries_.push_back({hash, texts_.size(), static_cast<uint32_t>(key.size()), value});
    texts_.append(key);
    slots_[i] = Tag(hash) | entries_.size();
}

void ExactTextMap::grow() {
    slots_.assign(slots_.size() * 2, 0);
    const size_t mask = slots_.size() - 1;
    for (size_t number = 0; number < entries_.size(); ++number) {
        const uint64_t hash = entries_[number].hash;
        size_t i = hash & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = Tag(hash) | (number + 1);
    }
}

void ExactTextMap::clear() {
    slots_.assign(kInitialSlots, 0);
    entries_.clear();
    texts_.clear();
}

} // namespace vintrel
