#pragma once
// Paths as bytes: their parts, made absolute without touching the disk, and the few places
// the program keeps its files in.

#include <string>
#include <string_view>
#include <sys/types.h>

namespace vintrel {

// The path made absolute against the working directory, with "." components dropped (".."
// is kept: a link on the way makes it more than text). An absolute path stays as it is,
// but for its "." components; an empty one stays empty.
std::string AbsolutePath(const std::string& path);

// Up to and including the last "/"; empty when there is none.
std::string_view FolderPart(std::string_view path);
// The text after the last "/".
std::string_view FileNamePart(std::string_view path);
// From the last "." to the end, provided no "/" follows it; else empty.
std::string_view ExtensionOf(std::string_view name);
// The folder path with this platform's separator "/" at its end. An empty path stays
// empty: the walk treats it as nothing to scan, never as the file-system root.
std::string WithTrailingBackslash(std::string_view folder);

// Creates the folder and each missing one on the way to it with `mode`; what exists stays.
void MakeFolders(std::string_view folder, mode_t mode);

// An XDG base folder: the variable when it holds an absolute path, else $HOME + underHome
// ("/.config", "/.local/share").
std::string XdgFolder(const char* variable, const char* underHome);

// The running program's executable, or empty when the system does not say.
std::string ExecutablePath();

} // namespace vintrel
