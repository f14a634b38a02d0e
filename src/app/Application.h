#pragma once
// The application object: an error that leaves an event handler is shown in the default
// error box here, and the program goes on.

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
