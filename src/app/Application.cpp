#include "Application.h"

#include "Dialogs.h"

#include <fontconfig/fontconfig.h>

namespace vintrel {

// The face is made known before QApplication reads the font database.
Application::Application(int& argc, char** argv) : QApplication((MakeTahomaKnown(), argc), argv) {
    setApplicationName(QStringLiteral("Vintrel 2"));
    setApplicationDisplayName(QStringLiteral("Vintrel 2"));
    // The launcher's id, so that X11 and Wayland desktops match the window to it.
    setDesktopFileName(QStringLiteral("org.vintrel.Vintrel2"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Dialogs::showError(QString::fromUtf8(error.what()));
    } catch (...) {
        Dialogs::showError(QStringLiteral("Unknown error"));
    }
    return false;
}

namespace {

bool FontconfigKnows(const char* family) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* properties = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, properties);
    const bool known = fonts && fonts->nfont > 0;
    if (fonts) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(properties);
    FcPatternDestroy(pattern);
    return known;
}

} // namespace

bool Application::MakeTahomaKnown() {
    if (FontconfigKnows("Tahoma")) return true;
    // Debian's fonts-wine keeps its Tahoma in Wine's own folder, which fontconfig does not
    // search; this program alone adds it.
    FcConfigAppFontAddDir(nullptr, reinterpret_cast<const FcChar8*>("/usr/share/wine/fonts"));
    return FontconfigKnows("Tahoma");
}

} // namespace vintrel
