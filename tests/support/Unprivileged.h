#pragma once
// Runs a test body in a child process as an unprivileged user, since permission bits do
// not stop root; returns the body's result, or -1 when the child did not finish.

#include <functional>

namespace vintrel::test {

int RunUnprivileged(const std::function<int()>& body);

} // namespace vintrel::test
