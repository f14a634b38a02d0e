#pragma once
// The command line the program starts with: argv as the caller split it, argument 0 the
// executable's real path, counting stopped at the first empty argument.

#include <optional>
#include <string>
#include <vector>

namespace vintrel {

std::vector<std::string> ProgramArguments(int argc, char** argv);

// The root folder text for argument 1: the folder itself when it is one, else its folder part.
std::string RootDirFromArgument(const std::string& argument);

// The skin starts active exactly when the last argument (not the program) is "/s".
bool SkinRequested(const std::vector<std::string>& arguments);

// The saved scan to open: `--open FILE` as the first arguments, optionally followed by the
// skin switch "/s" only; nullopt otherwise.
std::optional<std::string> SavedScanArgument(const std::vector<std::string>& arguments);

} // namespace vintrel
