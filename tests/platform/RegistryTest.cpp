#include "Registry.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace vintrel;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

// A hive as another program might leave it.
const std::string kForeignHive = "Windows Registry Editor Version 5.00\n"
                                 "\n"
                                 "; written by hand\n"
                                 "[HKEY_CURRENT_USER\\Software\\Other]\n"
                                 "@=\"other \\\"program\\\" C:\\\\x\"\n"
                                 "\"Name\"=dword:00000001\n"
                                 "\"Blob\"=hex:01,02,\\\n"
                                 "  03,04\n"
                                 "\n"
                                 "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
                                 "@=\"kept\"\n";

} // namespace

TEST(RegistryHive, KeepsEverythingItDoesNotUnderstand) {
    const RegistryHive hive = RegistryHive::Parse(kForeignHive, "x.reg");
    EXPECT_EQ(hive.serialize(), kForeignHive);
    EXPECT_EQ(hive.defaultValue("software\\OTHER"), "other \"program\" C:\\x");
    EXPECT_TRUE(hive.exists("Software"));
    EXPECT_FALSE(hive.exists("Elsewhere")); // another root
    const std::string crlf =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
    EXPECT_TRUE(RegistryHive::Parse(crlf, "x.reg").exists("a"));
}

TEST(RegistryHive, KeysAreCreatedInTheirCaseAndFoundInAnyCase) {
    RegistryHive hive = RegistryHive::Parse(kForeignHive, "x.reg");
    EXPECT_TRUE(hive.create("software\\classes\\Drive\\shell\\vintrel"));
    EXPECT_FALSE(hive.create("SOFTWARE\\CLASSES\\drive\\SHELL\\VINTREL"));
    EXPECT_TRUE(hive.exists("Software\\Classes\\DRIVE\\shell\\vintrel"));
    hive.setDefault("software\\classes\\Drive\\shell\\vintrel", "Run \"it\"");
    hive.setDefault("software\\classes\\Drive\\shell\\vintrel", "Run Vintrel 2");
    const std::string text = hive.serialize();
    EXPECT_NE(
        text.find(
            "[HKEY_CURRENT_USER\\Software\\classes\\Drive\\shell\\vintrel]\n@=\"Run Vintrel 2\"\n"),
        std::string::npos)
        << text; // the existing "Software" kept its case
    EXPECT_EQ(text.rfind(kForeignHive, 0), 0u);
    EXPECT_EQ(RegistryHive::Parse(text, "x.reg").serialize(), text);
    EXPECT_EQ(hive.subkeys("software"), (std::vector<std::string>{"Other", "classes"}));
    EXPECT_FALSE(hive.remove("software\\classes")); // it has subkeys
    EXPECT_TRUE(hive.remove("software\\classes\\drive\\shell\\vintrel"));
    EXPECT_FALSE(hive.exists("software\\classes\\drive\\shell\\vintrel"));
}

