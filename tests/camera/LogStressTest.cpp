// The log under load: writers on several threads while another closes or trims it, and a trim
// killed part-way through.
#include "CameraFixture.h"

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kWriters = 4;
constexpr int kLinesPerWriter = 3000;

const std::regex kLine(R"(^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] \d\d:\d\d:\d\d \d{4}\t(w(\d) (\d+) (x+)|int (\d) (\d+)|.*INIT.*|filler.*)$)");

// Writer t's i-th line, through print and print_code in turn; its length varies with i so that
// torn or interleaved lines would not look whole.
void writeLine(int t, int i)
{
    if (i % 3 == 2) {
        char format[32];
        snprintf(format, sizeof format, "int %d %%d", t);
        LogFileUI::print_code(format, i);
        return;
    }
    char text[256];
    snprintf(text, sizeof text, "w%d %d %s", t, i, std::string(static_cast<size_t>(1 + (i * 7919) % 150), 'x').c_str());
    LogFileUI::print(text);
}

// Per writer, the line numbers found; fails the test on any line that is not whole.
std::map<int, std::vector<int>> linesByWriter(const std::string &path)
{
    std::map<int, std::vector<int>> seen;
    for (const std::string &line : rawLogLines(path)) {
        std::smatch m;
        if (!std::regex_match(line, m, kLine)) {
            ADD_FAILURE() << "torn or interleaved line: '" << line.substr(0, 120) << "'";
            continue;
        }
        if (m[2].matched) {
            int i = std::stoi(m[3]);
            EXPECT_EQ(m[4].length(), 1 + (i * 7919) % 150) << line;
            seen[std::stoi(m[2])].push_back(i);
        } else if (m[5].matched) {
            seen[std::stoi(m[5])].push_back(std::stoi(m[6]));
        }
    }
    return seen;
}

void runWriters(const std::function<void(std::atomic<bool> &)> &other)
{
    std::atomic<bool> done{false};
    std::thread side([&] { other(done); });
    std::vector<std::thread> writers;
    for (int t = 0; t < kWriters; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kLinesPerWriter; ++i) {
                writeLine(t, i);
            }
        });
    }
    for (std::thread &w : writers) {
        w.join();
    }
    done = true;
    side.join();
}

TEST_F(CameraTest, ConcurrentWritersLoseAndTearNothing)
{
    runWriters([](std::atomic<bool> &done) {
        char format[] = "filler %.2f";
        for (double v = 0; !done; v += 1) {
            LogFileUI::print_code(format, v);
        }
    });
    LogFileUI::close(const_cast<char *>(""));
    auto seen = linesByWriter("HIDWrapperJ.log");
    for (int t = 0; t < kWriters; ++t) {
        std::vector<int> expected(kLinesPerWriter);
        for (int i = 0; i < kLinesPerWriter; ++i) {
            expected[static_cast<size_t>(i)] = i;
        }
        EXPECT_EQ(seen[t], expected) << "writer " << t;
    }
}

TEST_F(CameraTest, ACloseMidwayKeepsEveryLineWrittenBeforeIt)
{
    runWriters([](std::atomic<bool> &done) {
        // Let the writers get going, then close under them.
        while (!done && rawLogLines().size() < 2000) {
            std::this_thread::yield();
        }
        LogFileUI::close(const_cast<char *>(""));
    });
    auto seen = linesByWriter("HIDWrapperJ.log");
    for (auto &[t, got] : seen) {
        // Lines are written in order, so what reached the file is a gapless start.
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i], static_cast<int>(i)) << "writer " << t;
        }
    }
}

TEST_F(CameraTest, TrimmingUnderWritersKeepsWholeOrderedLines)
{
    LogFileUI::close(const_cast<char *>(""));
    std::string filler;
    while (filler.size() < 1390000) {
        filler += "Fri Dec 11 15:47:30 2026\tfiller " + std::string(60, 'f') + "\n";
    }
    writeFile("HIDWrapperJ.log", filler);
    char dir[64] = ".";
    LogFileUI::check_len(dir);
    ASSERT_TRUE(LogFileUI::isOpen());
    std::atomic<int> trims{0};
    runWriters([&](std::atomic<bool> &done) {
        // A trim holds the lock for its whole rewrite: spaced out, so that the writers get on.
        while (!done && trims < 40) {
            char d[64] = ".";
            LogFileUI::check_len(d);
            ++trims;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        while (!done) {
            std::this_thread::yield();
        }
        char d[64] = ".";
        LogFileUI::check_len(d);
    });
    EXPECT_GT(trims.load(), 0);
    std::string content = readFile("HIDWrapperJ.log");
    EXPECT_LE(content.size(), 1400000u + 300u);
    auto seen = linesByWriter("HIDWrapperJ.log");
    for (int t = 0; t < kWriters; ++t) {
        const std::vector<int> &got = seen[t];
        ASSERT_FALSE(got.empty()) << "writer " << t;
        // Each trim keeps whole lines, and its end may drop the newest line or two (the trimming
        // rule ends at the first line end past the limit), so a writer's lines may have gaps
        // after many trims; what is there is in order and never doubled.
        for (size_t i = 1; i < got.size(); ++i) {
            ASSERT_GT(got[i], got[i - 1]) << "writer " << t;
        }
    }
}

TEST_F(CameraTest, ATrimKilledPartWayLeavesTheOldOrTheTrimmedLog)
{
    LogFileUI::close(const_cast<char *>(""));
    std::string old;
    for (int i = 0; old.size() < 3 * 1024 * 1024; ++i) {
        old += "line " + std::to_string(i) + " " + std::string(static_cast<size_t>(i % 97), 'k') + "\n";
    }
    ASSERT_EQ(mkdir("kill", 0700), 0);
    const std::string path = "kill/HIDWrapperJ.log";
    writeFile(path, old);

    // How long one trim takes here, to spread the kills over it.
    std::string trimmed;
    long long spanNs = 0;
    {
        timespec a, b;
        clock_gettime(CLOCK_MONOTONIC, &a);
        char dir[64] = "kill";
        LogFileUI::check_len(dir);
        clock_gettime(CLOCK_MONOTONIC, &b);
        LogFileUI::close(const_cast<char *>(""));
        spanNs = (b.tv_sec - a.tv_sec) * 1000000000LL + (b.tv_nsec - a.tv_nsec);
        trimmed = readFile(path);
        ASSERT_LT(trimmed.size(), old.size());
    }

    std::mt19937 rng(12345);
    int sawOld = 0, sawTrimmed = 0;
    for (int round = 0; round < 25; ++round) {
        writeFile(path, old);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            char dir[64] = "kill";
            LogFileUI::check_len(dir);
            _exit(0);
        }
        long long delay = std::uniform_int_distribution<long long>(0, spanNs * 2)(rng);
        timespec d{static_cast<time_t>(delay / 1000000000LL), static_cast<long>(delay % 1000000000LL)};
        clock_nanosleep(CLOCK_MONOTONIC, 0, &d, nullptr);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        std::string now = readFile(path);
        if (now == old) {
            ++sawOld;
        } else if (now == trimmed) {
            ++sawTrimmed;
        } else {
            FAIL() << "round " << round << ": a log of " << now.size() << " bytes, neither old nor trimmed";
        }
        system("rm -f kill/HIDWrapperJ.log.trim-*");
    }
    RecordProperty("old", sawOld);
    RecordProperty("trimmed", sawTrimmed);
}

} // namespace
