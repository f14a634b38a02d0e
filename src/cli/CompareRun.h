#pragma once
// vintrel2-scan --compare OLD: the type table of a folder or a saved scan with what changed
// since an older saved scan, type by type.

#include "CliArguments.h"
#include "CliHost.h"
#include "Collation.h"
#include "LocaleSettings.h"

namespace vintrel {

// The exit status: 0, 1 when the newer side's folder cannot be read, 2 when --disk-usage
// meets a scan that cannot be counted so. Throws what is wrong with a scan file.
int RunCompare(const CliArguments& args, CliHost& host, ScanState& state,
               const LocaleSettings& locale, const Collation& collation);

} // namespace vintrel
