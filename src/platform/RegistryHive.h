#pragma once
// A per-user registry hive in the text format of registry export files:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\software\classes\directory\shell\vintrel]
//   @="Run Vintrel 2"
//
// Paths are relative to HKEY_CURRENT_USER, separated by "\" and matched without regard to
// letter case. Everything the file holds that this program does not use (other keys,
// named values, other types, comments) is kept as it was, in its order.

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
    static RegistryHive Parse(std::string_view text, const std::string& fileName);
    std::string serialize() const;

    bool exists(std::string_view path) const;
    // Creates the key and its missing parents, new names in the letter case given; false
    // when the key was there already.
    bool create(std::string_view path);
    // The key must exist.
    void setDefault(std::string_view path, std::string_view value);
    // The default value when it is a string.
    std::optional<std::string> defaultValue(std::string_view path) const;
    // Direct subkeys, in the order the file first names them.
    std::vector<std::string> subkeys(std::string_view path) const;
    // Removes a key that has no subkeys; false when it has some or does not exist.
    bool remove(std::string_view path);

  private:
    struct Section {
        std::string header;     // the line as written
        std::string path;       // below HKEY_CURRENT_USER, as written; empty for other roots
        std::string foldedPath; // for comparisons
        bool isUserKey = false;
        std::vector<std::string> body; // value, comment and blank lines up to the next key
    };

    Section* ownSection(std::string_view path);
    const Section* ownSection(std::string_view path) const;
    std::vector<std::string>& lastBlock();
    std::string storedCasePrefix(const std::vector<std::string>& components, size_t count) const;

    std::vector<std::string> preamble_; // lines between the version line and the first key
    std::vector<Section> sections_;
};

} // namespace vintrel
