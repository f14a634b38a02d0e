#include "TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using vintrel::test::TempTree;

// Trees left behind fill the machine's inodes run after run: every level must go.
TEST(TempTree, RemovesADeepTreeWithFilesAndLockedFoldersEntirely) {
    std::string root;
    {
        TempTree tree;
        root = tree.root();
        tree.chain("deep", 3000, [](int level) { return "f" + std::to_string(level); });
        tree.file("wide/a/b/c.txt");
        tree.file("wide/d/e.txt");
        tree.chmod("wide/d", 0);
    }
    struct stat st {};
    EXPECT_NE(lstat(root.c_str(), &st), 0) << root << " is still there";
}
