#include "FolderScanner.h"

#include "FileAttributes.h"

#include <cstring>
#include <stdexcept>

namespace vintrel {

FolderScanner::FolderScanner(ScanHost& host, ScanState& state, ResultLists& lists)
    : host_(host), state_(state), lists_(lists) {
    RaiseOpenFileLimit();
}

void FolderScanner::ScanFolder(const std::string& folder, bool recurse, const ScanMode& mode) {
    if (running_) throw std::logic_error("A walk is already running");
    if (folder.empty()) return;
    state_.RootError.clear();
    state_.UnreadableFolders = 0;
    state_.UnreadableEntries = 0;
    state_.ExcludedFolders = 0;
    state_.OtherFileSystems = 0;

    mode_ = mode.kind;
    if (mode_ == ScanMode::Kind::OfType) {
        type_ = mode.type;
        typeKey_ = lists_.TypeIndex.collation().equalityKey(type_);
        isType_.clear();
    }
    recurse_ = recurse;

    // The folder masks, as they stand at the start: the read-ahead must leave out exactly
    // the folders the walk does.
    excluded_ = host_.options().excludeFolders;
    ReadAhead::FolderFilter leaveOut;
    if (!excluded_.empty()) {
        leaveOut = [this](std::string_view relativePath, std::string_view name) {
            return isExcluded(relativePath, name);
        };
    }
    ReadAhead reader(recurse, leaveOut, host_.options().oneFileSystem);
    rootLength_ = WithTrailingBackslash(folder).size();
    std::shared_ptr<FolderNode> root;
    if (const int error = reader.openRoot(folder, root); error != 0) {
        state_.RootError = std::strerror(error);
        return;
    }
    path_ = WithTrailingBackslash(folder);
    running_ = true;
    try {
        walk(reader, root);
    } catch (...) {
        running_ = false;
        throw;
    }
    running_ = false;
}

// Depth first, each folder's entries in listing order, with an explicit stack so that depth
// has no limit. A folder whose reading failed part-way ends where it failed.
void FolderScanner::walk(ReadAhead& reader, const std::shared_ptr<FolderNode>& root) {
    struct Level {
        std::shared_ptr<FolderNode> folder;
        size_t next = 0;       // the entry to visit next
        size_t pathLength = 0; // of path_ for this folder
    };
    std::vector<Level> levels;
    levels.push_back({root, 0, path_.size()});
    while (!levels.empty()) {
        Level& level = levels.back();
        const FolderBatch& batch = level.folder->batch;
        if (level.next == batch.size()) {
            levels.pop_back();
            if (!levels.empty()) path_.resize(levels.back().pathLength);
            host_.fileCountChanged(state_.VisitedCount, lists_.FileList.size());
            continue;
        }
        const size_t i = level.next++;
        const FindRecord entry = batch[i];
        host_.processEvents();
        ++state_.VisitedCount;

        if (!entry.detailsKnown) {
            if (couldBeShown(entry)) ++state_.UnreadableEntries;
        } else if (entry.isFolder()) {
            if (recurse_ && !IsDotOrDotDot(entry.name) && !excluded_.empty() &&
                isExcluded(std::string(path_.substr(rootLength_)) + std::string(entry.name),
                           entry.name)) {
                ++state_.ExcludedFolders;
            } else if (recurse_ && !IsDotOrDotDot(entry.name)) {
                std::shared_ptr<FolderNode> child;
                const int error = reader.child(*level.folder, i, child);
                if (error == 0) {
                    path_.append(entry.name).push_back('/');
                    levels.push_back({std::move(child), 0, path_.size()});
                    continue;
                }
                if (error == FolderReader::kOtherFileSystem) {
                    ++state_.OtherFileSystems;
                } else if (error != FolderReader::kPseudoFileSystem) {
                    ++state_.UnreadableFolders;
                }
            }
        } else {
            const SearchOptions& options = host_.options();
            if (passesAttributes(entry, options)) {
                switch (mode_) {
                case ScanMode::Kind::Types:
                    CountFileType(entry);
                    break;
                case ScanMode::Kind::OfType:
                    if (isListedType(ExtensionOf(entry.name))) AddFileRecord(entry);
                    break;
                case ScanMode::Kind::Filtered:
                    if (passesFilters(entry, options)) AddFileRecord(entry);
                    break;
                }
            }
        }
        if (state_.StopRequested.load(std::memory_order_relaxed)) return;
        host_.fileCountChanged(state_.VisitedCount, lists_.FileList.size());
    }
}

bool FolderScanner::isExcluded(std::string_view relativePath, std::string_view name) const {
    for (const FolderMask& mask : excluded_) {
        if (mask.matches(relativePath, name)) return true;
    }
    return false;
}

// The type table's own comparison, remembered per extension met.
bool FolderScanner::isListedType(std::string_view extension) {
    if (extension == type_) return true;
    const auto [known, added] = isType_.try_emplace(std::string(extension), false);
    if (added) known->second = lists_.TypeIndex.collation().equalityKey(extension) == typeKey_;
    return known->second;
}

// An entry listed but not examinable counts where the current options might have shown it:
// what its name tells (hidden, the masks, the type) is applied, what only its details could
// tell (dates, size, the system and read-only attributes) is not known.
bool FolderScanner::couldBeShown(const FindRecord& entry) {
    const SearchOptions& o = host_.options();
    if (o.excludeHidden && (entry.attributes & kAttrHidden)) return false;
    switch (mode_) {
    case ScanMode::Kind::Types:
        return true;
    case ScanMode::Kind::OfType:
        return isListedType(ExtensionOf(entry.name));
    case ScanMode::Kind::Filtered:
        return passesNameMasks(entry, o);
    }
    return true;
}

bool FolderScanner::passesAttributes(const FindRecord& entry, const SearchOptions& o) const {
    const uint32_t excluded =
        (o.excludeHidden ? kAttrHidden : 0) | (o.excludeSystem ? kAttrSystem : 0);
    if (entry.attributes & excluded) return false;
    if (o.attribsChk) {
        const uint32_t required =
            (o.readChk ? kAttrReadOnly : 0) | (o.archiveChk ? kAttrArchive : 0);
        if (required != 0 && !(entry.attributes & required)) return false;
    }
    return true;
}

bool FolderScanner::passesNameMasks(const FindRecord& entry, const SearchOptions& o) const {
    return (!o.singleFile || o.fileType.matches(ExtensionOf(entry.name))) &&
           (!o.inFile || o.inText.matches(entry.name));
}

bool FolderScanner::passesFilters(const FindRecord& entry, const SearchOptions& o) const {
    if (!passesNameMasks(entry, o)) return false;
    if (o.fileCreated &&
        o.fileCreatedIndex !=
            CompareDays(o.createDate, FileTimeToLocalDateTime(entry.created)) + 1) {
        return false;
    }
    if (o.fileModified && o.fileModifiedIndex !=
                              CompareDays(o.modDate, FileTimeToLocalDateTime(entry.modified)) + 1) {
        return false;
    }
    if (o.fileSize && o.fileSizeIndex != CompareSizeKb(o.fileSizeKb, FileSizeOf(entry)) + 1) {
        return false;
    }
    return true;
}

void FolderScanner::CountFileType(const FindRecord& entry) {
    const std::string_view type = ExtensionOf(entry.name);
    const int position = lists_.TypeIndex.IndexOfType(type);
    if (position < 0) {
        lists_.TypeList.emplace_back(entry);
        lists_.TypeIndex.add(type, static_cast<int>(lists_.TypeList.size() - 1));
    } else {
        lists_.TypeList[position].addCounted(FileSizeOf(entry));
    }
    ++state_.TypedFileCount;
    host_.typedFileCountChanged(state_.TypedFileCount);
}

void FolderScanner::AddFileRecord(const FindRecord& entry) {
    lists_.FileList.append(entry, path_);
    host_.fileCountChanged(state_.VisitedCount, lists_.FileList.size());
}

} // namespace vintrel
