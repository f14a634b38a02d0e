// Per-file cost of the type index with few and with many distinct types: the walk asks it
// once for every counted file, so it must not slow down as types accumulate.

#include "Collation.h"
#include "Records.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace vintrel;

namespace {

double NanosecondsPerLookup(int distinctTypes, const Collation& collation) {
    std::vector<std::string> spellings;
    for (int i = 0; i < distinctTypes; ++i) {
        const std::string type = ".t" + std::to_string(i);
        spellings.push_back(type);
        std::string upper = type;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        spellings.push_back(upper);
    }
    std::mt19937 random(1);
    std::vector<const std::string*> files;
    for (int i = 0; i < 2'000'000; ++i) files.push_back(&spellings[random() % spellings.size()]);

    // Every type is met once before timing: in a real tree each type recurs many times.
    TDataIndexList index(collation);
    for (const std::string& type : spellings) {
        if (index.IndexOfType(type) < 0) index.add(type, static_cast<int>(index.size()));
    }
    const auto start = std::chrono::steady_clock::now();
    long found = 0;
    for (const std::string* type : files) found += index.IndexOfType(*type);
    const std::chrono::duration<double, std::nano> elapsed =
        std::chrono::steady_clock::now() - start;
    if (found < 0) std::puts("");
    return elapsed.count() / static_cast<double>(files.size());
}

} // namespace

int main() {
    const Collation collation = Collation::FromEnvironment();
    const double few = NanosecondsPerLookup(10, collation);
    const double many = NanosecondsPerLookup(5000, collation);
    // Uniform random access to 10,000 spellings is the worst case for the caches; a walk
    // spends about 1 us per file in the kernel, so either figure is small beside it.
    std::printf("types   ns per file (all types known)\n%5d   %8.1f\n%5d   %8.1f\n", 10, few, 5000,
                many);
}
