#pragma once
// The depth-first walk: every entry in listing order, folders walked where they stand,
// every file tested against the search options and handed to its collector.

#include "ReadAhead.h"
#include "Records.h"
#include "ScanHost.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace vintrel {

// What a walk collects: the type table, the filtered listing, or the files of one type.
struct ScanMode {
    enum class Kind { Types, Filtered, OfType };
    Kind kind = Kind::Types;
    std::string type; // OfType: the type's exact bytes, "" for files without extension

    static ScanMode Types() { return {Kind::Types, {}}; }
    static ScanMode Filtered() { return {Kind::Filtered, {}}; }
    static ScanMode OfType(std::string type) { return {Kind::OfType, std::move(type)}; }
};

class FolderScanner {
  public:
    FolderScanner(ScanHost& host, ScanState& state, ResultLists& lists);

    // A listing of one type lists exactly the files the type table counts under that type:
    // the same comparison, never a pattern. An empty folder scans nothing. A root that
    // cannot be read sets state.RootError; folders below it that cannot be read are counted
    // and skipped.
    void ScanFolder(const std::string& folder, bool recurse, const ScanMode& mode);

  private:
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
};

} // namespace vintrel
