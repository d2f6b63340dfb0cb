// One log line: LogFileUI::print against a bare loop of the same ctime + fprintf + fflush,
// both to a file in the same directory, interleaved in rounds so that both see the same disk.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

#include "LogFileUI.h"

namespace {

using Clock = std::chrono::steady_clock;

double bareLoop(FILE *fp, const char *text, int n)
{
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        time_t now = time(nullptr);
        char stamp[32];
        snprintf(stamp, sizeof stamp, "%s", ctime(&now));
        stamp[strlen(stamp) - 1] = '\0';
        fprintf(fp, "%s\t%s\n", stamp, text);
        fflush(fp);
    }
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double libraryLoop(char *text, int n)
{
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        LogFileUI::print(text);
    }
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

int main()
{
    int n = getenv("BENCH_SMOKE") != nullptr ? 2000 : 100000;
    int rounds = getenv("BENCH_SMOKE") != nullptr ? 2 : 7;
    char dir[] = "/tmp/nembrel-logbench-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        perror("mkdtemp");
        return 1;
    }
    char text[] = "  getStatus()    ... Status byte from camera= 0x13";
    LogFileUI::close(text);
    char buf[256];
    LogFileUI::init(buf); // HIDWrapperJ.log here
    FILE *bare = fopen("bare.log", "a+");
    if (bare == nullptr) {
        return 1;
    }
    double bestLib = 1e9, bestBare = 1e9;
    for (int r = 0; r < rounds; ++r) {
        double b = bareLoop(bare, text, n);
        double l = libraryLoop(text, n);
        bestBare = b < bestBare ? b : bestBare;
        bestLib = l < bestLib ? l : bestLib;
    }
    fclose(bare);
    LogFileUI::close(text);
    printf("log line        library %8.0f lines/s %6.2f us/line | bare loop %8.0f lines/s %6.2f us/line | ratio %.3f\n",
           n / bestLib, bestLib / n * 1e6, n / bestBare, bestBare / n * 1e6, bestLib / bestBare);
    std::string cmd = std::string("rm -rf ") + dir;
    return system(cmd.c_str()) == 0 ? 0 : 1;
}
