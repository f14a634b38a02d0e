// The name mask matcher: no crash on any pattern or name, and the rules that hold for all.

#include "FuzzCheck.h"
#include "Wildcard.h"

#include <string>

using namespace vintrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string_view pattern = input.part();
    const std::string_view name = input.rest();

    const WildcardPattern compiled(pattern);
    FUZZ_CHECK(compiled.matches(name) == PathMatchSpec(name, pattern));
    FUZZ_CHECK(WildcardPattern("*").matches(name));
    FUZZ_CHECK(WildcardPattern("*.*").matches(name));
    FUZZ_CHECK(WildcardPattern("*;x").matches(name));
    // A name without wildcards or separators is its own pattern, whatever its letter case.
    const bool plain =
        !name.empty() && name.find_first_of("*?;") == std::string_view::npos && name.front() != ' ';
    if (plain) FUZZ_CHECK(WildcardPattern(name).matches(name));
    // "*" before or after a pattern never loses a match.
    if (compiled.matches(name) && pattern.find(';') == std::string_view::npos && !pattern.empty() &&
        pattern.front() != ' ' && pattern != "*.*") {
        FUZZ_CHECK(WildcardPattern("*" + std::string(pattern)).matches(name));
        FUZZ_CHECK(WildcardPattern(std::string(pattern) + "*").matches(name));
    }
    return 0;
}
