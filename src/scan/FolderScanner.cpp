#include "FolderScanner.h"

#include "FileAttributes.h"

#include <cstring>
#include <stdexcept>

namespace vintrel {

FolderScanner::FolderScanner(ScanHost& host, ScanState& state, ResultLists& lists)
    : host_(host), state_(state), lists_(lists) {
    RaiseOpenFileLimit();
}

void FolderScanner::begin(bool recurse, const ScanMode& mode) {
    if (running_) throw std::logic_error("A walk is already running");
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
    diskUsage_ = host_.options().diskUsage;
    linksTaken_.clear();
    // The folder masks, as they stand at the start: the read-ahead must leave out exactly
    // the folders the walk does.
    excluded_ = host_.options().excludeFolders;
}

void FolderScanner::ScanFolder(const std::string& folder, bool recurse, const ScanMode& mode) {
    if (folder.empty()) return;
    begin(recurse, mode);
    ReadAhead::FolderFilter leaveOut;
    if (!excluded_.empty()) {
        leaveOut = [this](std::string_view relativePath, std::string_view name) {
            return isExcluded(relativePath, name);
        };
    }
    ReadAhead reader(recurse, leaveOut, host_.options().oneFileSystem, detailFolders_);
    rootPath_ = folder;
    rootLength_ = WithTrailingBackslash(folder).size();
    std::shared_ptr<FolderNode> root;
    if (const int error = reader.openRoot(folder, root); error != 0) {
        state_.RootError = std::strerror(error);
        return;
    }
    path_ = WithTrailingBackslash(folder);
    if (observer_) observer_->root(folder);
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
            leave(levels.empty() ? path_.size() : levels.back().pathLength);
            continue;
        }
        const size_t i = level.next++;
        const FindRecord entry = batch[i];
        if (visit(entry)) {
            std::shared_ptr<FolderNode> child;
            const int error = reader.child(*level.folder, i, child);
            if (error == 0) {
                const bool readError = child->readError != 0;
                levels.push_back({std::move(child), 0, 0});
                enter(entry, readError);
                levels.back().pathLength = path_.size();
                continue;
            }
            if (error == FolderReader::kOtherFileSystem) {
                ++state_.OtherFileSystems;
                notEntered(entry, WalkObserver::NotEntered::OtherFileSystem);
            } else if (error == FolderReader::kPseudoFileSystem) {
                notEntered(entry, WalkObserver::NotEntered::PseudoFileSystem);
            } else {
                ++state_.UnreadableFolders;
                notEntered(entry, WalkObserver::NotEntered::Unreadable);
            }
        }
        if (state_.StopRequested.load(std::memory_order_relaxed)) return;
        host_.fileCountChanged(state_.VisitedCount, lists_.FileList.size());
    }
}

bool FolderScanner::visit(const FindRecord& entry) {
    host_.processEvents();
    ++state_.VisitedCount;
    if (!entry.detailsKnown) {
        if (couldBeShown(entry)) ++state_.UnreadableEntries;
        if (observer_) observer_->entry(entry);
        return false;
    }
    if (entry.isFolder()) {
        if (IsDotOrDotDot(entry.name)) return false;
        if (!recurse_) {
            if (observer_) notEntered(entry, WalkObserver::NotEntered::Excluded);
            return false;
        }
        if (!excluded_.empty() &&
            isExcluded(std::string(path_.substr(rootLength_)) + std::string(entry.name),
                       entry.name)) {
            ++state_.ExcludedFolders;
            notEntered(entry, WalkObserver::NotEntered::Excluded);
            return false;
        }
        return true;
    }
    const SearchOptions& options = host_.options();
    FindRecord file = entry;
    if (diskUsage_) file.size = entry.allocated; // what the disk holds, for every size
    if (passesAttributes(file, options)) {
        switch (mode_) {
        case ScanMode::Kind::Types:
            if (firstLink(file)) CountFileType(file);
            break;
        case ScanMode::Kind::OfType:
            if (isListedType(ExtensionOf(file.name)) && firstLink(file)) AddFileRecord(file);
            break;
        case ScanMode::Kind::Filtered:
            if (passesFilters(file, options) && firstLink(file)) AddFileRecord(file);
            break;
        case ScanMode::Kind::FilteredTypes:
            if (passesFilters(file, options) && firstLink(file)) CountFileType(file);
            break;
        }
    }
    if (observer_) observer_->entry(entry);
    return false;
}

// The first link met among the files that pass is the one taken.
bool FolderScanner::firstLink(const FindRecord& entry) {
    if (!diskUsage_ || entry.linkCount < 2 || !entry.identity.known()) return true;
    return linksTaken_.insert(entry.identity).second;
}

void FolderScanner::enter(const FindRecord& folder, bool readError) {
    path_.append(folder.name).push_back('/');
    if (observer_) observer_->enterFolder(folder, readError);
}

