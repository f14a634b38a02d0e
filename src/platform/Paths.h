#pragma once
// Paths as bytes: made absolute without touching the disk.

#include <string>

namespace vintrel {

// The path made absolute against the working directory, with "." components dropped (".."
// is kept: a link on the way makes it more than text). An absolute path stays as it is,
// but for its "." components; an empty one stays empty.
std::string AbsolutePath(const std::string& path);

} // namespace vintrel
