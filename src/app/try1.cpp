#include "try1.h"

#include "CollapsibleSplitter.h"
#include "Errors.h"
#include "Lamp.h"
#include "ShareBarDelegate.h"
#include "SortListView.h"
#include "StatusBarGr.h"
#include "SystemLocale.h"
#include "TextReaders.h"

#include <memory>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <span>

namespace vintrel {

namespace {

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, const QRect& geometry = {}) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    if (geometry.isValid()) widget->setGeometry(geometry);
    return widget;
}

// Framed like the option panel: raised inner and lowered outer bevel, border 10.
QFrame* FramedPanel(QWidget* parent, const char* name) {
    auto* panel = Make<QFrame>(parent, name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

// The banner's icon: a folder with a bar chart, 48 x 37.
QPixmap BannerIcon() {
    QPixmap icon(48, 37);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(240, 190, 60));
    p.drawRoundedRect(QRectF(2.5, 6.5, 18, 8), 2, 2);
    p.setBrush(QColor(250, 210, 90));
    p.drawRoundedRect(QRectF(2.5, 10.5, 40, 24), 2, 2);
    const QColor bars[] = {QColor(0, 128, 255), QColor(40, 170, 90), QColor(220, 70, 60)};
    const int heights[] = {10, 16, 7};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(bars[i]);
        p.drawRect(QRectF(12 + i * 8, 31 - heights[i], 6, heights[i]));
    }
    return icon;
}

QDateTimeEdit* DatePicker(QWidget* parent, const char* name, const QRect& geometry) {
    auto* picker = Make<QDateTimeEdit>(parent, name, geometry);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QString::fromStdString(SystemLocaleSettings().shortDatePattern));
    picker->setDateTime(QDateTime(QDate(2015, 1, 4), QTime(10, 36, 19)));
    return picker;
}

QComboBox* ComparisonCombo(QWidget* parent, const char* name, const QRect& geometry,
                           const QStringList& items) {
    auto* combo = Make<QComboBox>(parent, name, geometry);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(0);
    return combo;
}

} // namespace

TForm1::TForm1(const std::vector<std::string>& arguments, QWidget* parent)
    : QMainWindow(parent), collation_(Collation::FromEnvironment()),
      locale_(SystemLocaleSettings()), lists_(collation_), host_([this] { showProgress(); }),
      scanner_(host_, state_, lists_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vintrel 2"));
    setMinimumSize(920, 600);
    resize(920, 600);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    setFont(font);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    auto* stack = new QVBoxLayout(client);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    setCentralWidget(client);

    buildBanner(client);
    stack->addWidget(Panel8);

    JvNetscapeSplitter2 = new CollapsibleSplitter(Qt::Vertical, client);
    JvNetscapeSplitter2->setObjectName(QStringLiteral("JvNetscapeSplitter2"));
    stack->addWidget(JvNetscapeSplitter2, 1);

    Panel5 = Make<QWidget>(JvNetscapeSplitter2, "Panel5");
    auto* upper = new QHBoxLayout(Panel5);
    upper->setContentsMargins(0, 0, 0, 0);
    JvNetscapeSplitter1 = new CollapsibleSplitter(Qt::Horizontal, Panel5);
    JvNetscapeSplitter1->setObjectName(QStringLiteral("JvNetscapeSplitter1"));
    upper->addWidget(JvNetscapeSplitter1);

    buildOptionPanel();
    buildTables();
    JvNetscapeSplitter1->addWidget(Panel6);
    JvNetscapeSplitter1->addWidget(Panel1);
    JvNetscapeSplitter1->setStretchFactor(1, 1);
    JvNetscapeSplitter1->setSizes({323, 569});
    JvNetscapeSplitter2->addWidget(Panel5);
    JvNetscapeSplitter2->addWidget(Panel3);
    JvNetscapeSplitter2->setStretchFactor(1, 1);
    JvNetscapeSplitter2->setSizes({339, 181});
    // Only the anchored side collapses: dragging stops at the other side's minimum.
    for (CollapsibleSplitter* splitter : {JvNetscapeSplitter1, JvNetscapeSplitter2})
        splitter->setCollapsible(1, false);
    JvNetscapeSplitter1->setRestoreSize(323);
    JvNetscapeSplitter2->setRestoreSize(339);

    buildStatusBar();
    buildMenus();
    setTabOrderAndNames();
    setUpSorting();
    setUpExports();
    setUpCommands();
    connectControls();
    FormCreate(arguments);
}

TForm1::~TForm1() = default;

