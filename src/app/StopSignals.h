#pragma once
// SIGTERM and SIGHUP (a logout, a `kill`) end the program as the window's close button does:
// an open question is answered Cancel, a running search stops, and the program ends
// normally, so the desktop still takes over what is on the clipboard.

#include <functional>
#include <QObject>

class QSocketNotifier;

namespace vintrel {

class StopSignals : public QObject {
  public:
    // `stop` runs on the event loop, once per signal received.
    explicit StopSignals(std::function<void()> stop, QObject* parent = nullptr);
    ~StopSignals() override;

  private:
    std::function<void()> stop_;
    QSocketNotifier* notifier_ = nullptr;
    int pipe_[2] = {-1, -1};
};

} // namespace vintrel
