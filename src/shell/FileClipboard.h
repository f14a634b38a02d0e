#pragma once
// Files on the clipboard for the file managers to paste: one data object offering
// text/uri-list, x-special/gnome-copied-files, x-special/mate-copied-files,
// application/x-kde-cutselection "0" (a copy, not a cut) and text/plain.

#include <QString>
#include <string>
#include <vector>

class QMimeData;

namespace vintrel {

// "file://" and the path with every byte percent-encoded that is not unreserved or "/".
QString FileUri(const std::string& path);

QMimeData* MakeFileListData(const std::vector<std::string>& paths);

// Puts the files on the clipboard, each once, in the order given.
void CopyFilesToClipboard(const std::vector<std::string>& paths);

} // namespace vintrel
