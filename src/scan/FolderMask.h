#pragma once
// A mask of folders not to enter: by name anywhere, or by path below the root folder.

#include "Wildcard.h"

#include <string_view>
#include <vector>

namespace vintrel {

struct FolderMask {
    WildcardPattern pattern;
    bool byPath = false; // matched against the path below the root, else against the name

    bool matches(std::string_view relativePath, std::string_view name) const {
        return pattern.matches(byPath ? relativePath : name);
    }
};

// The ";"-separated patterns of `text`, each on its own: one with a "/" is a path below the
// root ("/a/b" and "a/b" alike, so a leading "/" anchors a pattern there); a trailing "/"
// says nothing more ("a/" is "a"). Empty when no pattern is left.
std::vector<FolderMask> ParseFolderMasks(std::string_view text);

} // namespace vintrel
