#include "FolderMask.h"

#include <string>

namespace vintrel {

std::vector<FolderMask> ParseFolderMasks(std::string_view text) {
    std::vector<FolderMask> masks;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find(';', start), text.size());
        std::string_view part = text.substr(start, end - start);
        start = end + 1;
        while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
        const bool anchored = !part.empty() && part.front() == '/';
        while (!part.empty() && part.front() == '/') part.remove_prefix(1);
        while (!part.empty() && part.back() == '/') part.remove_suffix(1);
        if (part.empty()) continue;
        const bool byPath = anchored || part.find('/') != std::string_view::npos;
        masks.push_back({WildcardPattern(part), byPath});
    }
    return masks;
}

} // namespace vintrel
