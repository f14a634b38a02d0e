// The search controller: GO and STOP, the type table, the file table, the type listing.

#include "try1.h"

#include "Dialogs.h"
#include "LocalTime.h"
#include "RowTexts.h"
#include "ShownText.h"
#include "SortListView.h"
#include "StatusBarGr.h"
#include "TypeDescription.h"
#include "Utf8.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vintrel {

namespace {

LocalDateTime PickerValue(const QDateTimeEdit* picker) {
    const QDateTime value = picker->dateTime();
    CivilTime t;
    t.year = value.date().year(), t.month = value.date().month(), t.day = value.date().day();
    t.hour = value.time().hour(), t.minute = value.time().minute(),
    t.second = value.time().second();
    t.millisecond = value.time().msec();
    return EncodeLocalDateTime(t);
}

// The item index as the text stands: -1 when the typed text names no item.
int ComboIndex(const QComboBox* combo) {
    return combo->findText(combo->currentText(), Qt::MatchFixedString);
}

// However a build ends: the cursor back, the caption "GO", the lists emptied, the status
// text cleared, the views updating again.
class BuildCleanup {
  public:
    BuildCleanup(TForm1& form, std::function<void()> emptyLists, bool& running)
        : form_(form), emptyLists_(std::move(emptyLists)), running_(running) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        running_ = true;
    }
    ~BuildCleanup() {
        QApplication::restoreOverrideCursor();
        form_.Button1->setText(QStringLiteral("GO"));
        emptyLists_();
        form_.HeaderControl1->setSimpleText({});
        running_ = false;
    }

  private:
    TForm1& form_;
    std::function<void()> emptyLists_;
    bool& running_;
};

} // namespace

std::string TForm1::rootFolder() const {
    const QString shown = RootDir->text();
    if (rootBytes_ && shown.toStdString() == DisplayText(*rootBytes_)) return *rootBytes_;
    return shown.toStdString();
}

void TForm1::syncOptions() {
    SearchOptions& o = host_.editableOptions();
    o.excludeHidden = HidBox->isChecked();
    o.excludeSystem = sysbox->isChecked();
    o.attribsChk = AttribsChk->isChecked();
    o.readChk = ReadChk->isChecked();
    o.archiveChk = ArchiveChk->isChecked();
    o.singleFile = SingleFile->isChecked();
    if (o.fileType.text() != FileType->text().toStdString())
        o.fileType = WildcardPattern(FileType->text().toStdString());
    o.inFile = InFile->isChecked();
    if (o.inText.text() != InText->text().toStdString())
        o.inText = WildcardPattern(InText->text().toStdString());
    o.fileCreated = FileCreated->isChecked();
    o.fileCreatedIndex = ComboIndex(FileCreatedCombo);
    o.createDate = PickerValue(CreateDate);
    o.fileModified = FileModified->isChecked();
    o.fileModifiedIndex = ComboIndex(FileModifiedCombo);
    o.modDate = PickerValue(ModDate);
    o.fileSize = FileSize->isChecked();
    o.fileSizeIndex = ComboIndex(FileSizeCombo);
    o.fileSizeKb = FileSizeKb->value();
}

void TForm1::showProgress() {
    if (fillingFileTable_) {
        ListView2->rows()->commitRows(); // cheap: the table grows while it fills
        return;
    }
    if (countingTypes_) CountLabel->setText(QString::number(host_.typedFileCount()));
    FileCount->setText(
        QString::fromStdString(FileCountText(host_.visitedCount(), host_.listedCount())));
}

void TForm1::Button1Click() {
    if (RootDir->text().isEmpty()) return;
    if (Button1->text() != QLatin1String("GO")) {
        state_.StopRequested = true;
        Button1->setText(QStringLiteral("GO"));
        return;
    }
    if (searchRunning_) return; // a type listing runs: it is not disturbed
    state_.StopRequested = false;
    Button1->setText(QStringLiteral("STOP"));
    FollowLocalTimeZone(); // dates are shown in the zone in force now
    ResetDisplay();
    if (host_.options().anyFilter()) { // the options follow every change of the boxes
        BuildFileTable(ScanMode::Filtered());
    } else {
        BuildTypeTable();
    }
    reportLeftOut();
}

// After the build's clean-up has cleared the status text: what the tables do not show.
void TForm1::reportLeftOut() {
    if (!state_.RootError.empty()) return;
    QStringList parts;
    if (searchedSavedScan_) parts << savedScanText();
    if (state_.UnreadableEntries > 0) {
        parts << QStringLiteral("%1 entries could not be read and were left out")
                     .arg(state_.UnreadableEntries);
    }
    if (!parts.isEmpty()) HeaderControl1->setSimpleText(parts.join(QStringLiteral("; ")));
}

void TForm1::ResetDisplay() {
    ListView1->rows()->clear();
    ListView2->rows()->clear();
    Label3->setText(QStringLiteral("Total types: 0"));
    FileCount->setText(QStringLiteral("0"));
    CountLabel->setText(QStringLiteral("0"));
    Label5->setText(QStringLiteral("Total size: 0"));
    state_.VisitedCount = 0;
    host_.resetProgress();
}

