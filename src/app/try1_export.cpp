// The exports: selected file names, selected file details and the whole type table, to
// the clipboard or into a CSV file, in the table's current order.

#include "try1.h"

#include "Csv.h"
#include "Dialogs.h"
#include "Guarded.h"
#include "SortListView.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

namespace vintrel {

void TForm1::setUpExports() {
    connect(Copyfilelist1, &QAction::triggered, this, Guarded([this] { Copyfilelist1Click(); }));
    for (QAction* item : {CopyfiledetailstoclipboardasCSV1, SavefiledetailsasCSV1}) {
        connect(item, &QAction::triggered, this,
                Guarded([this, item] { CopyfiledetailstoclipboardasCSV1Click(item); }));
    }
    for (QAction* item : {Copydetailstoclipboard1, SavedetailstofileasCSV1}) {
        connect(item, &QAction::triggered, this,
                Guarded([this, item] { Copydetailstoclipboard1Click(item); }));
    }
}

// The CSV lines of the rows, the column captions first when asked, each ended by CR LF.
std::string TForm1::tableLineText(TSortListView* table, const std::vector<int>& rows,
                                  bool header) const {
    const ListViewModel* model = table->rows();
    const int columns = model->columnCount();
    std::vector<std::string> captions;
    std::vector<std::string_view> fields(static_cast<size_t>(columns));
    std::string text;
    if (header) {
        for (int c = 0; c < columns; ++c)
            captions.push_back(model->column(c).caption.toStdString());
        for (int c = 0; c < columns; ++c)
            fields[static_cast<size_t>(c)] = captions[static_cast<size_t>(c)];
        AppendCsvLine(text, fields);
    }
    for (const int row : rows) {
        for (int c = 0; c < columns; ++c) fields[static_cast<size_t>(c)] = model->cell(row, c);
        AppendCsvLine(text, fields);
    }
    return text;
}

void TForm1::Copyfilelist1Click() {
    ListView2->rows()->commitRows();
    if (ListView2->rows()->rowCount() == 0 || !ListView2->hasSelection()) return;
    std::string text;
    for (const int row : ListView2->selectedRows()) {
        text += ListView2->rows()->cell(row, 0);
        text += "\r\n";
    }
    PutTextOnClipboard(text);
}

void TForm1::CopyfiledetailstoclipboardasCSV1Click(QAction* Sender) {
    ListView2->rows()->commitRows();
    if (!ListView2->hasSelection()) return;
    deliverExport(Sender, tableLineText(ListView2, ListView2->selectedRows(), true));
}

void TForm1::Copydetailstoclipboard1Click(QAction* Sender) {
    const int count = ListView1->rows()->rowCount();
    if (count == 0) return;
    std::vector<int> every(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) every[static_cast<size_t>(row)] = row;
    deliverExport(Sender, tableLineText(ListView1, every, true));
}

// Tag 99 saves to a file the user picks; any other tag copies to the clipboard. The lines
// are complete before the dialog opens.
void TForm1::deliverExport(QAction* Sender, const std::string& lineText) {
    if (Sender->property("tag").toInt() != 99) {
        PutTextOnClipboard(lineText);
        return;
    }
    const QString fileName = Dialogs::saveCsvFile(this, lastSaveName_);
    if (fileName.isEmpty()) return;
    lastSaveName_ = fileName;
    SaveLineTextToFile(lineText, fileName.toStdString());
}

void TForm1::PutTextOnClipboard(const std::string& lineText) {
    // One text, offered by Qt in its UTF-8 and UTF-16 forms.
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(lineText.data(), static_cast<qsizetype>(lineText.size())));
}

} // namespace vintrel