void FolderScanner::leave(size_t parentPathLength) {
    path_.resize(parentPathLength);
    if (observer_) observer_->leaveFolder();
    host_.fileCountChanged(state_.VisitedCount, lists_.FileList.size());
}

void FolderScanner::notEntered(const FindRecord& folder, WalkObserver::NotEntered why) {
    if (observer_) observer_->folderNotEntered(folder, why);
}

// The saved scan's entries, fed through the same steps as the reader's.
class FolderScanner::SavedWalk : public SavedScanSink {
  public:
    explicit SavedWalk(FolderScanner& scanner) : scanner_(scanner) {}

    void root(std::string_view path, const FindRecord& details) override {
        FolderScanner& s = scanner_;
        s.rootPath_ = std::string(path);
        s.rootLength_ = WithTrailingBackslash(s.rootPath_).size();
        s.path_ = WithTrailingBackslash(s.rootPath_);
        rootDevice_ = details.identity.device;
        pathLengths_.assign(1, s.path_.size());
        entered_.assign(1, true);
        if (s.observer_) s.observer_->root(s.rootPath_);
        visitDots();
    }
    bool enterFolder(const FindRecord& folder, const SavedFolder& saved) override {
        FolderScanner& s = scanner_;
        pathLengths_.push_back(s.path_.size());
        entered_.push_back(false);
        if (!s.visit(folder)) return false;
        using Excluded = SavedFolder::Excluded;
        using Why = WalkObserver::NotEntered;
        if (saved.excluded == Excluded::Pattern) {
            ++s.state_.ExcludedFolders;
            s.notEntered(folder, Why::Excluded);
        } else if (saved.excluded == Excluded::OtherFileSystem ||
                   (s.host_.options().oneFileSystem && folder.identity.device != rootDevice_)) {
            ++s.state_.OtherFileSystems;
            s.notEntered(folder, Why::OtherFileSystem);
        } else if (saved.excluded == Excluded::PseudoFileSystem) {
            s.notEntered(folder, Why::PseudoFileSystem);
        } else if (saved.readError && !saved.partial) {
            ++s.state_.UnreadableFolders;
            s.notEntered(folder, Why::Unreadable);
        } else {
            s.enter(folder, saved.readError);
            entered_.back() = true;
            visitDots();
            return true;
        }
        return false;
    }
    void leaveFolder() override {
        FolderScanner& s = scanner_;
        if (entered_.back()) {
            s.leave(pathLengths_.back());
        } else if (!s.state_.StopRequested.load(std::memory_order_relaxed)) {
            s.host_.fileCountChanged(s.state_.VisitedCount, s.lists_.FileList.size());
        }
        pathLengths_.pop_back();
        entered_.pop_back();
    }
    void entry(const FindRecord& entry) override {
        FolderScanner& s = scanner_;
        s.visit(entry);
        if (!s.state_.StopRequested.load(std::memory_order_relaxed))
            s.host_.fileCountChanged(s.state_.VisitedCount, s.lists_.FileList.size());
    }
    bool stopRequested() const override {
        return scanner_.state_.StopRequested.load(std::memory_order_relaxed);
    }

  private:
    // A folder read lists "." and ".." first, which a walk visits as entries.
    void visitDots() {
        FindRecord dot;
        dot.attributes = kAttrDirectory;
        for (const char* name : {".", ".."}) {
            dot.name = name;
            scanner_.visit(dot);
        }
    }

    FolderScanner& scanner_;
    uint64_t rootDevice_ = 0;
    std::vector<size_t> pathLengths_;
    std::vector<bool> entered_;
};

void FolderScanner::ScanSaved(SavedScanSource& source, bool recurse, const ScanMode& mode) {
    begin(recurse, mode);
    SavedWalk walk(*this);
    running_ = true;
    try {
        source.read(walk);
    } catch (...) {
        running_ = false;
        throw;
    }
    running_ = false;
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
    case ScanMode::Kind::FilteredTypes:
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
        // A saved scan without the mode does not tell the attributes.
        if (required != 0 && (entry.mode == 0 || !(entry.attributes & required))) return false;
    }
    return true;
}

bool FolderScanner::passesNameMasks(const FindRecord& entry, const SearchOptions& o) const {
    return (!o.singleFile || o.fileType.matches(ExtensionOf(entry.name))) &&
           (!o.inFile || o.inText.matches(entry.name));
}

bool FolderScanner::passesFilters(const FindRecord& entry, const SearchOptions& o) const {
    if (!passesNameMasks(entry, o)) return false;
    // A time a saved scan did not record passes no date filter.
    if ((o.fileCreated && entry.created == kUnknownFileTime) ||
        (o.fileModified && entry.modified == kUnknownFileTime)) {
        return false;
    }
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
