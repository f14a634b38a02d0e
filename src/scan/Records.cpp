#include "Records.h"

#include <algorithm>

namespace vintrel {

int64_t FileSizeOf(const FindRecord& entry) {
    return entry.size;
}

const TFileRec& TFileList::append(const FindRecord& entry, std::string_view folder) {
    const bool addSeparator = !folder.empty() && folder.back() != '/';
    const size_t length = folder.size() + addSeparator + entry.name.size();
    char* text = reserveText(length);
    char* at = std::copy(folder.begin(), folder.end(), text);
    if (addSeparator) *at++ = '/';
    std::copy(entry.name.begin(), entry.name.end(), at);
    records_.push_back({std::string_view(text, length), entry.created, entry.modified,
                        FileSizeOf(entry), entry.attributes, entry.identity});
    ++blocks_.back().records;
    return records_.back();
}

char* TFileList::reserveText(size_t length) {
    constexpr size_t kBlockSize = 1 << 20;
    if (length > blockFree_ || blocks_.empty()) {
        const size_t size = std::max(kBlockSize, length);
        blocks_.push_back({std::make_unique_for_overwrite<char[]>(size)}); // no need to zero it
        blockNext_ = blocks_.back().text.get();
        blockFree_ = size;
    }
    char* text = blockNext_;
    blockNext_ += length;
    blockFree_ -= length;
    return text;
}

void TFileList::clear() {
    records_.clear();
    records_.shrink_to_fit();
    blocks_.clear();
    blockFree_ = 0;
    blockNext_ = nullptr;
}

TDataRec::TDataRec(const FindRecord& entry)
    : Extension(ExtensionOf(entry.name)), TotalSize(FileSizeOf(entry)) {}

void TDataRec::AddFile(const FindRecord& entry, const Collation& collation) {
    if (collation.equal(ExtensionOf(entry.name), Extension)) addCounted(FileSizeOf(entry));
}

int TDataIndexList::IndexOfType(std::string_view typeText) const {
    RecentType* recent = nullptr;
    uint64_t bytes = 0;
    if (typeText.size() <= sizeof bytes) {
        for (const char c : typeText) bytes = bytes << 8 | static_cast<unsigned char>(c);
        recent = &recent_[((bytes + typeText.size()) * 0x9E3779B97F4A7C15ULL) >> 54];
        if (recent->bytes == bytes && recent->length == typeText.size()) return recent->position;
    }
    int index = byExact_.find(typeText);
    if (index < 0) {
        std::string key = collation_->equalityKey(typeText);
        index = byKey_.find(key);
        if (index < 0) {
            missText_ = typeText;
            missKey_ = std::move(key);
            return -1;
        }
        byExact_.insert(typeText, index);
    }
    const int position = entries_[index].Position;
    if (recent) *recent = {bytes, static_cast<uint32_t>(typeText.size()), position};
    return position;
}

int TDataIndexList::add(std::string_view typeText, int position) {
    const int index = static_cast<int>(entries_.size());
    entries_.push_back({std::string(typeText), position});
    std::string key = typeText == missText_ ? missKey_ : collation_->equalityKey(typeText);
    byKey_.insert(key, index); // kept when an equal key came first
    byExact_.insert(typeText, byKey_.find(key));
    return index;
}

void TDataIndexList::clear() {
    entries_.clear();
    byKey_.clear();
    byExact_.clear();
    missText_.clear();
    missKey_.clear();
    recent_.fill({});
}

} // namespace vintrel
