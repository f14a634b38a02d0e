#pragma once
// The depth-first walk: every entry in listing order, folders walked where they stand,
// every file tested against the search options and handed to its collector.

#include "ReadAhead.h"
#include "Records.h"
#include "ScanHost.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vintrel {

// What a walk collects: the type table, the filtered listing, the files of one type, or the
// type table of the files that pass the filters (two scans compared under filters).
struct ScanMode {
    enum class Kind { Types, Filtered, OfType, FilteredTypes };
    Kind kind = Kind::Types;
    std::string type; // OfType: the type's exact bytes, "" for files without extension

    static ScanMode Types() { return {Kind::Types, {}}; }
    static ScanMode Filtered() { return {Kind::Filtered, {}}; }
    static ScanMode OfType(std::string type) { return {Kind::OfType, std::move(type)}; }
    static ScanMode FilteredTypes() { return {Kind::FilteredTypes, {}}; }
};

// Told of everything a walk reaches, in walk order, whatever the options let through ("."
// and ".." aside): a saved scan is written from it.
class WalkObserver {
  public:
    enum class NotEntered { Excluded, OtherFileSystem, PseudoFileSystem, Unreadable };
    virtual ~WalkObserver() = default;
    virtual void root(const std::string& path) = 0;
    // A folder whose entries come next, up to leaveFolder(); `readError` when its listing
    // failed part-way (or, in a saved scan, was marked so).
    virtual void enterFolder(const FindRecord& folder, bool readError) = 0;
    virtual void leaveFolder() = 0;
    virtual void folderNotEntered(const FindRecord& folder, NotEntered why) = 0;
    // Every other entry.
    virtual void entry(const FindRecord& entry) = 0;
};

// A folder of a saved scan, as the scan recorded it.
struct SavedFolder {
    enum class Excluded { No, Pattern, OtherFileSystem, PseudoFileSystem };
    Excluded excluded = Excluded::No;
    bool readError = false;
    // Read in part, up to an error (the entries read follow); otherwise a folder with a read
    // error could not be read at all.
    bool partial = false;
};

// Where the entries of a saved scan go as they are read, in walk order.
class SavedScanSink {
  public:
    virtual ~SavedScanSink() = default;
    virtual void root(std::string_view path, const FindRecord& details) = 0;
    // True when the folder's entries are wanted; they follow up to leaveFolder() either way.
    virtual bool enterFolder(const FindRecord& folder, const SavedFolder& saved) = 0;
    virtual void leaveFolder() = 0;
    virtual void entry(const FindRecord& entry) = 0;
    virtual bool stopRequested() const = 0;
};

// Reads a saved scan into a sink; throws what is wrong with the file.
class SavedScanSource {
  public:
    virtual ~SavedScanSource() = default;
    virtual void read(SavedScanSink& sink) = 0;
};

class FolderScanner {
  public:
    FolderScanner(ScanHost& host, ScanState& state, ResultLists& lists);

    // Told of every entry the next walks reach; null for none.
    void setObserver(WalkObserver* observer) { observer_ = observer; }
    // Walks read the details of folder entries too (for the observer).
    void setDetailFolders(bool detail) { detailFolders_ = detail; }

    // A listing of one type lists exactly the files the type table counts under that type:
    // the same comparison, never a pattern. An empty folder scans nothing. A root that
    // cannot be read sets state.RootError; folders below it that cannot be read are counted
    // and skipped.
    void ScanFolder(const std::string& folder, bool recurse, const ScanMode& mode);
    // The same search over a saved scan: its entries take the place of the folder reader's,
    // with the same options, counts and records; the scan's root stands for the folder.
    void ScanSaved(SavedScanSource& source, bool recurse, const ScanMode& mode);
    // The root of the last walk, as the folder reader or the saved scan named it.
    const std::string& rootPath() const { return rootPath_; }

  private:
    class SavedWalk;
    void begin(bool recurse, const ScanMode& mode);
    // One entry of the folder being walked; true when it is a folder to enter.
    bool visit(const FindRecord& entry);
    void enter(const FindRecord& folder, bool readError);
    void leave(size_t parentPathLength);
    void notEntered(const FindRecord& folder, WalkObserver::NotEntered why);

    bool isListedType(std::string_view extension);
    bool isExcluded(std::string_view relativePath, std::string_view name) const;
    bool couldBeShown(const FindRecord& entry);

    void walk(ReadAhead& reader, const std::shared_ptr<FolderNode>& root);
    bool passesAttributes(const FindRecord& entry, const SearchOptions& options) const;
    // The type mask and the name mask: what the name alone tells.
    bool passesNameMasks(const FindRecord& entry, const SearchOptions& options) const;
    bool passesFilters(const FindRecord& entry, const SearchOptions& options) const;
    void CountFileType(const FindRecord& entry);
    void AddFileRecord(const FindRecord& entry);
    // With the disk's own count, false for a later link of a file already taken.
    bool firstLink(const FindRecord& entry);

    ScanHost& host_;
    ScanState& state_;
    ResultLists& lists_;
    std::string path_; // folder being walked, ending in "/"
    ScanMode::Kind mode_ = ScanMode::Kind::Types;
    std::string type_, typeKey_;                   // OfType: the type and its collation key
    std::unordered_map<std::string, bool> isType_; // extension bytes met -> of that type
    bool recurse_ = true;
    bool running_ = false;
    std::vector<FolderMask> excluded_; // folder masks of this walk
    size_t rootLength_ = 0;            // of the root's path in path_
    std::string rootPath_;
    bool diskUsage_ = false;
    std::unordered_set<FileIdentity, FileIdentityHash> linksTaken_; // files of several links
    WalkObserver* observer_ = nullptr;
    bool detailFolders_ = false;
};

} // namespace vintrel
