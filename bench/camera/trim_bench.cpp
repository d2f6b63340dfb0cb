// Trimming a log: LogFileUI::check_len against `tail -c 1400000` of the same file, each in a
// child process whose peak resident memory is read back with wait4.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "LogFileUI.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double seconds;
    long peakKiB;
};

// A log of `bytes` bytes of lines of varying length.
bool makeLog(const char *path, long long bytes)
{
    FILE *fp = fopen(path, "wb");
    if (fp == nullptr) {
        return false;
    }
    static char chunk[1 << 20];
    size_t used = 0;
    for (int i = 0; used < sizeof chunk - 200; ++i) {
        used += static_cast<size_t>(snprintf(chunk + used, sizeof chunk - used,
                                             "Fri Dec 11 15:47:30 2026\t  getStatus()    #status bytes: %d\n", i % 97));
    }
    long long written = 0;
    while (written < bytes) {
        size_t n = static_cast<size_t>(bytes - written < static_cast<long long>(used) ? bytes - written
                                                                                       : static_cast<long long>(used));
        fwrite(chunk, 1, n, fp);
        written += static_cast<long long>(n);
    }
    return fclose(fp) == 0;
}

template <typename Fn>
Run inChild(Fn fn)
{
    auto t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        _exit(fn());
    }
    int status = 0;
    struct rusage ru;
    wait4(pid, &status, 0, &ru);
    return Run{std::chrono::duration<double>(Clock::now() - t0).count(), ru.ru_maxrss};
}

} // namespace

int main(int argc, char **argv)
{
    const char *base = argc > 1 ? argv[1] : "/tmp";
    std::string dir = std::string(base) + "/nembrel-trimbench";
    mkdir(dir.c_str(), 0700);
    std::string log = dir + "/HIDWrapperJ.log";
    std::string copy = dir + "/copy.log";
    std::vector<long long> sizes = {2LL << 20, 100LL << 20, 1LL << 30};
    if (getenv("BENCH_SMOKE") != nullptr) {
        sizes = {2LL << 20};
    }
    char scratch[8];
    LogFileUI::close(scratch);
    for (long long size : sizes) {
        if (!makeLog(copy.c_str(), size)) {
            fprintf(stderr, "cannot write %s\n", copy.c_str());
            return 1;
        }
        // The same file for both: copied fresh (and so in the page cache) before each run.
        // Written out (sync) before each run: a log grows line by line and is flushed as it
        // goes, so it has no backlog of dirty pages for the trim's fsync to wait on.
        std::string cp = "cp " + copy + " " + log + " && sync";
        if (system(cp.c_str()) != 0) {
            return 1;
        }
        Run lib = inChild([&] {
            char d[4096];
            snprintf(d, sizeof d - 17, "%s", dir.c_str());
            LogFileUI::check_len(d);
            return LogFileUI::isOpen() ? 0 : 1;
        });
        Run tail = inChild([&] {
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            execlp("tail", "tail", "-c", "1400000", copy.c_str(), static_cast<char *>(nullptr));
            return 127;
        });
        // The same job done with tail: the newest bytes into a new file, renamed over the log.
        // Replacing a large file costs the kernel its release, whoever replaces it.
        if (system(cp.c_str()) != 0) {
            return 1;
        }
        Run tailMv = inChild([&] {
            execl("/bin/sh", "sh", "-c", "tail -c 1400000 \"$0\" > \"$0.new\" && mv \"$0.new\" \"$0\"",
                  log.c_str(), static_cast<char *>(nullptr));
            return 127;
        });
        printf("trim %5lld MiB  check_len %8.2f ms %6ld KiB peak | tail -c %7.2f ms %6ld KiB"
               " | tail -c + mv %8.2f ms %6ld KiB | ratio to tail+mv %.2f\n",
               size >> 20, lib.seconds * 1e3, lib.peakKiB, tail.seconds * 1e3, tail.peakKiB,
               tailMv.seconds * 1e3, tailMv.peakKiB, lib.seconds / tailMv.seconds);
        fflush(stdout);
    }
    std::string rm = "rm -rf " + dir;
    return system(rm.c_str()) == 0 ? 0 : 1;
}
