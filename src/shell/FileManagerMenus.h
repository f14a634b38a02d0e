#pragma once
// "Run Vintrel 2" in the file managers' own menus: a Dolphin service menu, a Nautilus
// script, a Nemo action and one action in Thunar's uca.xml. Each starts the executable
// with the clicked item (and "/s" with the skin flag), quoted by its format's own rules.

#include <string>

namespace vintrel {

struct VerbSettings;

struct FileManagerMenuFiles {
    std::string dolphin, nautilus, nemo, thunar;
    explicit FileManagerMenuFiles(const VerbSettings& settings);
};

inline constexpr const char* kThunarActionId = "vintrel2-run-verb";

// Both raise std::runtime_error listing every menu that could not be written or removed,
// after doing all the others.
void WriteFileManagerMenus(const VerbSettings& settings, bool skin);
void RemoveFileManagerMenus(const VerbSettings& settings);

// The quoting rules, one per format.
std::string DesktopExecArgument(const std::string& argument); // Desktop Entry Exec
std::string ShellQuoted(const std::string& argument);         // sh and GLib's parser
std::string XmlEscaped(const std::string& text);

// Thunar's uca.xml with our action added (replacing an earlier one) or taken out; every
// other action is kept byte for byte.
std::string ThunarWithAction(const std::string& xml, const std::string& action);
std::string ThunarWithoutAction(const std::string& xml);

} // namespace vintrel
