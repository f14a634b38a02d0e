#include "Registry.h"

#include "Paths.h"
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

std::string Registry::DefaultHiveFile() {
    return XdgFolder("XDG_CONFIG_HOME", "/.config") + "/vintrel2/registry.reg";
}

Registry::Registry(std::string hiveFile, Access access)
    : file_(std::move(hiveFile)), access_(access) {
    if (access_ == Access::ReadWrite) MakeFolders(FolderPart(file_), 0700);
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
