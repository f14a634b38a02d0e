// Saved scans in the window: opened by --open or a drop, searched by GO in place of a walk of
// Root, and left for live walks by any edit of Root.

#include "try1.h"

#include "DateTime.h"
#include "Descriptor.h"
#include "Errors.h"
#include "Formatting.h"
#include "ShownText.h"
#include "StatusBarGr.h"
#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <QCheckBox>
#include <QLineEdit>

namespace vintrel {

bool TForm1::openSavedScan(const std::string& file) {
    std::optional<SavedScanHeader> header = ReadSavedScanHeader(file);
    if (!header) return false;
    RootDir->setText(ShownText(header->root));
    rootBytes_ = header->root;
    savedScan_ = OpenedScan{file, std::move(*header)};
    return true;
}

void TForm1::leaveSavedScan() {
    savedScan_.reset();
}

void TForm1::walk(const ScanMode& mode) {
    searchedSavedScan_ = false;
    if (!savedScan_ || RootDir->text() != ShownText(savedScan_->header.root)) {
        scanner_.ScanFolder(rootFolder(), incsubs->isChecked(), mode);
        return;
    }
    const Descriptor file(OpenSavedScanFile(savedScan_->file));
    if (!file) {
        throw UserError("The saved scan \"" + DisplayText(savedScan_->file) +
                        "\" cannot be read: " + std::strerror(errno));
    }
    SavedScanReader reader(file.get(), savedScan_->file);
    scanner_.ScanSaved(reader, incsubs->isChecked(), mode);
    savedScan_->header.info = reader.info();
    searchedSavedScan_ = true;
}

// "Searched a saved scan, made 01.12.2026 14:03 on server1", as far as the scan tells.
QString TForm1::savedScanText() const {
    const SavedScanInfo& info = savedScan_->header.info;
    const QString when = info.timestamp > 0
                             ? QString::fromStdString(DateTextFormat(locale_).format(
                                   FileTimeToLocalDateTime(FileTimeFromUnix(info.timestamp, 0))))
                             : QStringLiteral("at an unknown time");
    const QString where = !info.host.empty() ? ShownText(info.host)
                          : !info.machine.empty()
                              ? QStringLiteral("machine ") + ShownText(info.machine)
                              : QStringLiteral("an unknown machine");
    return QStringLiteral("Searched a saved scan, made %1 on %2").arg(when, where);
}

} // namespace vintrel