TEST(RegistryHive, DamagedFilesNameTheLine) {
    const auto error = [](const std::string& text) {
        try {
            RegistryHive::Parse(text, "/cfg/registry.reg");
        } catch (const RegistryError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(error("REGEDIT4\n"),
              "The registry file \"/cfg/registry.reg\" cannot be read at line 1: it does not "
              "begin with \"Windows Registry Editor Version 5.00\". It was left unchanged.");
    EXPECT_NE(
        error("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A\n").find("at line 3"),
        std::string::npos);
    EXPECT_NE(error("Windows Registry Editor Version 5.00\n@=\"x\"\n").find("at line 2"),
              std::string::npos);
    EXPECT_NE(error("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n@=\"x\n")
                  .find("at line 3"),
              std::string::npos);
    EXPECT_NE(error("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\nwhat\n")
                  .find("at line 3"),
              std::string::npos);
    EXPECT_EQ(error(""), "");
}

TEST(Registry, ChangesAreWrittenOnceByCommit) {
    TempTree tree;
    const std::string file = tree.path("config/vintrel2/registry.reg");
    {
        Registry registry(file, Registry::Access::ReadWrite); // a missing file is an empty hive
        EXPECT_FALSE(registry.openKey("a\\b"));
        const auto key = registry.createKey("a\\b\\c");
        ASSERT_TRUE(key);
        registry.setDefaultValue(*key, "value");
        registry.createKey("a\\b\\d");
        EXPECT_FALSE(vintrel::test::Exists(file)); // nothing written before the commit
        ASSERT_TRUE(registry.commit());
        EXPECT_EQ(RegistryHive::Parse(ReadFile(file), file).defaultValue("A\\B\\C"), "value");
    }
    {
        Registry registry(file, Registry::Access::ReadWrite);
        EXPECT_TRUE(registry.deleteKey("a\\b\\d")); // dropped: no commit
    }
    Registry registry(file, Registry::Access::ReadWrite);
    const RegKeyInfo info = registry.queryInfoKey(*registry.openKey("a\\b"));
    EXPECT_EQ(info.subkeyCount, 2u);
    EXPECT_EQ(info.maxSubkeyLength, 1u);
    EXPECT_EQ(registry.enumKey(*registry.openKey("a\\b"), 1), "d");
    EXPECT_FALSE(registry.enumKey(*registry.openKey("a\\b"), 2));
    EXPECT_FALSE(registry.deleteKey("a\\b"));
    EXPECT_TRUE(registry.deleteKey("a\\b\\d"));
    ASSERT_TRUE(registry.commit());
    EXPECT_FALSE(RegistryHive::Parse(ReadFile(file), file).exists("a\\b\\d"));
}

TEST(Registry, ADamagedHiveIsNeverOverwritten) {
    TempTree tree;
    const std::string damaged = "Windows Registry Editor Version 5.00\n\ngarbage line\n";
    tree.file("registry.reg", damaged);
    EXPECT_THROW(Registry(tree.path("registry.reg"), Registry::Access::ReadWrite), RegistryError);
    EXPECT_EQ(ReadFile(tree.path("registry.reg")), damaged);
}

TEST(Registry, AHiveFolderThatCannotBeWrittenFailsTheCommit) {
    TempTree tree;
    tree.folder("locked");
    tree.chmod("locked", 0555);
    const std::string file = tree.path("locked/registry.reg");
    const int result = vintrel::test::RunUnprivileged([&] {
        Registry registry(file, Registry::Access::ReadWrite);
        const auto key = registry.createKey("a\\b");
        if (!key) return 2;
        registry.setDefaultValue(*key, "x");
        const FileWriteResult written = registry.commit();
        return !written && written.error == EACCES ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
}

TEST(RegistryHive, ARewriteKeepsEveryByteItDoesNotChange) {
    const std::string verb = "software\\classes\\directory\\shell\\vintrel";
    for (const std::string& original : {
             // CR LF line ends, a byte-order mark, two blank lines at the end
             std::string("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_CURRENT_USER\\Software\\A]\r\n@=\"a\"\r\n\r\n\r\n"),
             // a value ending in a backslash before CR CR LF is no continuation
             std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:01,\\\r\r\n"
                         "[HKEY_CURRENT_USER\\B]\r\n@=\"b\"\r\n"),
             // no line end after the last line; mixed line ends
             std::string(
                 "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\r\n@=\"a\""),
             std::string(
                 "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n@=\"a\""),
             std::string("Windows Registry Editor Version 5.00"),
         }) {
        RegistryHive hive = RegistryHive::Parse(original, "x.reg");
        EXPECT_EQ(hive.serialize(), original);
        const bool hadB = hive.exists("B");
        hive.create(verb);
        hive.setDefault(verb, "Run Vintrel 2");
        const std::string added = hive.serialize();
        EXPECT_EQ(RegistryHive::Parse(added, "x.reg").serialize(), added);
        EXPECT_EQ(RegistryHive::Parse(added, "x.reg").exists("B"), hadB) << added;
        if (original.find("5.00\r\n") != std::string::npos) {
            EXPECT_EQ(added.find("vintrel]\n"), std::string::npos) << "the file's own line ends";
        }
        for (std::string path = verb; !path.empty() && hive.remove(path);) {
            path.resize(path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\'));
            if (hive.exists(path) && !hive.subkeys(path).empty()) break;
        }
        EXPECT_EQ(hive.serialize(), original);
    }
}