void TForm1::buildBanner(QWidget* parent) {
    Panel8 = Make<QFrame>(parent, "Panel8");
    Panel8->setFixedHeight(41);
    auto* caption = Make<QLabel>(Panel8, "Panel8Caption", QRect(0, 0, 400, 41));
    caption->setText(QStringLiteral("            Vintrel 2          "));
    caption->setIndent(8);
    Image1 = Make<QLabel>(Panel8, "Image1", QRect(0, 3, 48, 37));
    Image1->setPixmap(BannerIcon());
    Image1->setAccessibleName(QStringLiteral("Vintrel 2"));
    setWindowIcon(QIcon(BannerIcon()));
}

void TForm1::buildOptionPanel() {
    Panel6 = FramedPanel(nullptr, "Panel6");
    Panel6->setMinimumWidth(0);
    QWidget* p = Panel6;
    TntLabel2 = Make<QLabel>(p, "TntLabel2", QRect(25, 30, 26, 16));
    TntLabel2->setText(QStringLiteral("Root"));
    RootDir = Make<QLineEdit>(p, "RootDir", QRect(64, 26, 233, 24));
    RootDir->setStatusTip(QStringLiteral("Click to select root folder"));
    TntLabel1 = Make<QLabel>(p, "TntLabel1", QRect(25, 60, 70, 16));
    TntLabel1->setText(QStringLiteral("Exclude files"));
    HidBox = Make<QCheckBox>(p, "HidBox", QRect(136, 61, 65, 15));
    HidBox->setText(QStringLiteral("Hidden"));
    HidBox->setChecked(true);
    sysbox = Make<QCheckBox>(p, "sysbox", QRect(224, 61, 68, 15));
    sysbox->setText(QStringLiteral("System"));
    sysbox->setChecked(true);
    incsubs = Make<QCheckBox>(p, "incsubs", QRect(26, 90, 136, 17));
    incsubs->setText(QStringLiteral("Include Sub folders"));
    incsubs->setChecked(true);
    Button1 = Make<QPushButton>(p, "Button1", QRect(203, 90, 97, 33));
    Button1->setText(QStringLiteral("GO"));
    TntLabel3 = Make<QLabel>(p, "TntLabel3", QRect(24, 117, 132, 16));
    TntLabel3->setText(QStringLiteral("FILE SEARCH OPTIONS"));

    const QString typeHint =
        QStringLiteral("Separate types with semi-colon.  Wildcards * and ? are permitted");
    SingleFile = Make<QCheckBox>(p, "SingleFile", QRect(25, 140, 120, 17));
    SingleFile->setText(QStringLiteral("File type mask"));
    SingleFile->setStatusTip(typeHint);
    FileType = Make<QLineEdit>(p, "FileType", QRect(184, 136, 116, 24));
    FileType->setStatusTip(typeHint);
    InFile = Make<QCheckBox>(p, "InFile", QRect(25, 169, 136, 17));
    InFile->setText(QStringLiteral("File name mask"));
    InFile->setStatusTip(QStringLiteral("Mask can contain wildcards * and ?"));
    InText = Make<QLineEdit>(p, "InText", QRect(184, 165, 115, 24));
    InText->setStatusTip(QStringLiteral("Mask can contain wildcards * and ? -"));

    const QStringList dateItems = {QStringLiteral("After"), QStringLiteral("Equal to"),
                                   QStringLiteral("Before")};
    const QString createdHint = QStringLiteral("Date file created");
    FileCreated = Make<QCheckBox>(p, "FileCreated", QRect(25, 199, 73, 17));
    FileCreated->setText(QStringLiteral("Created"));
    FileCreatedCombo = ComparisonCombo(p, "FileCreatedCombo", QRect(104, 196, 86, 24), dateItems);
    CreateDate = DatePicker(p, "CreateDate", QRect(202, 195, 97, 24));
    for (QWidget* w : std::initializer_list<QWidget*>{FileCreated, FileCreatedCombo, CreateDate})
        w->setStatusTip(createdHint);

    const QString modifiedHint = QStringLiteral("Date file last modified");
    FileModified = Make<QCheckBox>(p, "FileModified", QRect(25, 229, 73, 17));
    FileModified->setText(QStringLiteral("Modified"));
    FileModifiedCombo = ComparisonCombo(p, "FileModifiedCombo", QRect(104, 226, 86, 24), dateItems);
    ModDate = DatePicker(p, "ModDate", QRect(202, 225, 97, 24));
    for (QWidget* w : std::initializer_list<QWidget*>{FileModified, FileModifiedCombo, ModDate})
        w->setStatusTip(modifiedHint);

    const QString sizeHint =
        QStringLiteral("File size in Kb - there is a small tolerance of 0.1Kb ");
    FileSize = Make<QCheckBox>(p, "FileSize", QRect(25, 259, 73, 17));
    FileSize->setText(QStringLiteral("Size (Kb)"));
    FileSizeCombo = ComparisonCombo(
        p, "FileSizeCombo", QRect(104, 255, 86, 24),
        {QStringLiteral("Greater"), QStringLiteral("Equal to"), QStringLiteral("Less")});
    FileSizeKb = Make<QDoubleSpinBox>(p, "FileSizeKb", QRect(202, 254, 97, 24));
    FileSizeKb->setDecimals(2);
    FileSizeKb->setRange(-1e15, 1e15);
    FileSizeKb->setButtonSymbols(QAbstractSpinBox::NoButtons);
    FileSizeKb->setValue(0.0);
    for (QWidget* w : std::initializer_list<QWidget*>{FileSize, FileSizeCombo, FileSizeKb})
        w->setStatusTip(sizeHint);

    AttribsChk = Make<QCheckBox>(p, "AttribsChk", QRect(25, 289, 97, 17));
    AttribsChk->setText(QStringLiteral("File attributes"));
    ReadChk = Make<QCheckBox>(p, "ReadChk", QRect(146, 289, 81, 17));
    ReadChk->setText(QStringLiteral("Read only"));
    ArchiveChk = Make<QCheckBox>(p, "ArchiveChk", QRect(232, 289, 65, 17));
    ArchiveChk->setText(QStringLiteral("Archive"));

    for (QWidget* companion : std::initializer_list<QWidget*>{
             FileType, InText, FileCreatedCombo, CreateDate, FileModifiedCombo, ModDate,
             FileSizeCombo, FileSizeKb, ReadChk, ArchiveChk}) {
        companion->setEnabled(false);
    }
}

