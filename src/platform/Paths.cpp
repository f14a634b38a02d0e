#include "Paths.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

namespace {

std::string WorkingDirectory() {
    char* cwd = get_current_dir_name(); // any length
    std::string path = cwd ? cwd : "/";
    std::free(cwd);
    return path;
}

} // namespace

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    const std::string full = path.front() == '/' ? path : WorkingDirectory() + "/" + path;
    std::string out = "/";
    for (size_t start = 1; start <= full.size();) {
        const size_t end = std::min(full.find('/', start), full.size());
        const std::string_view part = std::string_view(full).substr(start, end - start);
        if (!part.empty() && part != ".") {
            if (out.back() != '/') out += '/';
            out += part;
        }
        start = end + 1;
    }
    // A trailing "/" (or "/.") says "a folder": it stays.
    const bool trailing = full.size() > 1 && (full.back() == '/' || full.ends_with("/."));
    if (trailing && out.back() != '/') out += '/';
    return out;
}

std::string_view FolderPart(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view FileNamePart(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view ExtensionOf(std::string_view name) {
    // From the end: the last dot, unless a folder separator comes after it.
    for (size_t i = name.size(); i-- > 0;) {
        if (name[i] == '.') return name.substr(i);
        if (name[i] == '/') break;
    }
    return {};
}

std::string WithTrailingBackslash(std::string_view folder) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

void MakeFolders(std::string_view folder, mode_t mode) {
    const std::string path(folder);
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), mode);
        if (slash == std::string::npos) break;
    }
}

std::string XdgFolder(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value && *value == '/') return value;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "") + underHome;
}

std::string ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

} // namespace vintrel
