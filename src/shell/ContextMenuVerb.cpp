#include "ContextMenuVerb.h"

#include "FileManagerMenus.h"
#include "Paths.h"
#include "Registry.h"
#include "Utf8.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

namespace {

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Subkeys first: only keys without subkeys can be deleted.
void DeleteTree(Registry& registry, const std::string& path) {
    const std::optional<RegKey> key = registry.openKey(path);
    if (!key) return;
    const RegKeyInfo info = registry.queryInfoKey(*key);
    for (uint32_t index = info.subkeyCount; index-- > 0;) {
        if (const auto name = registry.enumKey(*key, index))
            DeleteTree(registry, path + "\\" + *name);
    }
    registry.deleteKey(path);
}

} // namespace

VerbSettings VerbSettings::FromEnvironment() {
    VerbSettings settings;
    settings.hiveFile = Registry::DefaultHiveFile();
    settings.dataHome = XdgFolder("XDG_DATA_HOME", "/.local/share");
    settings.configHome = XdgFolder("XDG_CONFIG_HOME", "/.config");
    settings.executable = ExecutablePath();
    settings.thunarInstalled = OnPath("thunar");
    return settings;
}

std::string VerbCommandLine(const std::string& executable, bool skin) {
    std::string command;
    if (executable.find_first_of(" \"") != std::string::npos) {
        // An unquoted path with blanks would start another program.
        command += '"';
        for (const char c : executable) {
            if (c == '"') command += '\\';
            command += c;
        }
        command += '"';
    } else {
        command = executable;
    }
    command += " \"%1\"";
    if (skin) command += " \"/s\"";
    return command;
}

bool IsContextMenuRegistered(const VerbSettings& settings) {
    try {
        const Registry registry(settings.hiveFile, Registry::Access::Read);
        return registry.openKey(kDirectoryVerbKey).has_value();
    } catch (const RegistryError&) {
        return false;
    }
}

bool ToggleContextMenu(bool skin, const VerbSettings& settings) {
    Registry registry(settings.hiveFile, Registry::Access::ReadWrite);
    const bool registering = !registry.openKey(kDirectoryVerbKey);
    const FileManagerMenuUpdate menus(settings, registering, skin); // nothing is changed yet
    if (registering) {
        const std::string command = VerbCommandLine(settings.executable, skin);
        for (const char* verb : {kDirectoryVerbKey, kDriveVerbKey, kAllFilesVerbKey}) {
            if (const auto key = registry.createKey(verb))
                registry.setDefaultValue(*key, kVerbMenuText);
            if (const auto key = registry.createKey(std::string(verb) + "\\command"))
                registry.setDefaultValue(*key, command);
        }
    } else {
        DeleteTree(registry, kDirectoryVerbKey);
        if (registry.openKey(kDriveVerbKey)) DeleteTree(registry, kDriveVerbKey);
        if (registry.openKey(kAllFilesVerbKey)) DeleteTree(registry, kAllFilesVerbKey);
    }
    // One write for the whole toggle.
    if (const FileWriteResult written = registry.commit(); !written) {
        if (registering) throw RegistryError("Failed to set data for ''");
        throw RegistryError("The verb could not be removed: the registry file \"" +
                            DisplayText(settings.hiveFile) + "\" cannot be written (" +
                            written.text() + ")");
    }
    menus.apply();
    return registering;
}

} // namespace vintrel
