#include "TempTree.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel::test {

namespace {

void Check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeParents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) Check(false, "mkdir " + part);
    }
}

void RemoveContents(int dirFd) {
    DIR* dir = fdopendir(dirFd);
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR) {
            fchmodat(dirfd(dir), name.c_str(), 0755, 0);
            const int child = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (child >= 0) RemoveContents(child);
            unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR);
        } else {
            unlinkat(dirfd(dir), name.c_str(), 0);
        }
    }
    closedir(dir);
}

} // namespace

TempTree::TempTree() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vintrel-test-XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    root_ = pattern;
    ::chmod(root_.c_str(), 0755); // readable by the unprivileged user of some tests
}

TempTree::~TempTree() {
    RemoveTree(root_);
}

void TempTree::file(const std::string& relative, const std::string& content) {
    const std::string full = path(relative);
    MakeParents(full);
    const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Check(fd >= 0, "create " + full);
    Check(::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()),
          "write");
    ::close(fd);
}

void TempTree::sizedFile(const std::string& relative, int64_t size) {
    file(relative);
    Check(::truncate(path(relative).c_str(), size) == 0, "truncate");
}

void TempTree::folder(const std::string& relative) {
    const std::string full = path(relative);
    MakeParents(full + "/");
}

void TempTree::symlink(const std::string& relative, const std::string& target) {
    const std::string full = path(relative);
    MakeParents(full);
    Check(::symlink(target.c_str(), full.c_str()) == 0, "symlink " + full);
}

void TempTree::fifo(const std::string& relative) {
    const std::string full = path(relative);
    MakeParents(full);
    Check(::mkfifo(full.c_str(), 0644) == 0, "mkfifo " + full);
}

void TempTree::setModified(const std::string& relative, int64_t unixSeconds) {
    const timespec times[2] = {{static_cast<time_t>(unixSeconds), 0},
                               {static_cast<time_t>(unixSeconds), 0}};
    Check(utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0,
          "utimensat");
}

void TempTree::chmod(const std::string& relative, unsigned mode) {
    Check(::chmod(path(relative).c_str(), mode) == 0, "chmod");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

void RemoveTree(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) return;
    RemoveContents(fd);
    ::rmdir(path.c_str());
}

} // namespace vintrel::test
