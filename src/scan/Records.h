#pragma once
// The records a walk produces: one TFileRec per listed file, one TDataRec per file type,
// and the type index that finds a type's record by its type text.

#include "Collation.h"
#include "ExactTextMap.h"
#include "FolderReader.h"
#include "LargeBlockAllocator.h"
#include "Paths.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

int64_t FileSizeOf(const FindRecord& entry);

struct TFileRec {
    std::string_view FileName; // full path, exact bytes, kept by the list that holds the record
    FileTime Created;
    FileTime Modified;
    int64_t Size;
    uint32_t Attributes;
    FileIdentity Identity; // which file was listed, so that a command acts on no other
};

// The listed files in the order the walk accepted them. Paths are stored in large blocks
// owned by the list rather than one allocation each: a listing of millions of files keeps
// about 50 bytes per file beside the path itself.
class TFileList {
  public:
    TFileList() = default;
    TFileList(const TFileList&) = delete;
    TFileList& operator=(const TFileList&) = delete;
    TFileList(TFileList&&) noexcept = default;
    TFileList& operator=(TFileList&&) noexcept = default;

    // FileName = WithTrailingBackslash(folder) + the entry's name.
    const TFileRec& append(const FindRecord& entry, std::string_view folder);

    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    const TFileRec& operator[](size_t i) const { return records_[i]; }
    const TFileRec& front() const { return records_.front(); }
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }
    void clear();

    // Hands each record to `take` in order, giving back the memory of the records handed
    // over as it goes, so that a table built from a large list does not hold both in full;
    // `take` returns false to stop. The list is empty afterwards.
    template <typename Take> void drain(Take&& take);

  private:
    struct Block {
        std::unique_ptr<char[]> text;
        size_t records = 0; // whose paths lie in it
    };

    char* reserveText(size_t length);

    std::deque<TFileRec> records_;
    std::vector<Block> blocks_;
    size_t blockFree_ = 0;
    char* blockNext_ = nullptr;
};

template <typename Take> void TFileList::drain(Take&& take) {
    // Paths lie in the blocks in the order of the records.
    for (Block& block : blocks_) {
        for (; block.records > 0; --block.records) {
            const bool more = take(records_.front());
            records_.pop_front();
            if (!more) {
                clear();
                return;
            }
        }
        block.text.reset();
    }
    clear();
}

// Sizes add up without overflow: a total that would pass the largest value stays there.
inline int64_t SaturatingAdd(int64_t total, int64_t size) {
    int64_t sum = 0;
    if (__builtin_add_overflow(total, size, &sum)) return size < 0 ? INT64_MIN : INT64_MAX;
    return sum;
}

struct TDataRec {
    explicit TDataRec(const FindRecord& entry);

    // Counts the file when its extension is this record's type under the collation.
    void AddFile(const FindRecord& entry, const Collation& collation);
    // Counts a file already known to be of this type.
    void addCounted(int64_t size) {
        ++Count;
        TotalSize = SaturatingAdd(TotalSize, size);
    }

    std::string Extension; // letter case of the first file counted
    int64_t Count = 1;
    int64_t TotalSize = 0;
};

struct tDataIndex {
    std::string Extension;
    int Position;
};

// The type index. IndexOfType answers what a linear search for the first entry equal under
// the collation answers, in constant time: exact extension bytes are looked up first, then
// equality keys of the collation.
class TDataIndexList {
  public:
    explicit TDataIndexList(const Collation& collation) : collation_(&collation) {}

    int IndexOfType(std::string_view typeText) const;
    const Collation& collation() const { return *collation_; }
    // Appends an entry; returns its index.
    int add(std::string_view typeText, int position);

    size_t size() const { return entries_.size(); }
    const tDataIndex& operator[](size_t i) const { return entries_[i]; }
    void clear();

  private:
    // A type text of up to eight bytes (most are) and the position last found for it.
    struct RecentType {
        uint64_t bytes = 0;
        uint32_t length = UINT32_MAX; // none yet
        int position = -1;
    };

    const Collation* collation_;
    LargeVector<tDataIndex> entries_;
    ExactTextMap byKey_;                     // equality key -> index of the first entry with it
    mutable ExactTextMap byExact_;           // exact bytes -> index, filled on look-up
    mutable std::string missText_, missKey_; // the key of the last miss, reused by add
    // Asked first: hashing and probing the maps costs over a hundred instructions, and the
    // walk asks for every file it counts.
    mutable std::array<RecentType, 1024> recent_{};
};

// The three result lists of a search.
struct ResultLists {
    explicit ResultLists(const Collation& collation) : TypeIndex(collation) {}

    LargeVector<TDataRec> TypeList;
    TDataIndexList TypeIndex;
    TFileList FileList;

    void clearTypes() {
        TypeList.clear();
        TypeIndex.clear();
    }
};

} // namespace vintrel
