#pragma once
// The application object. Handlers catch their own errors (Guarded.h); one that still
// reaches the event loop is shown in the default error box here, and the program goes on.

#include <QApplication>

namespace vintrel {

class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Tahoma where a Tahoma-compatible face is installed outside fontconfig's folders.
    static void LoadBundledFonts();
};

} // namespace vintrel
