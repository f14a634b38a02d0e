#include "CollapsibleSplitter.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "Lamp.h"
#include "PlatformAbilities.h"
#include "SortListView.h"
#include "StatusBarGr.h"
#include "TempTree.h"
#include "try1.h"

#include <fstream>
#include <gtest/gtest.h>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitterHandle>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::TempTree;

namespace {

std::unique_ptr<TForm1> Start(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/opt/vintrel/vintrel2");
    auto form = std::make_unique<TForm1>(arguments);
    form->show();
    return form;
}

struct Expected {
    const char* name;
    QRect geometry;
    const char* caption;
    const char* hint;
};

} // namespace

TEST(MainWindow, EveryOptionControlStandsWhereDesigned) {
    auto form = Start({});
    const Expected controls[] = {
        {"RootDir", {64, 26, 233, 24}, "", "Click to select root folder"},
        {"HidBox", {136, 61, 65, 15}, "Hidden", ""},
        {"sysbox", {224, 61, 68, 15}, "System", ""},
        {"incsubs", {26, 90, 136, 17}, "Include Sub folders", ""},
        {"Button1", {203, 90, 97, 33}, "GO", ""},
        {"SingleFile",
         {25, 140, 120, 17},
         "File type mask",
         "Separate types with semi-colon.  Wildcards * and ? are permitted"},
        {"FileType",
         {184, 136, 116, 24},
         "",
         "Separate types with semi-colon.  Wildcards * and ? are permitted"},
        {"InFile", {25, 169, 136, 17}, "File name mask", "Mask can contain wildcards * and ?"},
        {"InText", {184, 165, 115, 24}, "", "Mask can contain wildcards * and ? -"},
        {"FileCreated", {25, 199, 73, 17}, "Created", "Date file created"},
        {"FileCreatedCombo", {104, 196, 86, 24}, "", "Date file created"},
        {"CreateDate", {202, 195, 97, 24}, "", "Date file created"},
        {"FileModified", {25, 229, 73, 17}, "Modified", "Date file last modified"},
        {"FileModifiedCombo", {104, 226, 86, 24}, "", "Date file last modified"},
        {"ModDate", {202, 225, 97, 24}, "", "Date file last modified"},
        {"FileSize",
         {25, 259, 73, 17},
         "Size (Kb)",
         "File size in Kb - there is a small tolerance of 0.1Kb "},
        {"FileSizeCombo",
         {104, 255, 86, 24},
         "",
         "File size in Kb - there is a small tolerance of 0.1Kb "},
        {"FileSizeKb",
         {202, 254, 97, 24},
         "",
         "File size in Kb - there is a small tolerance of 0.1Kb "},
        {"AttribsChk", {25, 289, 97, 17}, "File attributes", ""},
        {"ReadChk", {146, 289, 81, 17}, "Read only", ""},
        {"ArchiveChk", {232, 289, 65, 17}, "Archive", ""},
    };
    for (const Expected& e : controls) {
        auto* widget = form->Panel6->findChild<QWidget*>(QLatin1String(e.name));
        ASSERT_NE(widget, nullptr) << e.name;
        EXPECT_EQ(widget->geometry(), e.geometry) << e.name;
        EXPECT_EQ(widget->statusTip(), QString::fromUtf8(e.hint)) << e.name;
        EXPECT_TRUE(widget->toolTip().isEmpty()) << e.name;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(e.caption));
        }
        EXPECT_FALSE(
            QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty())
            << e.name;
    }
    for (const char* label : {"TntLabel2", "TntLabel1", "TntLabel3"}) {
        auto* widget = form->Panel6->findChild<QLabel*>(QLatin1String(label));
        ASSERT_NE(widget, nullptr);
        EXPECT_GE(widget->width(), widget->sizeHint().width()) << label; // never clipped
    }
    EXPECT_EQ(form->TntLabel3->pos(), QPoint(24, 117));
    EXPECT_EQ(form->FileCreatedCombo->accessibleName(), "Created");
    EXPECT_EQ(form->FileSizeKb->accessibleName(), "Size (Kb)");
    EXPECT_EQ(form->ListView1->accessibleName(), "File types");
    EXPECT_EQ(form->ListView2->accessibleName(), "Files");
}

