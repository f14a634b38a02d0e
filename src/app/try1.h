#pragma once
// The main window: the search options, the type table and the file table, the status bar
// with its two buttons and the lamp. Its implementation is split by concern:
// try1.cpp builds the window, try1_start.cpp starts it and handles keys and the status bar
// buttons, try1_search.cpp runs the searches and fills the tables.

#include "Collation.h"
#include "FolderScanner.h"
#include "LocaleSettings.h"
#include "Records.h"
#include "ScanImport.h"
#include "Skin.h"
#include "try1_controls.h"
#include "WindowScanHost.h"

#include <functional>
#include <optional>
#include <QMainWindow>
#include <span>
#include <string>
#include <vector>

class QDropEvent;
class QMimeData;

namespace vintrel {

struct MenuItem;

// The controls live in Form1Controls (try1_controls.h), held the way a Designer form holds
// its Ui class; this class has the handlers and the search state.
class TForm1 : public QMainWindow, public Form1Controls {
    Q_OBJECT
  public:
    // Marks rows dragged out of this window's table (with its process id), so that a drop
    // of them back onto the window is known where the platform names no drag source.
    static constexpr const char* kOwnRowsFormat = "application/x-vintrel2-own-rows";
    // arguments: argument 0 is the executable, as ProgramArguments gives them.
    explicit TForm1(const std::vector<std::string>& arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    // Search state, shared with the walk.
    ScanState& scanState() { return state_; }
    WindowScanHost& scanHost() { return host_; }
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
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
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
    QMenu* buildMenu(const char* name, std::span<const MenuItem> items, QWidget* table);

    // try1_start.cpp
    void FormCreate(const std::vector<std::string>& arguments);
    void setRootFromArgument(const std::string& argument);
    std::optional<std::string> droppedPath(const QDropEvent* event) const;
    void FormKeyDown(int key);
    void fitLabels();
    void placeOnScreen();
    void placeAgainIfFramed();
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
    std::vector<std::string> presentHere(const std::vector<std::string>& paths) const;
    std::optional<FileIdentity> recordedFileHere(int row, std::vector<std::string>& refused) const;
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

    // try1_saved.cpp
    struct OpenedScan {
        std::string file;
        SavedScanHeader header;
    };
    // Opens the saved scan at `file` for the next searches; false when it is not one.
    bool openSavedScan(const std::string& file);
    void leaveSavedScan();
    // The walk of Root, or the search of the saved scan while Root shows its root.
    void walk(const ScanMode& mode);
    QString savedScanText() const;
    std::optional<OpenedScan> savedScan_;
    bool searchedSavedScan_ = false; // by the last search
    bool fileTableFromSavedScan_ = false;

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
