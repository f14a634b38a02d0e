#pragma once
// What a copy of one regular file carries over, on open descriptors: the data, with every
// hole kept a hole, and the extended attributes that belong to the file's content.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vintrel {

// Copies the content of `in` into the empty file `out`: as shared blocks where both lie on
// a file system that can share them (FICLONE), else only the data regions (SEEK_DATA,
// SEEK_HOLE), so that a sparse file stays sparse. `advance` is told of the bytes done,
// holes included, and returns false to cancel. 0, ECANCELED, or the errno of a failure.
int CopyFileData(int in, int out, const std::function<bool(int64_t)>& advance);

// Copies the user.* attributes and the POSIX ACLs (system.posix_acl_*), as `cp -a` and `mv`
// do; security.* and trusted.* stay behind. Gives the attributes that could not be kept,
// each as "NAME (reason)".
std::vector<std::string> CopyExtendedAttributes(int in, int out);

} // namespace vintrel
