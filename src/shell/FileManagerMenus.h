#pragma once
// "Run Vintrel 2" in the file managers' own menus: a Dolphin service menu, a Nautilus
// script, a Nemo action and one action in Thunar's uca.xml. Each starts the executable
// with the clicked item (and "/s" with the skin flag), quoted by its format's own rules.

#include <optional>
#include <string>

namespace vintrel {

struct VerbSettings;

struct FileManagerMenuFiles {
    std::string dolphin, nautilus, nemo, thunar;
    explicit FileManagerMenuFiles(const VerbSettings& settings);
};

inline constexpr const char* kThunarActionId = "vintrel2-run-verb";

// Adding or removing our menus. Thunar's file is read first, so that the caller can change
// nothing at all when it exists but cannot be read or understood: that file is never
// overwritten.
class FileManagerMenuUpdate {
  public:
    // Raises std::runtime_error when Thunar's uca.xml exists but cannot be read or parsed.
    FileManagerMenuUpdate(const VerbSettings& settings, bool registering, bool skin);
    // Raises std::runtime_error listing every menu that could not be written or removed,
    // after doing all the others.
    void apply() const;

  private:
    const VerbSettings& settings_;
    FileManagerMenuFiles files_;
    bool registering_;
    bool skin_;
    std::optional<std::string> thunarText_; // uca.xml as it is to be written
};

// The quoting rules, one per format.
std::string DesktopExecArgument(const std::string& argument); // Desktop Entry Exec
std::string ShellQuoted(const std::string& argument);         // sh and GLib's parser
std::string XmlEscaped(const std::string& text);

// Thunar's uca.xml with our action added (replacing an earlier one) or taken out; every
// other byte is kept. Both raise std::runtime_error when the text is not a well-formed UTF-8
// <actions> document; an empty file counts as one without actions.
std::string ThunarWithAction(const std::string& xml, const std::string& action);
std::string ThunarWithoutAction(const std::string& xml);

} // namespace vintrel
