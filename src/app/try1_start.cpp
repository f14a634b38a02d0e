// Start-up, wiring, the window-wide keys and the status bar's buttons.

#include "try1.h"

#include "CommandLine.h"
#include "ContextMenuVerb.h"
#include "Guarded.h"
#include "Lamp.h"
#include "LocalTime.h"
#include "Paths.h"
#include "ShownText.h"
#include "SortListView.h"
#include "SystemLocale.h"
#include "Utf8.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <sys/stat.h>

namespace vintrel {

void TForm1::FormCreate(const std::vector<std::string>& arguments) {
    // A lone "/s" is the skin switch, not a path (unless such a folder exists).
    const bool onlySkinSwitch = arguments.size() == 2 && SkinRequested(arguments) &&
                                RootDirFromArgument(arguments[1]) != arguments[1];
    if (const std::optional<std::string> scan = SavedScanArgument(arguments)) {
        openSavedScan(AbsolutePath(*scan)); // main() made sure that it is one
    } else if (arguments.size() > 1 && !onlySkinSwitch) {
        setRootFromArgument(arguments[1]);
    }
    const QString skinFile = QString::fromStdString(
        std::string(FolderPart(arguments.empty() ? std::string() : arguments[0])) + "myskin.skn");
    if (QFileInfo(skinFile).isFile()) skin_.loadFile(skinFile);
    skin_.setActive(SkinRequested(arguments));
    applyTextColours();
    fitLabels();
    JvLED1->setStatus(IsContextMenuRegistered());
    qApp->installEventFilter(this);
}

// Absolute, so that every command acts on the file the table names; a file gives its folder.
void TForm1::setRootFromArgument(const std::string& argument) {
    leaveSavedScan();
    const std::string root = RootDirFromArgument(AbsolutePath(argument));
    RootDir->setText(ShownText(root));
    rootBytes_ = root;
}

// A folder or file dropped from a file manager sets Root as argument 1 does; nothing starts.
// Only a local file that exists is taken: a file: URI of this machine (no host, or
// localhost) without a NUL byte. Drops while a search runs, and rows dragged out of this
// window's own table, are refused.
std::optional<std::string> TForm1::droppedPath(const QDropEvent* event) const {
    const QMimeData* dropped = event->mimeData();
    const bool ownRows =
        event->source() ||
        dropped->data(kOwnRowsFormat) == QByteArray::number(QCoreApplication::applicationPid());
    if (searchRunning_ || Button1->text() != QLatin1String("GO") || ownRows || !dropped->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = dropped->urls();
    if (urls.isEmpty()) return std::nullopt;
    const QUrl& url = urls.first();
    if (url.scheme() != QLatin1String("file") ||
        !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
        return std::nullopt;
    // The path's exact bytes, whatever their encoding.
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    std::string path = bytes.toStdString();
    struct stat st {};
    if (path.empty() || path.find('\0') != std::string::npos || lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return path;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedPath(event)) event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedPath(event)) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const std::optional<std::string> path = droppedPath(event);
    if (!path) return;
    // A saved scan is told by its content; any other file gives its folder.
    struct stat st {};
    if (!(lstat(path->c_str(), &st) == 0 && S_ISREG(st.st_mode) && openSavedScan(*path)))
        setRootFromArgument(*path);
    event->acceptProposedAction();
}

void TForm1::connectControls() {
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(TntButton1, &QPushButton::clicked, this, Guarded([this] { TntButton1Click(); }));
    connect(TntButton2, &QPushButton::clicked, this, Guarded([this] { TntButton2Click(); }));
    connect(ListView1, &QAbstractItemView::doubleClicked, this,
            Guarded([this] { ListView1DblClick(); }));
    connect(Reload1, &QAction::triggered, this, Guarded([this] { Reload1Click(); }));
    setAcceptDrops(true);
    RootDir->setAcceptDrops(false); // a dropped folder is the window's, not text for the field
    connect(RootDir, &QLineEdit::textEdited, this, &TForm1::leaveSavedScan);

    // The enablers: each filter box enables its companions.
    const std::pair<QCheckBox*, QList<QWidget*>> companions[] = {
        {SingleFile, {FileType}},
        {InFile, {InText}},
        {FileCreated, {FileCreatedCombo, CreateDate}},
        {FileModified, {FileModifiedCombo, ModDate}},
        {FileSize, {FileSizeCombo, FileSizeKb}},
        {AttribsChk, {ReadChk, ArchiveChk}},
    };
    for (const auto& [box, widgets] : companions) {
        connect(box, &QCheckBox::toggled, this, [widgets = widgets](bool checked) {
            for (QWidget* widget : widgets) widget->setEnabled(checked);
        });
    }

    // A change of any option applies to the walk from its next file on.
    for (QCheckBox* box : findChildren<QCheckBox*>())
        connect(box, &QCheckBox::toggled, this, &TForm1::syncOptions);
    for (QLineEdit* edit : {FileType, InText})
        connect(edit, &QLineEdit::textChanged, this, &TForm1::syncOptions);
    for (QComboBox* combo : {FileCreatedCombo, FileModifiedCombo, FileSizeCombo}) {
        connect(combo, &QComboBox::currentTextChanged, this, &TForm1::syncOptions);
    }
    for (QDateTimeEdit* picker : {CreateDate, ModDate}) {
        connect(picker, &QDateTimeEdit::dateTimeChanged, this, &TForm1::syncOptions);
    }
    connect(FileSizeKb, &QDoubleSpinBox::valueChanged, this, &TForm1::syncOptions);
    syncOptions();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // The window filters every event of the application (keys anywhere), so this sees each
    // event once.
    if (event->type() == QEvent::Expose && watched == windowHandle()) placeAgainIfFramed();
    if (watched == RootDir && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        RunGuarded([this] { RootDirClick(); });
        return false;
    }
    // The window sees every key first; the key still reaches the focused control. Keys
    // travel up the parents, so only the first receiver counts.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const bool firstReceiver = widget == QApplication::focusWidget() ||
                                   (!QApplication::focusWidget() && widget == this);
        if (firstReceiver && widget->window() == this)
            FormKeyDown(static_cast<QKeyEvent*>(event)->key());
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormKeyDown(int key) {
    if (key == Qt::Key_Escape) state_.StopRequested = true;
    if (key == Qt::Key_F5) Button1->click();
}

void TForm1::TntButton1Click() {
    try {
        ToggleContextMenu(skin_.active());
    } catch (...) {
        // Whatever happened part-way, the lamp shows what the hive says.
        JvLED1->setStatus(IsContextMenuRegistered());
        throw;
    }
    JvLED1->setStatus(IsContextMenuRegistered());
}

void TForm1::TntButton2Click() {
    skin_.setActive(!skin_.active());
    applyTextColours();
    fitLabels();
}

// "Hidden", "System" and "Include Sub folders" are black and the banner grey where the
// background is light (the plain light look and the skin); on a dark palette black would
// vanish, so they take the palette's text colour and a lighter grey there.
void TForm1::applyTextColours() {
    const bool light = skin_.active() || palette().color(QPalette::Window).lightness() >= 128;
    const QString boxes = light ? QStringLiteral("color: black;") : QString();
    for (QCheckBox* box : {HidBox, sysbox, incsubs}) box->setStyleSheet(boxes);
    Panel8->findChild<QLabel*>(QStringLiteral("Panel8Caption"))
        ->setStyleSheet(QStringLiteral("color: %1; font-family: Tahoma; font-size: 16px; "
                                       "font-weight: bold;")
                            .arg(light ? QStringLiteral("grey") : QStringLiteral("#a8a8a8")));
}

// Labels size themselves to their text, from where they stand, in whatever style is on.
void TForm1::fitLabels() {
    for (QLabel* label : Panel6->findChildren<QLabel*>()) {
        label->ensurePolished();
        label->adjustSize();
    }
}

// The window's outer size, frame included, is its size and its minimum; it opens centred on
// its screen. The frame is known only once the window manager has framed the window, so the
// placement is made again when the frame turns out other than it was placed with: a
// reparenting window manager frames the window before it maps it, with no move where it
// keeps the client where it was asked to be. Under Wayland the compositor places windows:
// a client cannot choose its position there.
void TForm1::placeOnScreen() {
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    placedWithFrame_ = frame;
    const QSize client(kOuterSize.width() - frame.left() - frame.right(),
                       kOuterSize.height() - frame.top() - frame.bottom());
    setMinimumSize(client);
    const QScreen* where = screen();
    if (where == nullptr || QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        resize(client);
        return;
    }
    const QRect area = where->availableGeometry();
    const QPoint corner(area.left() + std::max(0, (area.width() - kOuterSize.width()) / 2),
                        area.top() + std::max(0, (area.height() - kOuterSize.height()) / 2));
    // The client's own place, inside the frame: a frame's position is read by the window
    // manager in the light of a gravity it may apply before or after it framed the window.
    setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), client));
}

void TForm1::placeAgainIfFramed() {
    if (placed_ && !framed_ && windowHandle() &&
        windowHandle()->frameMargins() != placedWithFrame_) {
        framed_ = true;
        placeOnScreen();
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placed_) {
        placed_ = true;
        placeOnScreen();
    }
}

void TForm1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    placeAgainIfFramed();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A search runs inside a handler: it must end for the process to end with the window.
    state_.StopRequested = true;
    QMainWindow::closeEvent(event);
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        locale_ = SystemLocaleSettings();
        LocalTimeZoneChanged();
    }
    const bool paletteChanged =
        event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
    if (paletteChanged && !applyingColours_) {
        applyingColours_ = true; // the style sheets set here change the palette again
        applyTextColours();
        applyingColours_ = false;
    }
    QMainWindow::changeEvent(event);
}

} // namespace vintrel
