#include "SavedScans.h"

#include "Compression.h"
#include "Csv.h"
#include "Errors.h"
#include "Paths.h"
#include "SafeFile.h"
#include "ScanExport.h"
#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>

namespace vintrel {

bool ExportScan(const CliArguments& args, FolderScanner& scanner, ScanState& state) {
    const bool toStandardOutput = args.exportFile == "-";
    std::optional<ReplacingFileWriter> file;
    if (!toStandardOutput) {
        file.emplace(args.exportFile);
        if (const FileWriteResult opened = file->open(); !opened)
            throw UserError(CannotCreate(args.exportFile, opened));
    }
    const WriteSignalsHeld signalsHeld; // a closed pipe is a write error, not the end
    CompressingWriter compressed(toStandardOutput ? Compression::None
                                                  : CompressionForName(args.exportFile),
                                 [&](std::string_view bytes) {
                                     if (file) {
                                         file->write(bytes); // a failure comes with the commit
                                     } else if (!WriteAll(STDOUT_FILENO, bytes)) {
                                         throw UserError(StreamWriteError(errno));
                                     }
                                 });
    ScanExporter exporter([&](std::string_view bytes) { compressed.write(bytes); });
    scanner.setObserver(&exporter);
    scanner.setDetailFolders(true);
    scanner.ScanFolder(AbsolutePath(args.folder), true, ScanMode::Types());
    scanner.setObserver(nullptr);
    if (!state.RootError.empty()) return false;
    if (state.StopRequested) {
        std::fputs("vintrel2-scan: no scan was saved\n", stderr);
        return true;
    }
    exporter.finish();
    compressed.finish();
    if (file) {
        const FileWriteResult result = file->commit();
        if (result.failure == FileWriteResult::Failure::Create)
            throw UserError(CannotCreate(args.exportFile, result));
        if (!result) throw UserError(StreamWriteError(result.error));
    }
    return true;
}

int OpenSavedScan(const std::string& fileName) {
    const int fd =
        fileName == "-" ? dup(STDIN_FILENO) : ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw UserError("cannot read '" + DisplayText(fileName) + "': " + std::strerror(errno));
    return fd;
}

} // namespace vintrel
