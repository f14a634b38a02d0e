// The hive parser: any file is read or refused with a RegistryError; one that is read is
// written back byte for byte, and after a change it still reads, with the same keys and
// values as before plus the change.

#include "FuzzCheck.h"
#include "RegistryHive.h"

#include <map>
#include <string>

using namespace vintrel;

namespace {

constexpr const char* kVerb = "software\\classes\\directory\\shell\\vintrel";

// Every key below HKEY_CURRENT_USER with its default value, by the path as found.
void Collect(const RegistryHive& hive, const std::string& path,
             std::map<std::string, std::optional<std::string>>& keys, int depth = 0) {
    if (depth > 64) return;
    for (const std::string& name : hive.subkeys(path)) {
        const std::string child = path.empty() ? name : path + "\\" + name;
        keys[child] = hive.defaultValue(child);
        Collect(hive, child, keys, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string value(input.part());
    const std::string text(input.rest());
    RegistryHive hive;
    try {
        hive = RegistryHive::Parse(text, "fuzz.reg");
    } catch (const RegistryError&) {
        return 0;
    }
    // An empty file is an empty hive, which is written with its version line.
    if (text.find_first_not_of("\xEF\xBB\xBF") != std::string::npos)
        FUZZ_CHECK(hive.serialize() == text);
    std::map<std::string, std::optional<std::string>> before;
    Collect(hive, "", before);

    const bool existed = hive.exists(kVerb);
    hive.create(kVerb);
    if (value.find_first_of("\r\n") != std::string::npos) {
        try {
            hive.setDefault(kVerb, value);
            FUZZ_CHECK(!"a line break was stored");
        } catch (const RegistryError&) {
            return 0;
        }
    }
    hive.setDefault(kVerb, value);
    const std::string changed = hive.serialize();
    const RegistryHive again = RegistryHive::Parse(changed, "fuzz.reg");
    FUZZ_CHECK(again.serialize() == changed);
    FUZZ_CHECK(again.defaultValue(kVerb) == value);
    std::map<std::string, std::optional<std::string>> after;
    Collect(again, "", after);
    for (const auto& [path, old] : before) {
        const auto found = after.find(path);
        FUZZ_CHECK(found != after.end());
        if (found->second != old) FUZZ_CHECK(RegistryHive::Parse(text, "").exists(kVerb));
    }

    // Taking the key out again leaves the rest as it was.
    if (!existed) {
        RegistryHive removed = RegistryHive::Parse(changed, "fuzz.reg");
        FUZZ_CHECK(removed.remove(kVerb));
        std::map<std::string, std::optional<std::string>> without;
        Collect(removed, "", without);
        for (const auto& [path, old] : before)
            FUZZ_CHECK(without.count(path) && without[path] == old);
    }
    return 0;
}
