#pragma once
// A per-user registry hive in the text format of registry export files:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\software\classes\directory\shell\vintrel]
//   @="Run Vintrel 2"
//
// Paths are relative to HKEY_CURRENT_USER, separated by "\" and matched without regard to
// letter case. Everything the file holds that this program does not change (other keys,
// named values, other types, comments, blank lines, each line's end) is written back byte
// for byte.

#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

class RegistryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class RegistryHive {
  public:
    static constexpr std::string_view kVersionLine = "Windows Registry Editor Version 5.00";

    // Raises RegistryError naming the file and the line it cannot read.
    static RegistryHive Parse(std::string text, const std::string& fileName);
    std::string serialize() const;

    bool exists(std::string_view path) const;
    // Creates the key and its missing parents, new names in the letter case given; false
    // when the key was there already.
    bool create(std::string_view path);
    // The key must exist. Raises RegistryError for a value with a line break, which the
    // format cannot hold.
    void setDefault(std::string_view path, std::string_view value);
    // The default value when it is a string.
    std::optional<std::string> defaultValue(std::string_view path) const;
    // Direct subkeys, in the order the file first names them.
    std::vector<std::string> subkeys(std::string_view path) const;
    // Removes a key that has no subkeys; false when it has some or does not exist.
    bool remove(std::string_view path);

  private:
    // One line without its end; `end` is "", "\n" or "\r\n" as the file had it. The text
    // lies in the file's text or in the texts this program added, both kept by the hive.
    struct Line {
        std::string_view text;
        std::string_view end;
    };
    struct Section {
        std::vector<Line> separator; // blank lines this program put before a key it added
        Line header;                 // the line as written
        std::string path;            // below HKEY_CURRENT_USER, as written; empty for other roots
        std::string foldedPath;      // for comparisons
        bool isUserKey = false;
        std::vector<Line> body; // value, comment and blank lines up to the next key
    };

    Section* ownSection(std::string_view path);
    const Section* ownSection(std::string_view path) const;
    std::vector<Line>& lastBlock();
    // Where a key would go: how many of its leading names exist (a key exists while any key
    // lies below it), whether it has a section of its own, and the names in the case stored.
    struct Placement {
        size_t existing;
        bool ownSection;
        std::vector<std::string> storedCase;
    };
    Placement placementOf(const std::vector<std::string>& parts) const;
    std::string_view keep(std::string text);
    Line newLine(std::string text) { return {keep(std::move(text)), newLineEnd_}; }

    // Shared by copies, never changed: the lines of every copy point into them.
    std::shared_ptr<const std::string> fileText_;
    std::shared_ptr<std::deque<std::string>> addedTexts_ =
        std::make_shared<std::deque<std::string>>();

    bool byteOrderMark_ = false;
    Line version_{kVersionLine, "\n"};
    std::vector<Line> preamble_; // lines between the version line and the first key
    std::vector<Section> sections_;
    std::string_view newLineEnd_ = "\n"; // for lines this program adds: the file's own
    bool endsWithoutLineEnd_ = false;    // the file's last line has no line end
};

} // namespace vintrel
