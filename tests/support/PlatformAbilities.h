#pragma once
// What the platform a window test runs on can do. A compositor without a seat (a headless
// Weston) lets no client own the clipboard; on a real X server a drag follows the server's
// pointer, which QTest's mouse events do not move. The offscreen platform does both.

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace vintrel::test {

inline bool ClipboardCanBeOwned() {
    static const bool can = [] {
        const QString probe = QStringLiteral("vintrel test: can the clipboard be owned?");
        QGuiApplication::clipboard()->setText(probe);
        return QGuiApplication::clipboard()->text() == probe;
    }();
    return can;
}

inline bool DragsFollowTestMouseEvents() {
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

inline bool WindowsArePlacedByTheCompositor() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace vintrel::test

#define VINTREL_SKIP_WITHOUT_CLIPBOARD()                                                           \
    if (!vintrel::test::ClipboardCanBeOwned())                                                     \
    GTEST_SKIP() << "no client can own the clipboard on this platform"
