// Runs one command and reports what it cost, to the microsecond, the way /usr/bin/time does
// but finer: wall time around the child's whole life, and the child's user time, system time
// and peak resident set from wait4.
//
//   srjoin_bench_measure REPORT COMMAND [ARGUMENT...]
//
// Adds one line to the file REPORT: "wall_us user_us sys_us maxrss_kib exit_code", and exits
// with the command's exit code (125 when it cannot be run or measured, 128 + N for signal N).
// The command's own standard output and error go where this program's go.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

extern char** environ;

namespace {

long long microseconds(const timeval& t) {
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec;
}

long long now_us() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: srjoin_bench_measure REPORT COMMAND [ARGUMENT...]\n", stderr);
        return 125;
    }
    std::FILE* report = std::fopen(argv[1], "ae");
    if (report == nullptr) {
        std::perror(argv[1]);
        return 125;
    }
    const long long start = now_us();
    pid_t child = 0;
    if (const int error = posix_spawnp(&child, argv[2], nullptr, nullptr, argv + 2, environ)) {
        errno = error;
        std::perror(argv[2]);
        return 125;
    }
    int status = 0;
    rusage usage{};
    pid_t waited = 0;
    do {
        waited = wait4(child, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    const long long wall = now_us() - start;
    if (waited < 0) {
        std::perror("wait4");
        return 125;
    }
    const int exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::fprintf(report, "%lld %lld %lld %ld %d\n", wall, microseconds(usage.ru_utime),
                 microseconds(usage.ru_stime), usage.ru_maxrss, exit_code);
    if (std::fclose(report) != 0) {
        std::perror(argv[1]);
        return 125;
    }
    return exit_code;
}
