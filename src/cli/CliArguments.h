#pragma once
// The command line of vintrel2-scan.

#include "FolderScanner.h"
#include "ScanHost.h"

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
    bool help = false;
    bool version = false;
};

// Raises UsageError with what is wrong. Sizes take "." or the locale's decimal separator.
CliArguments ParseCliArguments(const std::vector<std::string>& args,
                               const std::string& decimalSeparator = ".");

extern const char* const kUsage;

} // namespace vintrel