void TForm1::buildTables() {
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto panelWithTable = [](QFrame* panel, TSortListView* table, QFrame* totals) {
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(10, 10, 10, 10);
        layout->setSpacing(0);
        layout->addWidget(table, 1);
        totals->setFixedHeight(30);
        totals->setFrameStyle(QFrame::Panel | QFrame::Raised);
        layout->addWidget(totals);
    };

    Panel1 = FramedPanel(nullptr, "Panel1");
    Panel1->setMinimumWidth(75);
    ListView1 = new TSortListView({{QStringLiteral("Type"), left},
                                   {QStringLiteral("Description"), left},
                                   {QStringLiteral("Count"), right},
                                   {QStringLiteral("Size"), right}},
                                  Panel1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setStatusTip(
        QStringLiteral("Double click file type to list all files of that type"));
    ListView1->setAccessibleName(QStringLiteral("File types"));
    QHeaderView* typeHeader = ListView1->header();
    typeHeader->setSectionResizeMode(1, QHeaderView::Stretch);
    typeHeader->resizeSection(0, 100);
    typeHeader->resizeSection(2, 60);
    typeHeader->resizeSection(3, 80);
    // Each type's share of the total size, as a bar behind its Size text.
    ListView1->setItemDelegateForColumn(3, new ShareBarDelegate(
                                               *ListView1->rows(), 3,
                                               [this](std::string_view text) {
                                                   try {
                                                       return SizeTextKilobytes(text, locale_);
                                                   } catch (const ConversionError&) {
                                                       return 0.0;
                                                   }
                                               },
                                               ListView1));
    Panel4 = Make<QFrame>(Panel1, "Panel4");
    TotalFilesCaption = Make<QLabel>(Panel4, "TotalFilesCaption", QRect(8, 7, 64, 16));
    TotalFilesCaption->setText(QStringLiteral("Total files:"));
    CountLabel = Make<QLabel>(Panel4, "CountLabel", QRect(73, 7, 90, 16));
    CountLabel->setText(QStringLiteral("0"));
    Label5 = Make<QLabel>(Panel4, "Label5", QRect(165, 7, 145, 16));
    Label5->setText(QStringLiteral("Total size: 0"));
    Label3 = Make<QLabel>(Panel4, "Label3", QRect(312, 7, 150, 16));
    Label3->setText(QStringLiteral("Total types: 0"));
    panelWithTable(Panel1, ListView1, Panel4);

    Panel3 = FramedPanel(nullptr, "Panel3");
    Panel3->setMinimumWidth(500);
    ListView2 = new TSortListView({{QStringLiteral("Filename"), left},
                                   {QStringLiteral("Date Created"), left},
                                   {QStringLiteral("Date modified"), left},
                                   {QStringLiteral("Size"), right},
                                   {QStringLiteral("Attribs"), left}},
                                  Panel3);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    ListView2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView2->setAccessibleName(QStringLiteral("Files"));
    QHeaderView* fileHeader = ListView2->header();
    fileHeader->setMinimumSectionSize(70);
    fileHeader->setSectionResizeMode(0, QHeaderView::Stretch);
    fileHeader->resizeSection(1, 140);
    fileHeader->resizeSection(2, 140);
    fileHeader->resizeSection(3, 80);
    fileHeader->resizeSection(4, 70);
    Panel2 = Make<QFrame>(Panel3, "Panel2");
    SelectedFilesCaption = Make<QLabel>(Panel2, "SelectedFilesCaption", QRect(13, 7, 84, 16));
    SelectedFilesCaption->setText(QStringLiteral("Selected files:"));
    FileCount = Make<QLabel>(Panel2, "FileCount", QRect(98, 7, 200, 16));
    FileCount->setText(QStringLiteral("0"));
    panelWithTable(Panel3, ListView2, Panel2);
}

void TForm1::buildStatusBar() {
    HeaderControl1 = new TStatusBarGr(this);
    HeaderControl1->setObjectName(QStringLiteral("HeaderControl1"));
    setStatusBar(HeaderControl1);
    TntButton2 = Make<QPushButton>(nullptr, "TntButton2");
    TntButton2->setText(QStringLiteral("Use skin"));
    TntButton2->setStatusTip(QStringLiteral("Use skin"));
    HeaderControl1->host(TntButton2, QRect(648, 4, 89, 21));
    TntButton1 = Make<QPushButton>(nullptr, "TntButton1");
    TntButton1->setText(QStringLiteral("Context menu"));
    TntButton1->setStatusTip(QStringLiteral("Click to register/unregister with context menu"));
    HeaderControl1->host(TntButton1, QRect(768, 4, 89, 21));
    JvLED1 = Make<Lamp>(nullptr, "JvLED1");
    JvLED1->setAccessibleName(QStringLiteral("Context menu registered"));
    JvLED1->setStateNames(QStringLiteral("registered"), QStringLiteral("not registered"));
    HeaderControl1->host(JvLED1, QRect(856, 7, 17, 17));
}

// One menu item; a null item is a separator named `name`. A shortcut acts while the menu's
// table has the focus.
struct MenuItem {
    QAction* Form1Controls::*item;
    const char* name;
    const char* caption;
    const char* hint;
    const char* shortcut;
    int tag; // 99 for the items that save to a file
};

namespace {

constexpr MenuItem kFileMenu[] = {
    {&Form1Controls::Copyfilelist1, "Copyfilelist1", "Copy selected file names",
     "Copy all file names to clipboard", "Ctrl+F", 0},
    {&Form1Controls::Copyfiles1, "Copyfiles1", "Copy selected files to clipboard",
     "Copy selected files to clipboard  for pasting elsewhere", "Ctrl+C", 0},
    {&Form1Controls::CopyfiledetailstoclipboardasCSV1, "CopyfiledetailstoclipboardasCSV1",
     "Copy selected file details to clipboard as CSV", "", "", 0},
    {&Form1Controls::SavefiledetailsasCSV1, "SavefiledetailsasCSV1",
     "Save selected file details as CSV", "", "Ctrl+S", 99},
    {nullptr, "N2", "", "", "", 0},
    {&Form1Controls::Copyto1, "Copyto1", "Copy selected files to folder", "", "", 0},
    {&Form1Controls::Moveselectedfiles1, "Moveselectedfiles1", "Move selected files to folder", "",
     "", 0},
    {&Form1Controls::DeleteFiles2, "DeleteFiles2", "Delete selected files", "", "", 0},
    {nullptr, "N1", "", "", "", 0},
    {&Form1Controls::OpenfolderinExplorer, "OpenfolderinExplorer",
     "Open Explorer for selected file", "", "", 0},
    {&Form1Controls::Filter, "Filter", "Filter files by selected file folder", "", "", 0},
    {&Form1Controls::Filterfilesbytype1, "Filterfilesbytype1", "Filter files by selected file type",
     "", "", 0},
    {&Form1Controls::Removeselectedfiles1, "Removeselectedfiles1", "Remove selected files ", "", "",
     0},
    {&Form1Controls::Selectall1, "Selectall1", "Select all", "", "Ctrl+A", 0},
    {&Form1Controls::Reload1, "Reload1", "Reload files of type", "", "", 0},
    {&Form1Controls::Properties1, "Properties1", "File properties", "", "", 0},
};

constexpr MenuItem kTypeMenu[] = {
    {&Form1Controls::Copydetailstoclipboard1, "Copydetailstoclipboard1",
     "Copy details to clipboard", "", "Ctrl+D", 0},
    {&Form1Controls::SavedetailstofileasCSV1, "SavedetailstofileasCSV1", "Save details as CSV", "",
     "", 99},
};

} // namespace

QMenu* TForm1::buildMenu(const char* name, std::span<const MenuItem> items, QWidget* table) {
    auto* menu = new QMenu(this);
    menu->setObjectName(QLatin1String(name));
    for (const MenuItem& entry : items) {
        if (!entry.item) {
            menu->addSeparator()->setObjectName(QLatin1String(entry.name));
            continue;
        }
        auto* action = new QAction(QString::fromUtf8(entry.caption), menu);
        action->setObjectName(QLatin1String(entry.name));
        action->setStatusTip(QString::fromUtf8(entry.hint));
        action->setProperty("tag", entry.tag);
        if (*entry.shortcut) {
            action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            table->addAction(action);
        }
        menu->addAction(action);
        this->*entry.item = action;
    }
    return menu;
}

void TForm1::buildMenus() {
    PopupMenu1 = buildMenu("PopupMenu1", kFileMenu, ListView2);
    PopupMenu2 = buildMenu("PopupMenu2", kTypeMenu, ListView1);

    for (TSortListView* table : {ListView1, ListView2})
        table->setContextMenuPolicy(Qt::CustomContextMenu);
    // A popup is a window of its own, so a highlighted item's hint would stop there: it is
    // sent to this window's status bar instead, and taken away when the menu closes.
    for (QMenu* menu : {PopupMenu1, PopupMenu2}) {
        auto hinted = std::make_shared<bool>(false);
        connect(menu, &QMenu::hovered, this,
                [this, hinted](QAction* item) { *hinted = item->showStatusText(this); });
        connect(menu, &QMenu::aboutToHide, this, [this, hinted] {
            if (*hinted) HeaderControl1->clearMessage();
            *hinted = false;
        });
    }
    connect(ListView2, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1Popup();
        PopupMenu1->popup(ListView2->viewport()->mapToGlobal(at));
    });
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu2->popup(ListView1->viewport()->mapToGlobal(at));
    });
}

