#pragma once
// The command line of vintrel2-scan.

#include "FolderScanner.h"
#include "ScanHost.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vintrel {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct CliArguments {
    std::string folder;
    SearchOptions options;
    bool recurse = true;
    ScanMode mode;
    std::string outputFile; // empty: standard output
    bool summary = false;
    bool bytes = false; // raw sizes and ISO dates in the CSV
    bool json = false;  // JSON Lines instead of CSV
    std::string sortBy; // size, count, name, created, modified, change; empty: walk order
    bool reverse = false;
    std::optional<size_t> top; // only the first N rows
    std::string exportFile;    // --export: the walk saved as a scan file ("-": standard output)
    std::string importFile;  // --import: a saved scan read instead of FOLDER ("-": standard input)
    std::string compareFile; // --compare: the older saved scan the type table is compared with
    bool help = false;
    bool version = false;
};

// Raises UsageError with what is wrong. Sizes take "." or the locale's decimal separator.
CliArguments ParseCliArguments(const std::vector<std::string>& args,
                               const std::string& decimalSeparator = ".");

extern const char* const kUsage;

} // namespace vintrel
