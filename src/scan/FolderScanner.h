#pragma once
// The depth-first walk: every entry in listing order, folders walked where they stand,
// every file tested against the search options and handed to its collector.

#include "ReadAhead.h"
#include "Records.h"
#include "ScanHost.h"

#include <string>

namespace vintrel {

inline constexpr const char* kModeTypes = "+";
inline constexpr const char* kModeFiltered = "x";

class FolderScanner {
  public:
    FolderScanner(ScanHost& host, ScanState& state, ResultLists& lists);

    // Mode "+" counts types, "x" lists filtered files, anything else lists the files of
    // that type text. An empty folder scans nothing. A root that cannot be read sets
    // state.RootError; folders below it that cannot be read are counted and skipped.
    void ScanFolder(const std::string& folder, bool recurse, const std::string& mode);

  private:
    enum class Mode { Types, Filtered, OfType };

    void walk(ReadAhead& reader, const std::shared_ptr<FolderNode>& root);
    bool passesAttributes(const FindRecord& entry, const SearchOptions& options) const;
    bool passesFilters(const FindRecord& entry, const SearchOptions& options) const;
    void CountFileType(const FindRecord& entry);
    void AddFileRecord(const FindRecord& entry);

    ScanHost& host_;
    ScanState& state_;
    ResultLists& lists_;
    std::string path_; // folder being walked, ending in "/"
    Mode mode_ = Mode::Types;
    WildcardPattern typePattern_;
    bool recurse_ = true;
    bool running_ = false;
};

} // namespace vintrel