void TForm1::reportUnreadableRoot(const std::string& folder) {
    Dialogs::showMessage(QStringLiteral("The folder \"%1\" cannot be read: %2")
                             .arg(ShownText(folder), QString::fromStdString(state_.RootError)));
}

void TForm1::BuildTypeTable() {
    const std::string root = rootFolder();
    if (root.empty()) return;
    lists_.clearTypes();
    CurrentType.clear();
    ResetDisplay();
    state_.TypedFileCount = 0;
    int64_t total = 0;

    const BuildCleanup cleanup(
        *this, [this] { lists_.clearTypes(); }, searchRunning_);
    countingTypes_ = true;
    try {
        walk(ScanMode::Types());
    } catch (...) {
        countingTypes_ = false;
        throw;
    }
    showProgress();
    countingTypes_ = false;
    if (!state_.RootError.empty()) {
        reportUnreadableRoot(root);
        return;
    }
    if (state_.StopRequested) {
        CountLabel->setText(QStringLiteral("0"));
        return;
    }
    HeaderControl1->setSimpleText(QStringLiteral("Loading File list - please wait"));
    if (lists_.TypeIndex.size() == 0) return;
    ListViewModel* rows = ListView1->rows();
    for (size_t i = 0; i < lists_.TypeIndex.size(); ++i) {
        host_.processEvents(); // many types take a while: the window keeps repainting
        const TDataRec& record = lists_.TypeList[static_cast<size_t>(lists_.TypeIndex[i].Position)];
        const TypeRowTexts texts =
            MakeTypeRow(record, GetTypeDescription(DisplayText(record.Extension)), locale_);
        rows->appendRow({texts.begin(), texts.end()}, record.Extension);
        total = SaturatingAdd(total, record.TotalSize);
    }
    rows->commitRows();
    Label5->setText(QStringLiteral("Total size: ") +
                    QString::fromStdString(FormatFileSize(total, locale_)));
    Label3->setText(QStringLiteral("Total types: ") + QString::number(rows->rowCount()));
}

void TForm1::BuildFileTable(const ScanMode& mode) {
    const BuildCleanup cleanup(
        *this, [this] { lists_.FileList.clear(); }, searchRunning_);
    lists_.FileList.clear();
    const std::string root = rootFolder();
    walk(mode);
    fileTableFromSavedScan_ = searchedSavedScan_;
    showProgress();
    if (!state_.RootError.empty()) {
        reportUnreadableRoot(root);
        return;
    }
    if (lists_.FileList.empty()) return;

    FileCount->setText(QStringLiteral("0"));
    ListViewModel* rows = ListView2->rows();
    rows->clear();
    rows->reserve(lists_.FileList.size());
    HeaderControl1->setSimpleText(QStringLiteral("Loading File list - please wait"));
    const DateTextFormat dates(locale_);
    fillingFileTable_ = true;
    struct FillEnd {
        bool& filling;
        ListViewModel* rows;
        ~FillEnd() {
            filling = false;
            rows->commitRows();
        }
    } fillEnd{fillingFileTable_, rows};
    std::string row;
    // The list gives back its memory as the table takes over its rows.
    lists_.FileList.drain([&](const TFileRec& record) {
        host_.processEvents();
        if (state_.StopRequested) return false;
        row.clear();
        AppendFileRow(row, record, dates, locale_, '\0');
        // A saved scan's device and inode may be of another machine: its rows are checked by
        // what the scan recorded instead.
        rows->appendJoinedRow(row, record.FileName,
                              fileTableFromSavedScan_ ? ListedFile{{}, record.Size, record.Modified}
                                                      : ListedFile{record.Identity});
        return true;
    });
    rows->commitRows();
    FileCount->setText(QString::fromStdString(
        FileCountText(state_.VisitedCount, static_cast<size_t>(rows->rowCount()))));
}

void TForm1::ListView1DblClick() {
    if (searchRunning_ || ListView1->rows()->rowCount() == 0 || !ListView1->hasSelection()) return;
    CurrentType = std::string(ListView1->rows()->exactFirstCell(ListView1->selectedRows().front()));
    runTypeListing();
}

void TForm1::Reload1Click() {
    if (searchRunning_ || CurrentType.empty()) return;
    runTypeListing();
}

void TForm1::runTypeListing() {
    state_.StopRequested = false;
    state_.TypedFileCount = 0;
    state_.VisitedCount = 0;
    host_.resetProgress();
    ListView2->rows()->clear();
    // A type listing with an empty root folder does nothing.
    if (rootFolder().empty()) return;
    BuildFileTable(ScanMode::OfType(CurrentType));
    reportLeftOut();
}

void TForm1::PopupMenu1Popup() {
    Reload1->setText(QStringLiteral("Reload files of type (") + ShownText(CurrentType) +
                     QStringLiteral(")"));
}

void TForm1::RootDirClick() {
    const QString folder = SelectFolder();
    if (folder.isEmpty()) return;
    leaveSavedScan();
    RootDir->setText(folder);
}

QString TForm1::SelectFolder() {
    const QString folder = Dialogs::chooseFolder(this, QStringLiteral("Select source folder"));
    if (folder.isEmpty()) return {};
    return QString::fromStdString(WithTrailingBackslash(folder.toStdString()));
}

} // namespace vintrel
