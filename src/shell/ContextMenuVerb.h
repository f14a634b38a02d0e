#pragma once
// The "Run Vintrel 2" verb on the context menu of folders, drives and files: its keys in the
// user's registry hive, mirrored into the file managers' own menus.

#include <string>

namespace vintrel {

inline constexpr const char* kVerbMenuText = "Run Vintrel 2";
inline constexpr const char* kDirectoryVerbKey = "software\\classes\\directory\\shell\\vintrel";
inline constexpr const char* kDriveVerbKey = "software\\classes\\Drive\\shell\\vintrel";
inline constexpr const char* kAllFilesVerbKey = "software\\classes\\*\\shell\\vintrel";

// Where the verb is kept and what it starts.
struct VerbSettings {
    std::string hiveFile;
    std::string dataHome;   // $XDG_DATA_HOME
    std::string configHome; // $XDG_CONFIG_HOME
    std::string executable; // the program the menus start
    bool thunarInstalled = false;

    static VerbSettings FromEnvironment();
};

// The executable (quoted when it holds a blank or a quotation mark), then "%1" in
// quotation marks, then "/s" in quotation marks when the skin flag is set.
std::string VerbCommandLine(const std::string& executable, bool skin);

// True when the directory verb key exists; a hive that cannot be read counts as none.
bool IsContextMenuRegistered(const VerbSettings& settings = VerbSettings::FromEnvironment());

// Registers the verb when absent (true), removes it when present (false), with one read and
// one write of the hive. Raises RegistryError when the hive cannot be read or written (the
// hive then stays as it was), std::runtime_error when Thunar's actions file exists but cannot
// be read or parsed (nothing is changed then), and std::runtime_error naming the file-manager
// menus that could not be written after the hive was.
bool ToggleContextMenu(bool skin, const VerbSettings& settings = VerbSettings::FromEnvironment());

} // namespace vintrel
