// The file table's commands: files to the clipboard, copy and move to a folder, the
// trash, open, show in the file manager, properties, and narrowing the table.

#include "try1.h"

#include "DesktopServices.h"
#include "Dialogs.h"
#include "FileAttributes.h"
#include "FileClipboard.h"
#include "FileTransfer.h"
#include "Guarded.h"
#include "PropertiesDialog.h"
#include "RecordedFile.h"
#include "ShownText.h"
#include "SortListView.h"
#include "Trash.h"
#include "Utf8.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMimeData>
#include <QProgressDialog>

namespace vintrel {

namespace {

// Modal to the window, and shown only when the work takes more than a moment.
void SetUpProgress(QProgressDialog& progress) {
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(700);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
}

// The end of a summary: ", 2 failed, cancelled." and then one line per failure and note.
QString SummaryEnd(const std::vector<std::string>& failures, bool cancelled,
                   const std::vector<std::string>& notes = {}) {
    QString text;
    if (!failures.empty()) text += QStringLiteral(", %1 failed").arg(failures.size());
    if (cancelled) text += QStringLiteral(", cancelled");
    text += u'.';
    for (const std::vector<std::string>* lines : {&failures, &notes}) {
        for (const std::string& line : *lines) text += u'\n' + QString::fromStdString(line);
    }
    return text;
}

// Before a file is replaced. A file that this operation wrote itself (two sources of one
// name) is asked about with both sources named, and without "Yes to all".
ReplaceAnswer AskReplace(const ReplaceQuestion& question, const QString& verb) {
    const QString answer =
        question.earlierSource.empty()
            ? Dialogs::askReplace(QStringLiteral("\"%1\" exists already. Replace it?")
                                      .arg(ShownText(question.target)),
                                  true)
            : Dialogs::askReplace(QStringLiteral("\"%1\" was %2 there a moment ago from \"%3\".\n"
                                                 "Replace it with \"%4\"?")
                                      .arg(ShownText(question.target), verb,
                                           ShownText(question.earlierSource),
                                           ShownText(question.source)),
                                  false);
    if (answer == QLatin1String("Yes")) return ReplaceAnswer::Yes;
    if (answer == QLatin1String("Yes to all")) return ReplaceAnswer::YesToAll;
    if (answer == QLatin1String("No")) return ReplaceAnswer::No;
    return ReplaceAnswer::Cancel;
}

} // namespace

void TForm1::setUpCommands() {
    const std::pair<QAction*, void (TForm1::*)()> commands[] = {
        {Copyfiles1, &TForm1::Copyfiles1Click},
        {Copyto1, &TForm1::Copyto1Click},
        {Moveselectedfiles1, &TForm1::Moveselectedfiles1Click},
        {DeleteFiles2, &TForm1::DeleteFiles2Click},
        {OpenfolderinExplorer, &TForm1::OpenfolderinExplorerClick},
        {Filter, &TForm1::FilterClick},
        {Filterfilesbytype1, &TForm1::Filterfilesbytype1Click},
        {Removeselectedfiles1, &TForm1::Removeselectedfiles1Click},
        {Selectall1, &TForm1::Selectall1Click},
        {Properties1, &TForm1::Properties1Click},
    };
    for (const auto& [action, handler] : commands) {
        connect(
            action, &QAction::triggered, this, Guarded([this, handler = handler] {
                ListView2->rows()->commitRows(); // a command during a fill acts on the rows present
                (this->*handler)();
            }));
    }
    connect(ListView2, &QAbstractItemView::doubleClicked, this,
            Guarded([this] { ListView2DblClick(); }));
    // Selected rows dragged out carry what "Copy selected files to clipboard" puts there.
    ListView2->setDragEnabled(true);
    ListView2->setDragDropMode(QAbstractItemView::DragOnly);
    ListView2->OnDragData = [this] {
        QMimeData* rows = MakeFileListData(selectionList());
        rows->setData(kOwnRowsFormat, QByteArray::number(QCoreApplication::applicationPid()));
        return rows;
    };
}

// The exact paths of the selected rows, in table order.
std::vector<std::string> TForm1::selectionList() const {
    std::vector<std::string> paths;
    for (const int row : ListView2->selectedRows())
        paths.emplace_back(ListView2->rows()->exactFirstCell(row));
    return paths;
}

// A saved scan may come from another machine: of its rows, the files that are not here are
// named instead of acted on. Gives the paths that are here.
std::vector<std::string> TForm1::presentHere(const std::vector<std::string>& paths) const {
    if (!fileTableFromSavedScan_) return paths;
    const std::vector<std::string> missing = MissingHere(paths);
    if (missing.empty()) return paths;
    QString text =
        QStringLiteral("%1 of the selected files do not exist here:").arg(missing.size());
    for (const std::string& path : missing) text += u'\n' + ShownText(path);
    Dialogs::showMessage(text);
    std::vector<std::string> present;
    for (const std::string& path : paths) {
        if (std::find(missing.begin(), missing.end(), path) == missing.end())
            present.push_back(path);
    }
    return present;
}

// Before a delete or a move of a saved scan's rows: each local file must be the one the scan
// recorded. Gives its local identity, or adds why not to `refused`.
std::optional<FileIdentity> TForm1::recordedFileHere(int row,
                                                     std::vector<std::string>& refused) const {
    const ListViewModel* rows = ListView2->rows();
    const std::string path(rows->exactFirstCell(row));
    const ListedFile& listed = rows->listedFile(row);
    if (!fileTableFromSavedScan_) return listed.identity;
    const RecordCheck check = CheckRecordedFile(path, listed.size, listed.modified);
    if (check.mismatch.empty()) return check.identity;
    refused.push_back(DisplayText(path) + ": " + check.mismatch);
    return std::nullopt;
}

void TForm1::Copyfiles1Click() {
    const std::vector<std::string> paths = presentHere(selectionList());
    if (!paths.empty()) CopyFilesToClipboard(paths);
}

void TForm1::Copyto1Click() {
    transferSelected(false);
}

void TForm1::Moveselectedfiles1Click() {
    transferSelected(true);
}

void TForm1::transferSelected(bool move) {
    const std::vector<std::string> selected = selectionList(); // before any dialog opens
    if (selected.empty()) return;
    const QString folder = SelectFolder();
    if (folder.isEmpty()) return;
    // A move changes the source: only of the file the saved scan recorded. A copy takes
    // what is here.
    std::vector<std::string> paths, refused;
    if (move) {
        for (const int row : ListView2->selectedRows()) {
            if (recordedFileHere(row, refused))
                paths.emplace_back(ListView2->rows()->exactFirstCell(row));
        }
    } else {
        paths = presentHere(selected);
    }
    try {
        QProgressDialog progress(move ? QStringLiteral("Moving files...")
                                      : QStringLiteral("Copying files..."),
                                 QStringLiteral("Cancel"), 0, 1000, this);
        SetUpProgress(progress);
        TransferCallbacks callbacks;
        const QString verb = move ? QStringLiteral("moved") : QStringLiteral("copied");
        callbacks.replace = [&](const ReplaceQuestion& question) {
            return AskReplace(question, verb);
        };
        callbacks.progress = [&](int64_t done, int64_t total, const std::string& current) {
            progress.setLabelText(ShownText(current));
            progress.setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        };
        TransferReport report = TransferFiles(
            paths, folder.toStdString(), move ? TransferKind::Move : TransferKind::Copy, callbacks);
        progress.close();
        report.failures.insert(report.failures.begin(), refused.begin(), refused.end());
        const QString where =
            move ? QStringLiteral("Files moved to: ") : QStringLiteral("Files copied to: ");
        if (report.failures.empty() && report.skipped == 0 && report.replacedOwn == 0 &&
            report.notes.empty() && !report.cancelled && paths.size() == selected.size()) {
            Dialogs::showMessage(where + folder);
            return;
        }
        // Say what did not happen instead of claiming success.
        QString text =
            where + folder +
            QStringLiteral("\n%1 of %2 files done").arg(report.done).arg(selected.size());
        if (report.replacedOwn > 0) {
            text += QStringLiteral(" (%1 of them replacing a file of the same name %2 there "
                                   "from another folder)")
                        .arg(report.replacedOwn)
                        .arg(verb);
        }
        if (report.skipped > 0) text += QStringLiteral(", %1 skipped").arg(report.skipped);
        Dialogs::showMessage(text + SummaryEnd(report.failures, report.cancelled, report.notes));
    } catch (const std::exception& error) {
        Dialogs::showMessage(QString::fromUtf8(error.what()));
    }
}

void TForm1::DeleteFiles2Click() {
    if (!ListView2->hasSelection()) return;
    if (!Dialogs::confirm(QStringLiteral("Are you sure you want to delete these files?"))) return;
    // From the bottom up; a row goes only when its file went.
    std::vector<int> rows = ListView2->selectedRows();
    std::reverse(rows.begin(), rows.end());
    const size_t selected = rows.size();
    std::vector<std::string> paths, refused;
    std::vector<FileIdentity> identities;
    std::vector<int> tried;
    for (const int row : rows) {
        const std::optional<FileIdentity> identity = recordedFileHere(row, refused);
        if (!identity) continue;
        paths.emplace_back(ListView2->rows()->exactFirstCell(row));
        identities.push_back(*identity);
        tried.push_back(row);
    }

    QProgressDialog progress(QStringLiteral("Deleting files..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(paths.size()), this);
    SetUpProgress(progress);
    DeleteCallbacks callbacks;
    callbacks.forGood = [](const std::string& path, const std::string& why) {
        const QString answer = Dialogs::askDeleteForGood(
            QStringLiteral("\"%1\" cannot be moved to the trash (%2). Delete it for good?")
                .arg(ShownText(path), QString::fromStdString(why)));
        if (answer == QLatin1String("Yes")) return DeleteAnswer::Yes;
        if (answer == QLatin1String("Yes to all")) return DeleteAnswer::YesToAll;
        if (answer == QLatin1String("No")) return DeleteAnswer::No;
        return DeleteAnswer::Cancel;
    };
    callbacks.progress = [&](size_t done, size_t, const std::string& current) {
        progress.setLabelText(ShownText(current));
        progress.setValue(static_cast<int>(done));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };
    DeleteReport report = DeleteFiles(paths, callbacks, identities);
    progress.close();
    report.failures.insert(report.failures.begin(), refused.begin(), refused.end());

    std::vector<bool> gone(static_cast<size_t>(ListView2->rows()->rowCount()), false);
    const auto deleted = static_cast<int>(std::count(report.gone.begin(), report.gone.end(), true));
    for (size_t i = 0; i < tried.size(); ++i) gone[static_cast<size_t>(tried[i])] = report.gone[i];
    if (deleted > 0)
        ListView2->rows()->removeRowsWhere([&](int row) { return gone[static_cast<size_t>(row)]; });
    if (report.failures.empty() && report.kept == 0 && !report.cancelled) return;
    // One summary instead of a box per file.
    QString text = QStringLiteral("%1 of %2 files deleted").arg(deleted).arg(selected);
    if (report.kept > 0) text += QStringLiteral(", %1 kept").arg(report.kept);
    Dialogs::showMessage(text + SummaryEnd(report.failures, report.cancelled));
}

void TForm1::OpenfolderinExplorerClick() {
    if (!ListView2->hasSelection()) return;
    const std::vector<std::string> path = presentHere(
        {std::string(ListView2->rows()->exactFirstCell(ListView2->selectedRows().front()))});
    if (!path.empty()) DesktopServices::showInFileManager(path.front());
}

void TForm1::removeRowsAndCount(const std::function<bool(int row)>& remove) {
    ListView2->rows()->removeRowsWhere(remove);
    FileCount->setText(QString::number(ListView2->rows()->rowCount()));
}

// Keeps the rows whose key is the first selected row's, letter case ignored.
void TForm1::keepRowsLikeFirstSelected(std::string_view (*keyOf)(std::string_view path)) {
    if (!ListView2->hasSelection()) return;
    const ListViewModel* rows = ListView2->rows();
    const std::string key =
        Collation::equalityKey(keyOf(rows->exactFirstCell(ListView2->selectedRows().front())));
    removeRowsAndCount(
        [&](int row) { return Collation::equalityKey(keyOf(rows->exactFirstCell(row))) != key; });
}

void TForm1::FilterClick() {
    keepRowsLikeFirstSelected(FolderPart);
}

void TForm1::Filterfilesbytype1Click() {
    keepRowsLikeFirstSelected(ExtensionOf);
}

void TForm1::Removeselectedfiles1Click() {
    if (!ListView2->hasSelection()) return;
    std::vector<bool> selected(static_cast<size_t>(ListView2->rows()->rowCount()), false);
    for (const int row : ListView2->selectedRows()) selected[static_cast<size_t>(row)] = true;
    removeRowsAndCount([&](int row) { return selected[static_cast<size_t>(row)]; });
}

void TForm1::Selectall1Click() {
    ListView2->selectAll();
}

void TForm1::Properties1Click() {
    const std::vector<int> selected = ListView2->selectedRows();
    if (selected.size() != 1) {
        Dialogs::showMessage(QStringLiteral("Select one file only!"));
        return;
    }
    const std::string path(ListView2->rows()->exactFirstCell(selected.front()));
    if (presentHere({path}).empty()) return;
    DesktopServices::showProperties(path,
                                    [this, path] { RunGuarded([&] { showOwnProperties(path); }); });
}

void TForm1::showOwnProperties(const std::string& path) {
    PropertiesDialog dialog(path, locale_, this);
    QStringList summary;
    for (const auto& [caption, value] : dialog.facts())
        summary << caption + QStringLiteral(": ") + value;
    Dialogs::showDialog(dialog, summary.join(u'\n'));
}

void TForm1::ListView2DblClick() {
    if (!ListView2->hasSelection()) return;
    const std::string path(ListView2->rows()->exactFirstCell(ListView2->selectedRows().front()));
    PathRecord record;
    if (ReadPathRecord(path, record) != 0) {
        Dialogs::showMessage(
            QStringLiteral("The file \"%1\" no longer exists.").arg(ShownText(path)));
        return;
    }
    if ((record.attributes & (kAttrHidden | kAttrSystem)) &&
        !Dialogs::warn(QStringLiteral("THIS IS A HIDDEN OR SYSTEM FILE.  Continue?"))) {
        return; // only Yes opens it
    }
    DesktopServices::openFile(path);
}

} // namespace vintrel
