// The byte-key sort against std::stable_sort, on keys made to trip it: shared beginnings of
// every length, keys that are beginnings of others, zero bytes, bytes above 0x7F, equal keys.

#include "ByteKeySort.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <random>

using vintrel::SortRowsByByteKeys;

namespace {

std::vector<int> Reference(const std::vector<std::string>& keys, bool ascending) {
    std::vector<int> rows(keys.size());
    std::iota(rows.begin(), rows.end(), 0);
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
    });
    return rows;
}

std::vector<int> Sorted(const std::vector<std::string>& keys, bool ascending) {
    std::vector<int> rows(keys.size());
    std::iota(rows.begin(), rows.end(), 0);
    SortRowsByByteKeys(rows, std::vector<std::string_view>(keys.begin(), keys.end()), ascending);
    return rows;
}

} // namespace

TEST(ByteKeySort, OrdersAsStableSortOfStringsDoes) {
    std::mt19937 random(7);
    const std::string alphabet("\x00\x01\x7F\x80\xFF"
                               "ab",
                               7);
    for (const size_t count : {0, 1, 5, 30, 500, 5000}) {
        for (const size_t shared : {0, 3, 8, 17, 40}) {
            const std::string beginning(shared, 'p');
            std::vector<std::string> keys;
            for (size_t i = 0; i < count; ++i) {
                std::string key = beginning;
                const size_t length = random() % 20;
                for (size_t j = 0; j < length; ++j) key += alphabet[random() % alphabet.size()];
                keys.push_back(key);
                if (random() % 4 == 0) keys.push_back(key); // an equal key
                if (random() % 5 == 0) keys.push_back(key + std::string(random() % 10, '\0'));
            }
            for (const bool ascending : {true, false}) {
                EXPECT_EQ(Sorted(keys, ascending), Reference(keys, ascending))
                    << count << " keys sharing " << shared << " bytes";
            }
        }
    }
}
