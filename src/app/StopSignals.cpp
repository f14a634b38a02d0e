#include "StopSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <QSocketNotifier>
#include <unistd.h>

namespace vintrel {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
int gWriteEnd = -1;

// A handler may do next to nothing: it hands the signal to the event loop through a pipe.
extern "C" void OnStopSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    (void)!::write(gWriteEnd, &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(std::function<void()> stop, QObject* parent)
    : QObject(parent), stop_(std::move(stop)) {
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    gWriteEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
        }
        stop_();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals() {
    if (pipe_[0] < 0) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : kSignals) sigaction(signal, &action, nullptr);
    gWriteEnd = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

} // namespace vintrel
