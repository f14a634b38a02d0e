#pragma once
// The application object. Handlers catch their own errors (Guarded.h); one that still
// reaches the event loop is shown in the default error box here, and the program goes on.

#include <QApplication>

namespace vintrel {

class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Makes the window's face, Tahoma, known to fontconfig by name before the font database
    // is read; true when fontconfig knows one.
    static bool MakeTahomaKnown();
};

} // namespace vintrel
