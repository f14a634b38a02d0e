// Vintrel 2: analyses a folder tree.

#include "Application.h"
#include "CommandLine.h"
#include "ScanImport.h"
#include "StopSignals.h"
#include "try1.h"
#include "Utf8.h"
#include "Version.h"

#include <cstdio>
#include <cstring>
#include <QWidget>

namespace {

const char* const kHelp =
    "Usage: vintrel2 [FOLDER] [/s]\n"
    "       vintrel2 --open FILE [/s]\n"
    "Opens the Vintrel 2 window on FOLDER (a file: its folder). Press GO for one row per\n"
    "file type with its count and total size, or set filters to list the matching files.\n"
    "\n"
    "  --open FILE  search the saved scan FILE (of vintrel2-scan --export, ncdu or gdu)\n"
    "               instead of a folder, until Root is changed\n"
    "  /s           start with the skin on\n"
    "  --help       this text\n"
    "  --version    the program's version\n";

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
    const std::vector<std::string> arguments = vintrel::ProgramArguments(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--open") == 0) {
        const std::optional<std::string> scan = vintrel::SavedScanArgument(arguments);
        if (!scan) {
            std::fputs("vintrel2: --open takes one saved scan file, and only /s after it\n",
                       stderr);
            return 2;
        }
        if (!vintrel::ReadSavedScanHeader(*scan)) {
            std::fprintf(stderr, "vintrel2: '%s' is not a saved scan that can be read\n",
                         vintrel::DisplayText(*scan).c_str());
            return 1;
        }
    }
    vintrel::Application application(argc, argv);
    vintrel::TForm1 form(arguments);
    const vintrel::StopSignals stopSignals([&form] {
        while (QWidget* question = QApplication::activeModalWidget()) {
            if (!question->close()) break;
        }
        form.close();
    });
    form.show();
    return application.exec();
}
