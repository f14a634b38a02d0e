#include "BackgroundSortKeys.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace vintrel;

namespace {

// Paths that share long beginnings, as a walk gives them, with letter case, accents, a
// decomposed accent, bytes that are not UTF-8 and an empty text among them.
std::vector<std::string> Texts(int count) {
    const char* names[] = {"Übersicht", "ubersicht", "e\xCC\x81t\xC3\xA9", "\xFF\xFE", "", "Zebra",
                           "a b.txt",   "A_B.TXT"};
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i)
        texts.push_back("/home/user/folder" + std::to_string(i % 7) + "/" + names[i % 8] +
                        std::to_string(i / 8));
    texts.push_back("");
    return texts;
}

std::vector<std::string_view> Views(const std::vector<std::string>& texts, size_t from = 0) {
    return {texts.begin() + static_cast<ptrdiff_t>(from), texts.end()};
}

void ExpectKeysOf(const SortKeyTable& keys, const std::vector<std::string>& texts,
                  const Collation& collation) {
    ASSERT_EQ(keys.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        ASSERT_EQ(keys[static_cast<uint32_t>(i)], collation.sortKey(texts[i])) << i;
}

void WaitUntilMade(const BackgroundSortKeys& keys, size_t count) {
    for (int wait = 0; wait < 2000 && keys.made() < count; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace

TEST(BackgroundSortKeys, EveryKeyIsTheCollationsOwnWhateverTheHelperHasMadeSoFar) {
    const Collation collation("");
    const std::vector<std::string> texts = Texts(30000);
    BackgroundSortKeys keys(collation);
    EXPECT_EQ(keys.add(Views(texts)), 0u);
    ExpectKeysOf(keys.all(), texts, collation); // at once: mostly made here and now
    WaitUntilMade(keys, texts.size());
    EXPECT_EQ(keys.made(), texts.size());
    ExpectKeysOf(keys.all(), texts, collation); // all from the front-coded store

    std::vector<std::string> more = texts;
    more.insert(more.end(), texts.rbegin(), texts.rend());
    EXPECT_EQ(keys.add(Views(more, texts.size())), texts.size()); // indexes go on
    ExpectKeysOf(keys.all(), more, collation);
}

TEST(BackgroundSortKeys, ForgottenTextsMayGoWhileTheOthersKeepTheirKeys) {
    const Collation collation("");
    std::vector<std::unique_ptr<std::string>> owned;
    std::vector<std::string_view> views;
    for (const std::string& text : Texts(20000)) {
        owned.push_back(std::make_unique<std::string>(text + " long enough to live on the heap"));
        views.emplace_back(*owned.back());
    }
    BackgroundSortKeys keys(collation);
    keys.add(views);
    std::vector<uint32_t> gone;
    for (uint32_t i = 0; i < views.size(); i += 3) gone.push_back(i);
    keys.forget(gone);
    for (const uint32_t i : gone) owned[i].reset(); // read after this, the sanitizer says so
    const SortKeyTable table = keys.all();
    for (uint32_t i = 0; i < views.size(); ++i) {
        if (owned[i]) {
            ASSERT_EQ(table[i], collation.sortKey(*owned[i])) << i;
        }
    }
}

TEST(BackgroundSortKeys, AResetStartsTheIndexesAgainWithTheNewCollation) {
    const Collation root(""), swedish("sv");
    const std::vector<std::string> texts = {"zebra", "\xC3\xA4pple", "apple", "Zulu"};
    const std::vector<std::string> before = Texts(5000);
    BackgroundSortKeys keys(root);
    keys.add(Views(before));
    keys.reset(swedish);
    EXPECT_EQ(keys.add(Views(texts)), 0u);
    const SortKeyTable table = keys.all();
    ExpectKeysOf(table, texts, swedish);
    EXPECT_GT(table[1], table[0]); // in Swedish ä comes after z
    keys.reset();
    EXPECT_EQ(keys.all().size(), 0u);
}
