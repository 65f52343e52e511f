// The floor of the launch figure: a small process that starts the same 13
// executables with bare posix_spawn calls. Prints the seconds the 13 calls
// took, then reaps the children (not timed).
//
//   spawn13 FILE...

#include <cstdio>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {
double now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
} // namespace

int main(int argc, char** argv) {
    std::vector<pid_t> children;
    children.reserve(size_t(argc));
    const double start = now();
    for (int i = 1; i < argc; ++i) {
        char* args[] = {argv[i], nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[i], nullptr, nullptr, args, environ) != 0)
            return 1;
        children.push_back(pid);
    }
    const double elapsed = now() - start;
    for (pid_t pid : children)
        waitpid(pid, nullptr, 0);
    std::printf("%.9f\n", elapsed);
    return 0;
}