TEST(MainWindow, InitialStatesAndTabOrder) {
    auto form = Start({});
    EXPECT_EQ(QFontInfo(form->RootDir->font()).family(), "Tahoma"); // fonts-wine's, by name
    EXPECT_EQ(form->windowTitle(), "Vintrel 2");
    EXPECT_TRUE(form->HidBox->isChecked() && form->sysbox->isChecked() &&
                form->incsubs->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->FileType, form->InText, form->FileCreatedCombo, form->CreateDate,
             form->FileModifiedCombo, form->ModDate, form->FileSizeCombo, form->FileSizeKb,
             form->ReadChk, form->ArchiveChk}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_EQ(form->CreateDate->dateTime(), QDateTime(QDate(2015, 1, 4), QTime(10, 36, 19)));
    EXPECT_EQ(form->FileCreatedCombo->currentText(), "After");
    EXPECT_EQ(form->FileSizeCombo->currentText(), "Greater");
    EXPECT_EQ(form->FileSizeKb->value(), 0.0);
    EXPECT_EQ(form->CountLabel->text(), "0");
    EXPECT_EQ(form->Label5->text(), "Total size: 0");
    EXPECT_EQ(form->Label3->text(), "Total types: 0");
    EXPECT_EQ(form->FileCount->text(), "0");

    const std::vector<QWidget*> order = {form->RootDir,       form->HidBox,
                                         form->sysbox,        form->incsubs,
                                         form->FileType,      form->SingleFile,
                                         form->Button1,       form->InFile,
                                         form->InText,        form->FileCreatedCombo,
                                         form->FileCreated,   form->CreateDate,
                                         form->FileModified,  form->FileModifiedCombo,
                                         form->ModDate,       form->FileSize,
                                         form->FileSizeCombo, form->FileSizeKb,
                                         form->ReadChk,       form->ArchiveChk,
                                         form->AttribsChk};
    // Walk the focus chain from RootDir; inner edits count as their combo box or picker.
    std::vector<QWidget*> walked;
    QWidget* at = form->RootDir;
    for (int guard = 0; guard < 500 && walked.size() < order.size();
         ++guard, at = at->nextInFocusChain()) {
        for (QWidget* control : order) {
            if ((at == control || control->isAncestorOf(at)) &&
                (walked.empty() || walked.back() != control) && at->focusPolicy() != Qt::NoFocus) {
                walked.push_back(control);
            }
        }
    }
    EXPECT_EQ(walked, order);
}

TEST(MainWindow, StatusBarHostsItsControlsAtFixedPlaces) {
    auto form = Start({});
    EXPECT_EQ(form->TntButton2->geometry(), QRect(648, 4, 89, 21));
    EXPECT_EQ(form->TntButton1->geometry(), QRect(768, 4, 89, 21));
    EXPECT_EQ(form->JvLED1->geometry(), QRect(856, 7, 17, 17));
    EXPECT_EQ(form->TntButton1->statusTip(), "Click to register/unregister with context menu");
    form->resize(1200, 700);
    QApplication::processEvents();
    EXPECT_EQ(form->TntButton1->geometry(), QRect(768, 4, 89, 21)); // growing moves nothing
    EXPECT_EQ(form->HeaderControl1->height(), 27);
}

TEST(MainWindow, SplittersCollapseTheirPanelAndRestoreItsSize) {
    auto form = Start({});
    QApplication::processEvents();
    for (CollapsibleSplitter* splitter : {form->JvNetscapeSplitter1, form->JvNetscapeSplitter2}) {
        EXPECT_EQ(splitter->handleWidth(), 12);
        const int before = splitter->sizes()[0];
        EXPECT_GT(before, 0);
        splitter->toggleCollapsed();
        EXPECT_TRUE(splitter->isCollapsed());
        EXPECT_EQ(splitter->sizes()[0], 0);
        splitter->toggleCollapsed();
        EXPECT_EQ(splitter->sizes()[0], before);
    }
    EXPECT_EQ(form->JvNetscapeSplitter1->sizes()[0], 323);
    EXPECT_EQ(form->Panel8->height(), 41);
}

