#include "TempTree.h"
#include "TypeDescription.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace vintrel;
using namespace vintrel::test;

// A type that only the user's own MIME database knows is described like any other: the
// look-up must not be skipped because the system's glob list lacks it. Its own process, since
// the database is read once.
TEST(UserMimeTypes, TypesOfTheUsersDatabaseAreDescribed) {
    TempTree home;
    home.file("mime/packages/vintrel-test.xml",
              R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-vintrel-test">
    <comment>Vintrel test data</comment>
    <glob pattern="*.vtdata"/>
  </mime-type>
  <mime-type type="application/x-vintrel-test-numbered">
    <comment>Vintrel numbered part</comment>
    <glob pattern="*.vt[0-9][0-9]"/>
  </mime-type>
</mime-info>
)");
    const std::string update = "update-mime-database '" + home.path("mime") + "' 2>/dev/null";
    if (std::system(update.c_str()) != 0) GTEST_SKIP() << "update-mime-database is missing";
    setenv("XDG_DATA_HOME", home.root().c_str(), 1);

    EXPECT_EQ(GetTypeDescription(".vtdata"), "Vintrel test data");
    EXPECT_EQ(GetTypeDescription(".VTDATA"), "Vintrel test data");
    EXPECT_EQ(GetTypeDescription(".vt07"), "Vintrel numbered part");
    EXPECT_EQ(GetTypeDescription(".vt7"), "VT7 File");
    EXPECT_NE(GetTypeDescription(".txt"), "TXT File"); // the system's database still counts
}
