#pragma once
// The main window: the search options, the type table and the file table, the status bar
// with its two buttons and the lamp. Its implementation is split by concern:
// try1.cpp builds the window, try1_start.cpp starts it and handles keys and the status bar
// buttons, try1_search.cpp runs the searches and fills the tables.

#include "Collation.h"
#include "FolderScanner.h"
#include "LocaleSettings.h"
#include "Records.h"
#include "Skin.h"
#include "WindowScanHost.h"

#include <functional>
#include <optional>
#include <QMainWindow>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QAction;

namespace vintrel {

class CollapsibleSplitter;
class Lamp;
class TSortListView;
class TStatusBarGr;

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    // arguments: argument 0 is the executable, as ProgramArguments gives them.
    explicit TForm1(const std::vector<std::string>& arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    // The controls, under their design names.
    QFrame* Panel8;
    QLabel* Image1;
    QWidget* Panel5;
    QFrame* Panel6;
    CollapsibleSplitter* JvNetscapeSplitter1;
    QFrame* Panel1;
    QFrame* Panel4;
    CollapsibleSplitter* JvNetscapeSplitter2;
    QFrame* Panel3;
    QFrame* Panel2;
    TStatusBarGr* HeaderControl1;
    QPushButton* TntButton2;
    QPushButton* TntButton1;
    Lamp* JvLED1;

    QLabel* TntLabel2;
    QLineEdit* RootDir;
    QLabel* TntLabel1;
    QCheckBox* HidBox;
    QCheckBox* sysbox;
    QCheckBox* incsubs;
    QPushButton* Button1;
    QLabel* TntLabel3;
    QCheckBox* SingleFile;
    QLineEdit* FileType;
    QCheckBox* InFile;
    QLineEdit* InText;
    QCheckBox* FileCreated;
    QComboBox* FileCreatedCombo;
    QDateTimeEdit* CreateDate;
    QCheckBox* FileModified;
    QComboBox* FileModifiedCombo;
    QDateTimeEdit* ModDate;
    QCheckBox* FileSize;
    QComboBox* FileSizeCombo;
    QDoubleSpinBox* FileSizeKb;
    QCheckBox* AttribsChk;
    QCheckBox* ReadChk;
    QCheckBox* ArchiveChk;

    TSortListView* ListView1;
    TSortListView* ListView2;
    QLabel* TotalFilesCaption;
    QLabel* CountLabel;
    QLabel* Label5;
    QLabel* Label3;
    QLabel* SelectedFilesCaption;
    QLabel* FileCount;

    QMenu* PopupMenu1;
    QAction* Copyfilelist1;
    QAction* Copyfiles1;
    QAction* CopyfiledetailstoclipboardasCSV1;
    QAction* SavefiledetailsasCSV1;
    QAction* Copyto1;
    QAction* Moveselectedfiles1;
    QAction* DeleteFiles2;
    QAction* OpenfolderinExplorer;
    QAction* Filter;
    QAction* Filterfilesbytype1;
    QAction* Removeselectedfiles1;
    QAction* Selectall1;
    QAction* Reload1;
    QAction* Properties1;
    QMenu* PopupMenu2;
    QAction* Copydetailstoclipboard1;
    QAction* SavedetailstofileasCSV1;

    // Search state, shared with the walk.
    ScanState& scanState() { return state_; }
    WindowScanHost& scanHost() { return host_; }
    const std::string& currentType() const { return CurrentType; }
    bool searchRunning() const { return searchRunning_; }
    SkinEngine& skin() { return skin_; }
    const LocaleSettings& locale() const { return locale_; }

    // Handlers, named after the control and the event.
    void Button1Click();
    void ListView1DblClick();
    void Reload1Click();
    void PopupMenu1Popup();
    void RootDirClick();
    QString SelectFolder();
    void TntButton1Click();
    void TntButton2Click();

    // try1_sort.cpp: the comparisons of both tables.
    void ListView1CustomSort(TSortListView* Sender, int ColIndex, std::string Str1,
                             std::string Str2, int& Res, bool& Handled);
    void ListView2CustomSort(TSortListView* Sender, int ColIndex, std::string Str1,
                             std::string Str2, int& Res, bool& Handled);
    std::optional<double> ListView1SortKey(int ColIndex, std::string_view text) const;
    std::optional<double> ListView2SortKey(int ColIndex, std::string_view text) const;

    // try1_export.cpp: names and details to the clipboard or a CSV file.
    void Copyfilelist1Click();
    void CopyfiledetailstoclipboardasCSV1Click(QAction* Sender);
    void Copydetailstoclipboard1Click(QAction* Sender);
    void PutTextOnClipboard(const std::string& lineText);

    // try1_commands.cpp: the file table's workbench.
    void Copyfiles1Click();
    void Copyto1Click();
    void Moveselectedfiles1Click();
    void DeleteFiles2Click();
    void OpenfolderinExplorerClick();
    void FilterClick();
    void Filterfilesbytype1Click();
    void Removeselectedfiles1Click();
    void Selectall1Click();
    void Properties1Click();
    void ListView2DblClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    // try1.cpp: building the window.
    void buildBanner(QWidget* parent);
    void buildOptionPanel();
    void buildTables();
    void buildStatusBar();
    void buildMenus();
    void setTabOrderAndNames();
    void connectControls();
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption, const QString& hint,
                         const QKeySequence& shortcut, int tag, QWidget* shortcutOwner);

    // try1_start.cpp
    void FormCreate(const std::vector<std::string>& arguments);
    void FormKeyDown(int key);
    void fitLabels();
    void placeOnScreen();
    void applyTextColours();
    bool applyingColours_ = false;
    static constexpr QSize kOuterSize{920, 600};
    bool placed_ = false; // placed on the screen at the first show
    bool framed_ = false; // and again once the window manager's frame was known
    QMargins placedWithFrame_;

    // try1_sort.cpp
    void setUpSorting();
    // try1_commands.cpp
    void setUpCommands();
    std::vector<std::string> selectionList() const;
    void transferSelected(bool move);
    void removeRowsAndCount(const std::function<bool(int row)>& remove);
    void keepRowsLikeFirstSelected(std::string_view (*keyOf)(std::string_view path));
    void showOwnProperties(const std::string& path);
    // try1_export.cpp
    void setUpExports();
    std::string tableLineText(TSortListView* table, const std::vector<int>& rows,
                              bool header) const;
    void deliverExport(QAction* Sender, const std::string& lineText);
    QString lastSaveName_; // the save dialog offers the name chosen last

    // try1_search.cpp
    void ResetDisplay();
    void BuildTypeTable();
    void BuildFileTable(const ScanMode& mode);
    void runTypeListing();
    void showProgress();
    void syncOptions();
    void enableCompanions();
    void reportUnreadableRoot(const std::string& folder);
    void reportLeftOut();

    Collation collation_;
    LocaleSettings locale_;
    ResultLists lists_;
    ScanState state_;
    WindowScanHost host_;
    FolderScanner scanner_;
    SkinEngine skin_;
    std::string CurrentType; // exact bytes of the type last listed
    // The exact bytes of the folder given on the command line (a name that is not UTF-8
    // cannot be typed back): searched while RootDir shows them, the field's text otherwise.
    std::optional<std::string> rootBytes_;
    std::string rootFolder() const;
    bool searchRunning_ = false;
    bool fillingFileTable_ = false;
    bool countingTypes_ = false; // CountLabel follows the walk only while it counts types
};

} // namespace vintrel
