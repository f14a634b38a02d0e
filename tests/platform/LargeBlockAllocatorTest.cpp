#include "LargeBlockAllocator.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

using namespace vintrel;

// Growing from a few bytes to megabytes and back crosses between ordinary and huge-page
// blocks both ways; each block must be given back the way it was taken (AddressSanitizer
// tells a mismatch) and keep every element.
TEST(LargeBlockAllocator, AVectorKeepsItsElementsAcrossBothKindsOfBlock) {
    LargeVector<uint64_t> numbers;
    for (uint64_t i = 0; i < 1'000'000; ++i) numbers.push_back(i * 3);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(numbers.data()) % kHugePage, 0u);
    LargeVector<uint64_t> copy = numbers;
    for (uint64_t i = 0; i < copy.size(); ++i) ASSERT_EQ(copy[i], i * 3);

    numbers.resize(10);
    numbers.shrink_to_fit();
    EXPECT_EQ(numbers.back(), 27u);

    LargeVector<std::string> texts(100'000, std::string(40, 'x')); // elements with their own memory
    texts.resize(10);
    texts.shrink_to_fit();
    EXPECT_EQ(texts[9], std::string(40, 'x'));
}
