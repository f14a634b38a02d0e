#include "CommandLine.h"

#include "Paths.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    const std::string self = ExecutablePath();
    arguments.push_back(self.empty() && argc > 0 ? argv[0] : self);
    for (int i = 1; i < argc && argv[i][0] != '\0'; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

std::string RootDirFromArgument(const std::string& argument) {
    struct stat st {};
    if (stat(argument.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return argument;
    return std::string(FolderPart(argument));
}

bool SkinRequested(const std::vector<std::string>& arguments) {
    return arguments.size() > 1 && arguments.back() == "/s";
}

std::optional<std::string> SavedScanArgument(const std::vector<std::string>& arguments) {
    if (arguments.size() < 3 || arguments[1] != "--open") return std::nullopt;
    if (arguments.size() > 4 || (arguments.size() == 4 && arguments[3] != "/s"))
        return std::nullopt;
    return arguments[2];
}

} // namespace vintrel
