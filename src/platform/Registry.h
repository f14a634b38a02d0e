#pragma once
// The current user's registry: a hive file opened for one series of operations. The file
// is locked while the object lives (shared for reading, exclusive for writing), so two
// running copies of the program never lose each other's keys. Changes are made in memory
// and written by commit(), once and atomically; an object that ends without a commit
// leaves the file as it was. One object at a time per thread: a second one would wait for
// the first one's lock.

#include "RegistryHive.h"
#include "SafeFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vintrel {

// An open key; closing it needs nothing.
struct RegKey {
    std::string path;
};

struct RegKeyInfo {
    uint32_t subkeyCount = 0;
    uint32_t maxSubkeyLength = 0;
};

class Registry {
  public:
    enum class Access { Read, ReadWrite };

    // $XDG_CONFIG_HOME/vintrel2/registry.reg, ~/.config when XDG_CONFIG_HOME is unset.
    static std::string DefaultHiveFile();

    // A missing file is an empty hive. Raises RegistryError when the file cannot be read
    // or parsed; it is then left untouched.
    Registry(std::string hiveFile, Access access);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    std::optional<RegKey> openKey(const std::string& path) const;
    // Opens the key, creating it and its missing parents first; none with read access.
    std::optional<RegKey> createKey(const std::string& path);
    void setDefaultValue(const RegKey& key, const std::string& value);
    RegKeyInfo queryInfoKey(const RegKey& key) const;
    std::optional<std::string> enumKey(const RegKey& key, uint32_t index) const;
    // Deletes a key without subkeys; false when it has some or is missing.
    bool deleteKey(const std::string& path);
    // Writes the changes made since the file was read, when there are any; the failure
    // otherwise, the file then unchanged.
    FileWriteResult commit();

    const RegistryHive& hive() const { return hive_; }

  private:
    void releaseLock();

    std::string file_;
    Access access_;
    int lockFd_ = -1;
    RegistryHive hive_;
    bool changed_ = false;
};

} // namespace vintrel