TEST(MainWindow, MenusHoldTheirItemsInOrder) {
    auto form = Start({});
    QStringList captions;
    for (QAction* action : form->PopupMenu1->actions())
        captions << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(
        captions,
        QStringList({"Copy selected file names", "Copy selected files to clipboard",
                     "Copy selected file details to clipboard as CSV",
                     "Save selected file details as CSV", "-", "Copy selected files to folder",
                     "Move selected files to folder", "Delete selected files", "-",
                     "Open Explorer for selected file", "Filter files by selected file folder",
                     "Filter files by selected file type", "Remove selected files ", "Select all",
                     "Reload files of type", "File properties"}));
    EXPECT_EQ(form->Copyfilelist1->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    EXPECT_EQ(form->Copyfiles1->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    EXPECT_EQ(form->SavefiledetailsasCSV1->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(form->Selectall1->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    EXPECT_EQ(form->SavefiledetailsasCSV1->property("tag").toInt(), 99);
    EXPECT_EQ(form->SavedetailstofileasCSV1->property("tag").toInt(), 99);
    EXPECT_EQ(form->Copydetailstoclipboard1->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    EXPECT_EQ(form->Copyfilelist1->statusTip(), "Copy all file names to clipboard");
    EXPECT_EQ(form->Copyfilelist1->shortcutContext(), Qt::WidgetWithChildrenShortcut);
}

TEST(MainWindow, CommandLineGivesTheRootFolderAndTheSkin) {
    TempTree tree;
    tree.file("data/file.txt");
    EXPECT_EQ(Start({})->RootDir->text(), "");
    EXPECT_FALSE(Start({})->skin().active());
    EXPECT_EQ(Start({tree.path("data")})->RootDir->text().toStdString(), tree.path("data"));
    EXPECT_EQ(Start({tree.path("data/file.txt")})->RootDir->text().toStdString(),
              tree.path("data") + "/");
    EXPECT_EQ(Start({tree.path("nothing/here")})->RootDir->text().toStdString(),
              tree.path("nothing") + "/");
    // A relative name is taken from the working directory.
    char* cwd = get_current_dir_name();
    EXPECT_EQ(Start({"nothing"})->RootDir->text().toStdString(), std::string(cwd) + "/");
    free(cwd);
    auto skinned = Start({"/s"});
    EXPECT_EQ(skinned->RootDir->text(), "");
    EXPECT_TRUE(skinned->skin().active());
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    EXPECT_FALSE(Start({tree.path("data"), "/S"})->skin().active());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_TRUE(Start({tree.path("data"), "/s"})->skin().active());
}

TEST(MainWindow, ArgumentsAreCountedUpToTheFirstEmptyOne) {
    char program[] = "vintrel2", folder[] = "/tmp", empty[] = "", skin[] = "/s";
    char* argv[] = {program, folder, empty, skin, nullptr};
    const std::vector<std::string> arguments = ProgramArguments(4, argv);
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_EQ(arguments[0], ExecutablePath()); // the real path, not what the caller said
    EXPECT_FALSE(SkinRequested(arguments));
}

TEST(MainWindow, SkinFileBesideTheExecutableReplacesTheDefault) {
    TempTree tree;
    tree.file("bin/myskin.skn", "QPushButton { color: rgb(1, 2, 3); }");
    auto form = std::make_unique<TForm1>(std::vector<std::string>{tree.path("bin/vintrel2"), "/s"});
    EXPECT_EQ(qApp->styleSheet(), "QPushButton { color: rgb(1, 2, 3); }");
    form->TntButton2->click();
    EXPECT_FALSE(form->skin().active());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    form->TntButton2->click();
    EXPECT_EQ(qApp->styleSheet(), "QPushButton { color: rgb(1, 2, 3); }");
    form->TntButton2->click();
}

TEST(MainWindow, ContextMenuButtonTogglesTheVerbAndTheLamp) {
    auto form = Start({});
    EXPECT_FALSE(form->JvLED1->status());
    form->TntButton1->click();
    EXPECT_TRUE(form->JvLED1->status());
    EXPECT_TRUE(Start({})->JvLED1->status()); // a new start reads it from the hive
    form->TntButton1->click();
    EXPECT_FALSE(form->JvLED1->status());
}

TEST(MainWindow, ErrorsLeavingAHandlerShowTheErrorBox) {
    TempTree tree;
    const std::string hive = std::string(getenv("XDG_CONFIG_HOME")) + "/vintrel2/registry.reg";
    mkdir(getenv("XDG_CONFIG_HOME"), 0700);
    mkdir((std::string(getenv("XDG_CONFIG_HOME")) + "/vintrel2").c_str(), 0700);
    std::ofstream(hive) << "not a hive\n";
    std::vector<DialogRequest> shown;
    Dialogs::setTestHook([&](const DialogRequest& request) {
        shown.push_back(request);
        return QStringLiteral("OK");
    });
    auto form = Start({});
    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    Dialogs::setTestHook(nullptr);
    std::remove(hive.c_str());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, DialogRequest::Kind::Error);
    EXPECT_EQ(shown[0].title, "Vintrel 2");
    EXPECT_TRUE(shown[0].text.contains("cannot be read at line 1")) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.endsWith(".")); // a full stop where the message had none
    EXPECT_FALSE(form->JvLED1->status());
    EXPECT_TRUE(form->isVisible());
}

TEST(MainWindow, HintsGoToTheStatusBar) {
    auto form = Start({});
    QStatusTipEvent tip(form->RootDir->statusTip());
    QApplication::sendEvent(form->RootDir, &tip);
    EXPECT_EQ(form->HeaderControl1->currentMessage(), "Click to select root folder");
}

TEST(MainWindow, OpensAt920By600OuterSizeCentredOnItsScreen) {
    auto form = Start({});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // A window manager frames and places the window in its own time.
    const QRect area = form->screen()->availableGeometry();
    const QRect centred(area.left() + std::max(0, (area.width() - 920) / 2),
                        area.top() + std::max(0, (area.height() - 600) / 2), 920, 600);
    const bool placedByUs = !vintrel::test::WindowsArePlacedByTheCompositor();
    const auto settled = [&] {
        return form->frameGeometry().size() == centred.size() &&
               (!placedByUs || form->frameGeometry() == centred);
    };
    for (int waited = 0; !settled() && waited < 5000; waited += 20) QTest::qWait(20);
    EXPECT_EQ(form->frameGeometry().size(), QSize(920, 600));
    form->resize(300, 200); // the outer size is the minimum too
    EXPECT_EQ(form->frameGeometry().size(), QSize(920, 600));
    if (!placedByUs) return;
    // Centred; a screen narrower or lower than the window gets it at its edge.
    const QRect frame = form->frameGeometry();
    for (const auto& [start, length, screenStart, screenLength] :
         {std::array{frame.left(), frame.width(), area.left(), area.width()},
          std::array{frame.top(), frame.height(), area.top(), area.height()}}) {
        if (length <= screenLength) {
            EXPECT_LE(std::abs(start - (screenStart + (screenLength - length) / 2)), 1);
        } else {
            EXPECT_EQ(start, screenStart);
        }
    }
}

// Dragged with the mouse as far as it goes, the splitters stop at the far side's minimum;
// their buttons then still collapse and restore the anchored side.
TEST(MainWindow, DraggingASplitterKeepsTheFarSideAndTheButtonItsSide) {
    auto form = Start({});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    struct Case {
        CollapsibleSplitter* splitter;
        QWidget* farSide;
        QPoint drag; // far towards the far side
    };
    for (const Case& c : {Case{form->JvNetscapeSplitter2, form->Panel3, QPoint(0, 2000)},
                          Case{form->JvNetscapeSplitter1, form->Panel1, QPoint(2000, 0)}}) {
        QSplitterHandle* handle = c.splitter->handle(1);
        const bool across = c.splitter->orientation() == Qt::Horizontal;
        const QPoint grip =
            across ? QPoint(handle->width() / 2, 5) : QPoint(5, handle->height() / 2);
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip + c.drag);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + c.drag);
        const int farSize = across ? c.farSide->width() : c.farSide->height();
        EXPECT_GT(farSize, 0) << c.splitter->objectName().toStdString();
        EXPECT_GE(farSize, across ? 75 : c.farSide->minimumSizeHint().height());
        const int anchored = c.splitter->sizes()[0];
        EXPECT_GT(anchored, 0);

        const QPoint button(handle->width() / 2, handle->height() / 2);
        QTest::mouseClick(handle, Qt::LeftButton, {}, button);
        EXPECT_EQ(c.splitter->sizes()[0], 0); // the anchored side, not the far one
        EXPECT_GT(c.splitter->sizes()[1], 0);
        QTest::mouseClick(c.splitter->handle(1), Qt::LeftButton, {}, button);
        EXPECT_EQ(c.splitter->sizes()[0], anchored);
    }
}

namespace {

// The pixel of a check box's caption that stands out most from the panel behind it.
QColor CaptionInk(QCheckBox* box) {
    const QImage image = box->grab().toImage();
    const QColor background = box->palette().color(QPalette::Window);
    QColor ink = background;
    int farthest = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 20; x < image.width(); ++x) { // right of the indicator
            const QColor pixel = image.pixelColor(x, y);
            const int distance = std::abs(pixel.lightness() - background.lightness());
            if (distance > farthest) {
                farthest = distance;
                ink = pixel;
            }
        }
    }
    return ink;
}

} // namespace

TEST(MainWindow, BlackCaptionsStayReadableOnADarkPalette) {
    auto form = Start({});
    for (QCheckBox* box : {form->HidBox, form->sysbox, form->incsubs})
        EXPECT_LT(CaptionInk(box).lightness(), 60) << box->text().toStdString();

    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dark.setColor(QPalette::Button, QColor(60, 60, 64));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    QApplication::setPalette(dark);
    QApplication::processEvents(); // the palette reaches the window through the event loop
    for (QCheckBox* box : {form->HidBox, form->sysbox, form->incsubs})
        EXPECT_GT(CaptionInk(box).lightness(), 180) << box->text().toStdString();

    QTest::mouseClick(form->TntButton2, Qt::LeftButton); // the skin is light: black again
    EXPECT_LT(CaptionInk(form->HidBox).lightness(), 60);
    QTest::mouseClick(form->TntButton2, Qt::LeftButton);
    QApplication::setPalette(original);
    QApplication::processEvents();
    EXPECT_LT(CaptionInk(form->HidBox).lightness(), 60);
}
