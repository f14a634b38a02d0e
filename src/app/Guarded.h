#pragma once
// Every handler runs guarded: an error that leaves it is shown in the default error box
// and the program goes on. The guard sits at the handler itself because Qt's own frames
// between a handler and the event loop are built without exception support: an error
// unwinding through them would leak what they hold.

#include "Dialogs.h"

#include <exception>
#include <utility>

namespace vintrel {

template <typename Handler> void RunGuarded(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        Dialogs::showError(QString::fromUtf8(error.what()));
    }
}

// A slot that runs `handler` guarded, whatever arguments the signal carries.
template <typename Handler> auto Guarded(Handler handler) {
    return [handler](auto&&...) { RunGuarded(handler); };
}

} // namespace vintrel
