#pragma once
// Test bodies that run in a child process: one that may hit a process-wide limit or block,
// and one that runs as an unprivileged user, since permission bits do not stop root.

#include <functional>

namespace vintrel::test {

// The body's exit code, or -1 when the child did not finish (a signal, the watchdog of
// `seconds` that ends a body that would block for ever).
int RunInChild(const std::function<int()>& body, unsigned seconds = 60);

int RunUnprivileged(const std::function<int()>& body);

} // namespace vintrel::test
