#include "Paths.h"

#include <cstdlib>
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

} // namespace vintrel
