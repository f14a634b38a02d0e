#include "ContextMenuVerb.h"
#include "FileManagerMenus.h"
#include "Registry.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && (st.st_mode & 0100);
}

class Verb : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.hiveFile = tree.path("config/vintrel2/registry.reg");
        settings.configHome = tree.path("config");
        settings.dataHome = tree.path("data");
        settings.executable = "/opt/vintrel/vintrel2";
    }
    std::optional<std::string> value(const std::string& key) const {
        return Registry(settings.hiveFile, Registry::Access::Read).hive().defaultValue(key);
    }
    void writeHive(const std::string& body) {
        tree.file("config/vintrel2/registry.reg",
                  "Windows Registry Editor Version 5.00\n\n" + body);
    }
    TempTree tree;
    VerbSettings settings;
};

} // namespace

TEST(VerbCommand, PathsWithBlanksAreQuoted) {
    EXPECT_EQ(VerbCommandLine("/opt/v/vintrel2", false), "/opt/v/vintrel2 \"%1\"");
    EXPECT_EQ(VerbCommandLine("/opt/v/vintrel2", true), "/opt/v/vintrel2 \"%1\" \"/s\"");
    EXPECT_EQ(VerbCommandLine("/my apps/vintrel2", false), "\"/my apps/vintrel2\" \"%1\"");
    EXPECT_EQ(VerbCommandLine("/odd\"name", false), "\"/odd\\\"name\" \"%1\"");
}

TEST_F(Verb, RegistersAllSixKeysAndRemovesThemAgain) {
    EXPECT_FALSE(IsContextMenuRegistered(settings));
    EXPECT_TRUE(ToggleContextMenu(false, settings));
    EXPECT_TRUE(IsContextMenuRegistered(settings));
    for (const char* verb : {kDirectoryVerbKey, kDriveVerbKey, kAllFilesVerbKey}) {
        EXPECT_EQ(value(verb), "Run Vintrel 2") << verb;
        EXPECT_EQ(value(std::string(verb) + "\\command"), "/opt/vintrel/vintrel2 \"%1\"") << verb;
    }
    const std::string text = ReadFile(settings.hiveFile);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\software\\classes\\Drive\\shell\\vintrel\\command]"),
              std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\software\\classes\\*\\shell\\vintrel]"),
              std::string::npos);

    EXPECT_FALSE(ToggleContextMenu(false, settings));
    EXPECT_FALSE(IsContextMenuRegistered(settings));
    const Registry registry(settings.hiveFile, Registry::Access::Read);
    for (const char* verb : {kDirectoryVerbKey, kDriveVerbKey, kAllFilesVerbKey}) {
        EXPECT_FALSE(registry.openKey(verb)) << verb;
    }
}

TEST_F(Verb, OnlyTheDirectoryKeyDecidesTheState) {
    writeHive("[HKEY_CURRENT_USER\\Software\\Classes\\Drive\\shell\\vintrel]\n@=\"old\"\n");
    EXPECT_FALSE(IsContextMenuRegistered(settings));
    EXPECT_TRUE(ToggleContextMenu(false, settings)); // registers, overwriting Drive
    EXPECT_EQ(value(kDriveVerbKey), "Run Vintrel 2");

    writeHive("[HKEY_CURRENT_USER\\software\\classes\\directory\\shell\\vintrel]\n\n"
              "[HKEY_CURRENT_USER\\software\\classes\\directory\\shell\\vintrel\\extra\\deeper]\n@="
              "\"x\"\n");
    EXPECT_TRUE(IsContextMenuRegistered(settings));
    EXPECT_FALSE(ToggleContextMenu(false, settings)); // removes what exists, subkeys first
    EXPECT_FALSE(Registry(settings.hiveFile, Registry::Access::Read)
                     .openKey("software\\classes\\directory"
                              "\\shell\\vintrel"));
}

TEST_F(Verb, TheSkinFlagGoesIntoEveryCommand) {
    settings.executable = "/my apps/vintrel2";
    ASSERT_TRUE(ToggleContextMenu(true, settings));
    for (const char* verb : {kDirectoryVerbKey, kDriveVerbKey, kAllFilesVerbKey}) {
        EXPECT_EQ(value(std::string(verb) + "\\command"), "\"/my apps/vintrel2\" \"%1\" \"/s\"");
    }
}

TEST_F(Verb, OtherProgramsKeysSurviveAToggle) {
    writeHive("[HKEY_CURRENT_USER\\Software\\Other]\n@=\"keep me\"\n\"Named\"=\"too\"\n");
    ToggleContextMenu(false, settings);
    ToggleContextMenu(false, settings);
    EXPECT_EQ(value("Software\\Other"), "keep me");
    EXPECT_NE(ReadFile(settings.hiveFile).find("\"Named\"=\"too\""), std::string::npos);
}

