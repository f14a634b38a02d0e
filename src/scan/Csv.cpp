#include "Csv.h"

#include "Errors.h"
#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

namespace {

bool NeedsQuotes(std::string_view field) {
    return std::any_of(field.begin(), field.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= 0x01 && byte <= 0x20) || c == '"' || c == ',';
    });
}

std::string CannotCreate(const std::string& fileName, int error) {
    return "Cannot create file \"" + DisplayText(fileName) + "\". " + std::strerror(error);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Writes into a file that is already open; closes it.
void WriteAndClose(int fd, std::string_view bytes, bool sync) {
    bool ok = WriteAll(fd, bytes);
    if (ok && sync) ok = fsync(fd) == 0 || errno == EINVAL;
    if (::close(fd) != 0) ok = false;
    if (!ok) throw UserError("Stream write error");
}

// A symbolic link is followed, so the file it names is replaced and the link kept.
std::string ResolveTarget(const std::string& fileName) {
    struct stat st {};
    if (lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return fileName;
    char resolved[PATH_MAX];
    if (realpath(fileName.c_str(), resolved)) return resolved;
    return fileName;
}

} // namespace

void AppendCsvField(std::string& out, std::string_view field) {
    if (!NeedsQuotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string CsvLine(const std::vector<std::string_view>& fields) {
    if (fields.size() == 1 && fields[0].empty()) return "\"\"";
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        AppendCsvField(line, fields[i]);
    }
    return line;
}

std::string LineText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string CsvFileBytes(std::string_view lineText) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + lineText.size() * 2);
    AppendUtf16LE(bytes, lineText);
    return bytes;
}

void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& fileName) {
    WriteFileReplacing(fileName, CsvFileBytes(LineText(lines)));
}

void WriteFileReplacing(const std::string& fileName, std::string_view bytes) {
    const std::string target = ResolveTarget(fileName);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;

    if (exists && !S_ISREG(existing.st_mode)) {
        const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) throw UserError(CannotCreate(fileName, errno));
        WriteAndClose(fd, bytes, false);
        return;
    }

    std::string temporary = target + ".XXXXXX";
    const int tempFd = mkostemp(temporary.data(), O_CLOEXEC);
    if (tempFd < 0) {
        // No file can be made beside the target: write in place.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) throw UserError(CannotCreate(fileName, errno));
        WriteAndClose(fd, bytes, false);
        return;
    }
    const mode_t umaskValue = umask(0);
    umask(umaskValue);
    fchmod(tempFd, exists ? (existing.st_mode & 07777) : (0666 & ~umaskValue));
    try {
        WriteAndClose(tempFd, bytes, true);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw UserError(CannotCreate(fileName, error));
    }
}

} // namespace vintrel
