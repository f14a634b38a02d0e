#pragma once
// vintrel2-scan's saved scans: --export writes the walk as a scan file, --import opens one.

#include "CliArguments.h"
#include "FolderScanner.h"

#include <string>

namespace vintrel {

// Walks args.folder and writes it as a scan file, through the safe writer or to standard
// output. A stopped or failed walk leaves no scan file (an existing one stays as it was).
// Returns false when the root could not be read (state.RootError says why).
bool ExportScan(const CliArguments& args, FolderScanner& scanner, ScanState& state);

// A descriptor of the saved scan to read (of standard input for "-"), to be closed by the
// caller; throws UserError when it cannot be opened.
int OpenSavedScan(const std::string& fileName);

} // namespace vintrel
