#include "Paths.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vintrel;

TEST(Paths, RelativePathsBecomeAbsoluteWithoutDotComponents) {
    char* current = get_current_dir_name();
    const std::string cwd = current;
    free(current);
    EXPECT_EQ(AbsolutePath("."), cwd + "/");
    EXPECT_EQ(AbsolutePath("./a.txt"), cwd + "/a.txt");
    EXPECT_EQ(AbsolutePath("sub/./x/"), cwd + "/sub/x/");
    EXPECT_EQ(AbsolutePath("../up"), cwd + "/../up");
    EXPECT_EQ(AbsolutePath("/data//x/./y"), "/data/x/y");
    EXPECT_EQ(AbsolutePath("/"), "/");
    EXPECT_EQ(AbsolutePath("/s"), "/s");
    EXPECT_EQ(AbsolutePath("na\xFFme"), cwd + "/na\xFFme");
    EXPECT_EQ(AbsolutePath(""), "");
}