void TForm1::setTabOrderAndNames() {
    const QList<QWidget*> order = {RootDir,       HidBox,
                                   sysbox,        incsubs,
                                   FileType,      SingleFile,
                                   Button1,       InFile,
                                   InText,        FileCreatedCombo,
                                   FileCreated,   CreateDate,
                                   FileModified,  FileModifiedCombo,
                                   ModDate,       FileSize,
                                   FileSizeCombo, FileSizeKb,
                                   ReadChk,       ArchiveChk,
                                   AttribsChk};
    for (int i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

    // What a screen reader says. Buttons and labels carry no fixed name: they are announced
    // with the text they show now ("STOP", "Total files: 12"). A field is named after the
    // caption of the box or label it belongs to.
    RootDir->setAccessibleName(QStringLiteral("Root"));
    FileType->setAccessibleName(QStringLiteral("File type mask"));
    InText->setAccessibleName(QStringLiteral("File name mask"));
    FileCreatedCombo->setAccessibleName(QStringLiteral("Created"));
    CreateDate->setAccessibleName(QStringLiteral("Created"));
    FileModifiedCombo->setAccessibleName(QStringLiteral("Modified"));
    ModDate->setAccessibleName(QStringLiteral("Modified"));
    FileSizeCombo->setAccessibleName(QStringLiteral("Size (Kb)"));
    FileSizeKb->setAccessibleName(QStringLiteral("Size (Kb)"));
    // Screen readers on Linux name a combo box by its text; its edit carries the caption.
    for (QComboBox* combo : {FileCreatedCombo, FileModifiedCombo, FileSizeCombo}) {
        combo->lineEdit()->setAccessibleName(combo->accessibleName());
    }
    TntLabel2->setBuddy(RootDir);
    TntLabel2->setAccessibleName(QStringLiteral("Root"));
}

} // namespace vintrel