TEST_F(Verb, ADamagedHiveIsReportedAndLeftAlone) {
    writeHive("[HKEY_CURRENT_USER\\Broken\n");
    const std::string before = ReadFile(settings.hiveFile);
    EXPECT_FALSE(IsContextMenuRegistered(settings));
    EXPECT_THROW(ToggleContextMenu(false, settings), RegistryError);
    EXPECT_EQ(ReadFile(settings.hiveFile), before);
}

TEST_F(Verb, AnExecutablePathWithALineBreakIsRefusedAndNothingChanges) {
    writeHive("[HKEY_CURRENT_USER\\Software\\Other]\n@=\"keep me\"\n");
    const std::string before = ReadFile(settings.hiveFile);
    settings.executable = "/opt/odd\nname/vintrel2";
    try {
        ToggleContextMenu(false, settings);
        ADD_FAILURE() << "no error";
    } catch (const RegistryError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for ''");
    }
    EXPECT_EQ(ReadFile(settings.hiveFile), before);
    EXPECT_NE(access(FileManagerMenuFiles(settings).dolphin.c_str(), F_OK), 0);
}

TEST_F(Verb, FileManagerMenusAreWrittenAndRemoved) {
    settings.executable = "/my apps/it's vintrel2";
    const FileManagerMenuFiles files(settings);
    ASSERT_TRUE(ToggleContextMenu(true, settings));

    const std::string dolphin = ReadFile(files.dolphin);
    EXPECT_NE(dolphin.find("Exec=\"/my apps/it's vintrel2\" %f /s\n"), std::string::npos)
        << dolphin;
    EXPECT_NE(dolphin.find("Name=Run Vintrel 2"), std::string::npos);
    EXPECT_TRUE(IsExecutable(files.dolphin));
    const std::string script = ReadFile(files.nautilus);
    EXPECT_NE(script.find("exec '/my apps/it'\\''s vintrel2' \"$item\" '/s'"), std::string::npos)
        << script;
    EXPECT_TRUE(IsExecutable(files.nautilus));
    // The key file doubles the shell's backslash.
    EXPECT_NE(ReadFile(files.nemo).find("Exec='/my apps/it'\\\\''s vintrel2' %F '/s'"),
              std::string::npos);
    EXPECT_NE(access(files.thunar.c_str(), F_OK), 0); // no Thunar here: uca.xml not made

    ASSERT_FALSE(ToggleContextMenu(true, settings));
    for (const std::string* path : {&files.dolphin, &files.nautilus, &files.nemo}) {
        EXPECT_NE(access(path->c_str(), F_OK), 0) << *path;
    }
}

TEST_F(Verb, NautilusScriptStartsTheProgramOnTheChosenItem) {
    tree.file("bin/fake", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n");
    tree.chmod("bin/fake", 0755);
    settings.executable = tree.path("bin/fake");
    ASSERT_TRUE(ToggleContextMenu(true, settings));
    const std::string command =
        "cd / && NAUTILUS_SCRIPT_SELECTED_FILE_PATHS='/some where/it'\"'\"'s\n' '" +
        FileManagerMenuFiles(settings).nautilus + "' x";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile(tree.path("bin/args")), "/some where/it's\n/s\n");
}

TEST_F(Verb, ThunarKeepsEveryOtherAction) {
    const std::string foreign =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n"
        "<action>\n\t<name>Open Terminal Here</name>\n\t<unique-id>1-1</unique-id>\n"
        "\t<command>exo-open --launch TerminalEmulator --working-directory %f</command>\n"
        "</action>\n"
        "<action>\n\t<name>Other</name>\n\t<unique-id>2-2</unique-id>\n"
        "\t<command>other &amp; %f</command>\n</action>\n"
        "</actions>\n";
    tree.file("config/Thunar/uca.xml", foreign);
    const FileManagerMenuFiles files(settings);
    settings.executable = "/a&b/vintrel2";
    ASSERT_TRUE(ToggleContextMenu(false, settings));
    const std::string with = ReadFile(files.thunar);
    EXPECT_EQ(with.find(foreign.substr(0, foreign.size() - 11)), 0u); // all up to "</actions>"
    EXPECT_NE(with.find("<command>'/a&amp;b/vintrel2' %f</command>"), std::string::npos) << with;
    EXPECT_NE(with.find("<unique-id>vintrel2-run-verb</unique-id>"), std::string::npos);
    ASSERT_FALSE(ToggleContextMenu(false, settings));
    EXPECT_EQ(ReadFile(files.thunar), foreign);
}

