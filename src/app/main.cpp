// Vintrel 2: analyses a folder tree.

#include "Application.h"
#include "CommandLine.h"
#include "StopSignals.h"
#include "try1.h"
#include "Version.h"

#include <cstdio>
#include <cstring>
#include <QWidget>

namespace {

const char* const kHelp =
    "Usage: vintrel2 [FOLDER] [/s]\n"
    "Opens the Vintrel 2 window on FOLDER (a file: its folder). Press GO for one row per\n"
    "file type with its count and total size, or set filters to list the matching files.\n"
    "\n"
    "  /s          start with the skin on\n"
    "  --help      this text\n"
    "  --version   the program's version\n";

} // namespace

int main(int argc, char** argv) {
    // Only as the sole argument: file managers pass absolute paths, so a folder never
    // collides with these.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("vintrel2 %s\n", vintrel::kVersion);
        return 0;
    }
    vintrel::Application application(argc, argv);
    vintrel::TForm1 form(vintrel::ProgramArguments(argc, argv));
    const vintrel::StopSignals stopSignals([&form] {
        while (QWidget* question = QApplication::activeModalWidget()) {
            if (!question->close()) break;
        }
        form.close();
    });
    form.show();
    return application.exec();
}
