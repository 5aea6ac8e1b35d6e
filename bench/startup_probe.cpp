// tavik_startup_probe: times how long a command takes from its start until "OK" ends a line of its output
// (the batch console's first prompt), and reports the peak memory of a command run to its end.
//
//   tavik_startup_probe ok RUNS COMMAND [ARGS...]   median, minimum and maximum milliseconds to the first OK
//   tavik_startup_probe run COMMAND [ARGS...]       peak resident memory (KiB) of one run, output discarded
//
// The command's input stays open while "ok" waits, so that the console cannot end before it prompts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Child {
    pid_t pid = -1;
    int input = -1;  // our end of its standard input
    int output = -1; // our end of its standard output
};

Child spawn(char** argv, bool discardOutput) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    if (discardOutput)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    Child child;
    const int failed = posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (failed) {
        close(in[1]);
        close(out[0]);
        return {};
    }
    child.input = in[1];
    child.output = out[0];
    return child;
}

long finish(Child& child) {
    if (child.input >= 0) close(child.input);
    char sink[4096];
    while (child.output >= 0 && read(child.output, sink, sizeof sink) > 0) {
    }
    if (child.output >= 0) close(child.output);
    int status = 0;
    rusage usage{};
    if (wait4(child.pid, &status, 0, &usage) < 0) return -1;
    return usage.ru_maxrss;
}

// Milliseconds from the spawn until the output holds a line "OK", or a negative number if it never does.
double timeToOk(char** argv) {
    const auto start = std::chrono::steady_clock::now();
    Child child = spawn(argv, false);
    if (child.pid < 0) return -1;
    std::string seen;
    char buffer[4096];
    double ms = -1;
    for (;;) {
        const ssize_t got = read(child.output, buffer, sizeof buffer);
        if (got <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(got));
        if (seen.rfind("OK\n", 0) == 0 || seen.find("\nOK\n") != std::string::npos) {
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            break;
        }
    }
    finish(child);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "ok") == 0) {
        const int runs = std::max(1, std::atoi(argv[2]));
        std::vector<double> times;
        timeToOk(argv + 3); // warm-up: the binary and its libraries come into the page cache
        for (int i = 0; i < runs; ++i) {
            const double ms = timeToOk(argv + 3);
            if (ms < 0) {
                std::fprintf(stderr, "tavik_startup_probe: no OK from %s\n", argv[3]);
                return 1;
            }
            times.push_back(ms);
        }
        std::sort(times.begin(), times.end());
        std::printf("median_ms %.3f\nmin_ms %.3f\nmax_ms %.3f\nruns %d\n", times[times.size() / 2],
                    times.front(), times.back(), runs);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0) {
        Child child = spawn(argv + 2, true);
        if (child.pid < 0) return 1;
        const long kib = finish(child);
        if (kib < 0) return 1;
        std::printf("max_rss_kib %ld\n", kib);
        return 0;
    }
    std::fprintf(stderr, "usage: tavik_startup_probe ok RUNS COMMAND [ARGS...]\n"
                         "       tavik_startup_probe run COMMAND [ARGS...]\n");
    return 2;
}
