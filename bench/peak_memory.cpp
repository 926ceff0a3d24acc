// lumivarden-peak-memory COMMAND...: runs the command and prints its peak
// resident memory in KiB. The bench starts each measured run through this
// program, freshly started, since a child's peak also counts the pages its
// starter had: a starter this small stays below every run it measures.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[1], nullptr, nullptr, argv + 1, environ) != 0) return 2;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return 2;
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