TEST_F(Verb, TwoProcessesTogglingAtOnceLeaveAConsistentHive) {
    writeHive("[HKEY_CURRENT_USER\\Software\\Other]\n@=\"keep me\"\n");
    pid_t children[2];
    for (pid_t& child : children) {
        child = fork();
        if (child == 0) {
            for (int i = 0; i < 25; ++i) ToggleContextMenu(false, settings);
            _exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const Registry registry(settings.hiveFile, Registry::Access::Read); // parses
    EXPECT_EQ(registry.hive().defaultValue("Software\\Other"), "keep me");
    const bool registered = registry.openKey(kDirectoryVerbKey).has_value();
    for (const char* verb : {kDirectoryVerbKey, kDriveVerbKey, kAllFilesVerbKey}) {
        EXPECT_EQ(registry.openKey(std::string(verb) + "\\command").has_value(), registered)
            << verb;
    }
    EXPECT_FALSE(registered); // 50 toggles in all
}

TEST_F(Verb, ThunarFilesThatCannotBeReadOrParsedAreNeverWrittenAndNothingChanges) {
    const FileManagerMenuFiles files(settings);
    for (const std::string& content : {
             std::string("<?xml version=\"1.0\"?>\n<actions>\n<action><name>Mine</name>\n"),
             std::string("<actions><action><name>Mine</name></action></actions>\n<extra/>"),
             std::string("<other/>\n"),
             std::string("<actions>\xFF</actions>\n"),
         }) {
        tree.file("config/Thunar/uca.xml", content);
        try {
            ToggleContextMenu(false, settings);
            ADD_FAILURE() << "no error for " << content;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("uca.xml\" cannot be read"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(ReadFile(files.thunar), content);
        EXPECT_FALSE(IsContextMenuRegistered(settings));
        EXPECT_NE(access(files.dolphin.c_str(), F_OK), 0);
    }

    // A file its owner may not read (mode 0200) stops the removal just as well.
    tree.file("config/Thunar/uca.xml", "<actions/>\n");
    ASSERT_TRUE(ToggleContextMenu(false, settings));
    tree.chmod("config/Thunar/uca.xml", 0200);
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + tree.root() + "'").c_str()), 0);
    EXPECT_EQ(vintrel::test::RunUnprivileged([&] {
                  try {
                      ToggleContextMenu(false, settings);
                  } catch (const std::runtime_error&) {
                      return IsContextMenuRegistered(settings) ? 0 : 2;
                  }
                  return 1;
              }),
              0);
    tree.chmod("config/Thunar/uca.xml", 0600);
    EXPECT_NE(ReadFile(files.thunar).find(kThunarActionId), std::string::npos);
}

TEST_F(Verb, ThunarFilesOfAnyWellFormedShapeKeepTheirOwnActions) {
    const FileManagerMenuFiles files(settings);
    for (const std::string& foreign : {
             std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>"
                         "<name>Ä</name><unique-id>1</unique-id></action>\n</actions >\n"),
             std::string("<actions/>"),
             std::string("<!-- mine -->\n<actions\n>\t<action><unique-id>2</unique-id>"
                         "<command>a &lt; b</command></action></actions>"),
         }) {
        tree.file("config/Thunar/uca.xml", foreign);
        ASSERT_TRUE(ToggleContextMenu(false, settings));
        const std::string with = ReadFile(files.thunar);
        EXPECT_NE(with.find("<unique-id>vintrel2-run-verb</unique-id>"), std::string::npos) << with;
        EXPECT_NO_THROW(ThunarWithoutAction(with)); // still well-formed
        ASSERT_FALSE(ToggleContextMenu(false, settings));
        const std::string without = ReadFile(files.thunar);
        if (foreign != "<actions/>") {
            EXPECT_EQ(without, foreign);
        }
        EXPECT_EQ(without.find("vintrel2"), std::string::npos);
    }
}

TEST_F(Verb, AToggleWritesTheHiveOnceAndKeepsItsBytes) {
    const std::string original = "Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                                 "\"Blob\"=hex:01,\\\r\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Next]\r\n@=\"n\"\r\n\r\n";
    tree.file("config/vintrel2/registry.reg", original);
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, tree.path("config/vintrel2").c_str(), IN_MOVED_TO), 0);
    const auto writes = [&] {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<inotify_event*>(at);
                if (event->len && std::string(event->name) == "registry.reg") ++count;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return count;
    };
    ASSERT_TRUE(ToggleContextMenu(false, settings));
    EXPECT_EQ(writes(), 1);
    EXPECT_EQ(value("software\\classes\\Drive\\shell\\vintrel\\command"),
              "/opt/vintrel/vintrel2 \"%1\"");
    EXPECT_EQ(value("Software\\Next"), "n"); // not swallowed by the line before
    EXPECT_EQ(ReadFile(settings.hiveFile).rfind(original, 0), 0u);
    ASSERT_FALSE(ToggleContextMenu(false, settings));
    EXPECT_EQ(writes(), 1);
    // The parent keys stay, as they do in the registry; the rest is as it was, and does
    // not grow from one toggle to the next.
    const std::string removed = ReadFile(settings.hiveFile);
    EXPECT_EQ(removed.rfind(original, 0), 0u);
    EXPECT_EQ(removed.find("\n\n\r\n"), std::string::npos);
    ToggleContextMenu(false, settings);
    ToggleContextMenu(false, settings);
    EXPECT_EQ(ReadFile(settings.hiveFile), removed);
    close(watch);
}
