#include "Unprivileged.h"

#include <sys/wait.h>
#include <unistd.h>

namespace vintrel::test {

int RunInChild(const std::function<int()>& body, unsigned seconds) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        alarm(seconds);
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int RunUnprivileged(const std::function<int()>& body) {
    return RunInChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 125;
        return body();
    });
}

} // namespace vintrel::test
