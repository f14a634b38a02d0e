#include "Registry.h"

#include "SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
}

void MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
}

} // namespace

std::string Registry::DefaultHiveFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "") + "/.config";
    }
    return base + "/vintrel2/registry.reg";
}

Registry::Registry(std::string hiveFile, Access access)
    : file_(std::move(hiveFile)), access_(access) {
    if (access_ == Access::ReadWrite) MakeFolders(FolderOf(file_));
    lockFd_ = ::open((file_ + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd_ >= 0) {
        // Without a lock file (a folder that cannot be written) reading still works, and
        // writing fails when it comes to it.
        while (flock(lockFd_, access_ == Access::Read ? LOCK_SH : LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    std::string text;
    if (const int error = ReadWholeFile(file_, text); error != 0) {
        if (error == ENOENT) return;
        releaseLock();
        throw RegistryError("The registry file \"" + file_ +
                            "\" cannot be read: " + std::strerror(error));
    }
    try {
        hive_ = RegistryHive::Parse(std::move(text), file_);
    } catch (...) {
        releaseLock();
        throw;
    }
}

Registry::~Registry() {
    releaseLock();
}

void Registry::releaseLock() {
    if (lockFd_ >= 0) ::close(lockFd_); // closing releases the lock
    lockFd_ = -1;
}

FileWriteResult Registry::commit() {
    if (!changed_) return {};
    if (access_ != Access::ReadWrite) return {FileWriteResult::Failure::Create, EBADF, {}};
    FileWriteResult result = WriteFileReplacing(file_, hive_.serialize());
    if (result) changed_ = false;
    return result;
}

std::optional<RegKey> Registry::openKey(const std::string& path) const {
    if (!hive_.exists(path)) return std::nullopt;
    return RegKey{path};
}

std::optional<RegKey> Registry::createKey(const std::string& path) {
    if (access_ != Access::ReadWrite) return std::nullopt;
    if (hive_.create(path)) changed_ = true;
    return RegKey{path};
}

void Registry::setDefaultValue(const RegKey& key, const std::string& value) {
    if (access_ != Access::ReadWrite || value.find_first_of("\r\n") != std::string::npos)
        throw RegistryError("Failed to set data for ''");
    hive_.create(key.path);
    if (hive_.defaultValue(key.path) == value) return;
    hive_.setDefault(key.path, value);
    changed_ = true;
}

RegKeyInfo Registry::queryInfoKey(const RegKey& key) const {
    RegKeyInfo info;
    for (const std::string& name : hive_.subkeys(key.path)) {
        ++info.subkeyCount;
        info.maxSubkeyLength = std::max(info.maxSubkeyLength, static_cast<uint32_t>(name.size()));
    }
    return info;
}

std::optional<std::string> Registry::enumKey(const RegKey& key, uint32_t index) const {
    const std::vector<std::string> names = hive_.subkeys(key.path);
    if (index >= names.size()) return std::nullopt;
    return names[index];
}

bool Registry::deleteKey(const std::string& path) {
    if (access_ != Access::ReadWrite || !hive_.remove(path)) return false;
    changed_ = true;
    return true;
}

} // namespace vintrel
