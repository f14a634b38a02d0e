#pragma once
// The main window's controls under their design names, in the order they are built.

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
class QWidget;

namespace vintrel {

class CollapsibleSplitter;
class Lamp;
class TSortListView;
class TStatusBarGr;

struct Form1Controls {
    QFrame* Panel8 = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* Panel5 = nullptr;
    QFrame* Panel6 = nullptr;
    CollapsibleSplitter* JvNetscapeSplitter1 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel4 = nullptr;
    CollapsibleSplitter* JvNetscapeSplitter2 = nullptr;
    QFrame* Panel3 = nullptr;
    QFrame* Panel2 = nullptr;
    TStatusBarGr* HeaderControl1 = nullptr;
    QPushButton* TntButton2 = nullptr;
    QPushButton* TntButton1 = nullptr;
    Lamp* JvLED1 = nullptr;

    QLabel* TntLabel2 = nullptr;
    QLineEdit* RootDir = nullptr;
    QLabel* TntLabel1 = nullptr;
    QCheckBox* HidBox = nullptr;
    QCheckBox* sysbox = nullptr;
    QCheckBox* incsubs = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* TntLabel3 = nullptr;
    QCheckBox* SingleFile = nullptr;
    QLineEdit* FileType = nullptr;
    QCheckBox* InFile = nullptr;
    QLineEdit* InText = nullptr;
    QCheckBox* FileCreated = nullptr;
    QComboBox* FileCreatedCombo = nullptr;
    QDateTimeEdit* CreateDate = nullptr;
    QCheckBox* FileModified = nullptr;
    QComboBox* FileModifiedCombo = nullptr;
    QDateTimeEdit* ModDate = nullptr;
    QCheckBox* FileSize = nullptr;
    QComboBox* FileSizeCombo = nullptr;
    QDoubleSpinBox* FileSizeKb = nullptr;
    QCheckBox* AttribsChk = nullptr;
    QCheckBox* ReadChk = nullptr;
    QCheckBox* ArchiveChk = nullptr;

    TSortListView* ListView1 = nullptr;
    TSortListView* ListView2 = nullptr;
    QLabel* TotalFilesCaption = nullptr;
    QLabel* CountLabel = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* SelectedFilesCaption = nullptr;
    QLabel* FileCount = nullptr;

    QMenu* PopupMenu1 = nullptr;

    QAction* Copyfilelist1 = nullptr;
    QAction* Copyfiles1 = nullptr;
    QAction* CopyfiledetailstoclipboardasCSV1 = nullptr;
    QAction* SavefiledetailsasCSV1 = nullptr;
    QAction* Copyto1 = nullptr;
    QAction* Moveselectedfiles1 = nullptr;
    QAction* DeleteFiles2 = nullptr;
    QAction* OpenfolderinExplorer = nullptr;
    QAction* Filter = nullptr;
    QAction* Filterfilesbytype1 = nullptr;
    QAction* Removeselectedfiles1 = nullptr;
    QAction* Selectall1 = nullptr;
    QAction* Reload1 = nullptr;
    QAction* Properties1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Copydetailstoclipboard1 = nullptr;
    QAction* SavedetailstofileasCSV1 = nullptr;
};

} // namespace vintrel
