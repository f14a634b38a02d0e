#include "ReadAhead.h"
#include "FileAttributes.h"
#include "TempTree.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace vintrel;
using vintrel::test::TempTree;

namespace {

// Every entry as "path|attributes|size", depth first.
std::vector<std::string> WalkPlain(FolderReader& reader, const OpenFolder& folder,
                                   const std::string& path) {
    FolderBatch batch;
    reader.read(folder, batch);
    std::vector<std::string> seen;
    for (size_t i = 0; i < batch.size(); ++i) {
        const FindRecord e = batch[i];
        seen.push_back(path + std::string(e.name) + "|" + std::to_string(e.attributes) + "|" +
                       std::to_string(e.size));
        if (e.isFolder() && !IsDotOrDotDot(e.name)) {
            OpenFolder child;
            if (reader.openChild(folder, e.name.data(), child) == 0) {
                auto below = WalkPlain(reader, child, path + std::string(e.name) + "/");
                seen.insert(seen.end(), below.begin(), below.end());
            }
        }
    }
    return seen;
}

std::vector<std::string> WalkAhead(ReadAhead& reader, FolderNode& node, const std::string& path,
                                   const std::function<void()>& perEntry = {}) {
    std::vector<std::string> seen;
    for (size_t i = 0; i < node.batch.size(); ++i) {
        if (perEntry) perEntry();
        const FindRecord e = node.batch[i];
        seen.push_back(path + std::string(e.name) + "|" + std::to_string(e.attributes) + "|" +
                       std::to_string(e.size));
        if (e.isFolder() && !IsDotOrDotDot(e.name)) {
            std::shared_ptr<FolderNode> child;
            if (reader.child(node, i, child) == 0) {
                auto below = WalkAhead(reader, *child, path + std::string(e.name) + "/", perEntry);
                seen.insert(seen.end(), below.begin(), below.end());
            }
        }
    }
    return seen;
}

void BuildRandomTree(TempTree& tree, int folders) {
    std::mt19937 random(3);
    std::vector<std::string> known = {""};
    for (int i = 0; i < folders; ++i) {
        const std::string parent = known[random() % known.size()];
        const std::string name = parent + "d" + std::to_string(i) + "/";
        tree.folder(name);
        known.push_back(name);
        for (unsigned f = random() % 6; f > 0; --f)
            tree.sizedFile(name + "f" + std::to_string(f), random() % 5000);
    }
    tree.chmod(known[7], 0); // unreadable to ordinary users; both walks must agree on it
}

} // namespace

TEST(ReadAhead, GivesTheSameEntriesInTheSameOrderAsAPlainWalk) {
    TempTree tree;
    BuildRandomTree(tree, 400);
    FolderReader plainReader;
    OpenFolder root;
    ASSERT_EQ(plainReader.openRoot(tree.root(), root), 0);
    const auto expected = WalkPlain(plainReader, root, "");

    for (int round = 0; round < 5; ++round) {
        ReadAhead reader(true);
        std::shared_ptr<FolderNode> node;
        ASSERT_EQ(reader.openRoot(tree.root(), node), 0);
        EXPECT_EQ(WalkAhead(reader, *node, ""), expected);
    }
}

TEST(ReadAhead, AWalkLeftHalfWayEndsCleanly) {
    TempTree tree;
    BuildRandomTree(tree, 200);
    for (int stopAfter : {1, 10, 100, 500}) {
        ReadAhead reader(true);
        std::shared_ptr<FolderNode> node;
        ASSERT_EQ(reader.openRoot(tree.root(), node), 0);
        int entries = 0;
        EXPECT_THROW(WalkAhead(reader, *node, "",
                               [&] {
                                   if (++entries == stopAfter) throw std::runtime_error("stop");
                               }),
                     std::runtime_error);
    }
}

TEST(ReadAhead, WithoutRecursionOnlyTheRootIsRead) {
    TempTree tree;
    tree.file("a/b.txt");
    ReadAhead reader(false);
    std::shared_ptr<FolderNode> node;
    ASSERT_EQ(reader.openRoot(tree.root(), node), 0);
    EXPECT_EQ(node->batch.size(), 3u);
    EXPECT_EQ(reader.openRoot(tree.path("missing"), node), ENOENT);
}
