// The log file: line format, opening and closing, word positions, trimming, pauses.
#include "CameraFixture.h"

#include <regex>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::regex kStampedLine(
    R"(^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\t(.*)$)");

void print(const std::string &text) { LogFileUI::print(const_cast<char *>(text.c_str())); }

TEST_F(CameraTest, EachLineIsCtimeTabTextLineFeed)
{
    print("hello  world ");
    std::string content = readFile("HIDWrapperJ.log");
    ASSERT_FALSE(content.empty());
    EXPECT_EQ(content.back(), '\n');
    std::vector<std::string> lines = rawLogLines();
    ASSERT_EQ(lines.size(), 2u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, kStampedLine)) << lines[0];
    EXPECT_EQ(m[3].str(), "------ INIT ------------------------ INIT -------");
    EXPECT_EQ(m[3].str().size(), 49u);
    ASSERT_TRUE(std::regex_match(lines[1], m, kStampedLine)) << lines[1];
    EXPECT_EQ(m[3].str(), "hello  world ");
    EXPECT_EQ(lines[1].find('\t'), 24u);
}

TEST_F(CameraTest, TextsWithLineFeedsAreWrittenAsTheyAre)
{
    print("first\nsecond");
    print("ends in a line feed\n");
    print("after");
    std::vector<std::string> lines = rawLogLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(std::regex_match(lines[1], kStampedLine));
    EXPECT_EQ(lines[2], "second");
    EXPECT_TRUE(std::regex_match(lines[3], kStampedLine));
    EXPECT_EQ(lines[4], "");
    EXPECT_TRUE(std::regex_match(lines[5], kStampedLine));
}

TEST_F(CameraTest, OpeningAppendsToAnExistingLogWithANewBanner)
{
    LogFileUI::close(const_cast<char *>(""));
    writeFile("HIDWrapperJ.log", "an older line\n");
    char buf[16];
    LogFileUI::init(buf);
    EXPECT_STREQ(buf, "HIDWrapperJ.log");
    print("new");
    std::vector<std::string> t = logTexts();
    EXPECT_EQ(t, (std::vector<std::string>{"an older line", "------ INIT ------------------------ INIT -------", "new"}));
}

TEST_F(CameraTest, ALogThatCannotBeOpenedIsNoLog)
{
    LogFileUI::close(const_cast<char *>(""));
    ASSERT_EQ(unlink("HIDWrapperJ.log"), 0);
    ASSERT_EQ(mkdir("HIDWrapperJ.log", 0700), 0); // not openable as a file, even by root
    char buf[256];
    LogFileUI::init(buf);
    EXPECT_EQ(fpLOGFILEUI, nullptr);
    print("dropped");
    char fmt[] = "%d";
    LogFileUI::print_code(fmt, 1);
    LogFileUI::prn_time();
    EXPECT_EQ(LogFileUI::calc_pos(10), 0);
    EXPECT_EQ(LogFileUI::close(const_cast<char *>("")), 0);
    // The library works on without a log.
    simcam_add_camera(SIMCAM_PANASONIC, 0xFF00);
    EXPECT_EQ(gHIDWrapper.init(), 1);
    EXPECT_EQ(gHIDWrapper.selHIDDevice(), 1);
    EXPECT_EQ(gHIDWrapper.unselectHIDDevice(), 0);
    ASSERT_EQ(rmdir("HIDWrapperJ.log"), 0);
}

TEST_F(CameraTest, AClosedLogDropsLinesAndClosesOnce)
{
    EXPECT_EQ(LogFileUI::close(const_cast<char *>("")), 0);
    EXPECT_EQ(fpLOGFILEUI, nullptr);
    print("dropped");
    EXPECT_EQ(LogFileUI::close(const_cast<char *>("")), 0);
    EXPECT_EQ(logTexts(), std::vector<std::string>{"------ INIT ------------------------ INIT -------"});
}

TEST_F(CameraTest, ANullTextIsLoggedAsNull)
{
    LogFileUI::print(nullptr);
    EXPECT_EQ(logTexts().back(), "(null)");
}

TEST_F(CameraTest, PrintCodeFormatsOneValueWithinItsBuffer)
{
    char intFormat[] = "value=%d!";
    char doubleFormat[] = "ratio %.3f";
    LogFileUI::print_code(intFormat, -42);
    LogFileUI::print_code(doubleFormat, 2.5);
    std::string longFormat = std::string(600, 'x') + "%d";
    LogFileUI::print_code(const_cast<char *>(longFormat.c_str()), 7);
    std::vector<std::string> t = newTexts();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], "value=-42!");
    EXPECT_EQ(t[1], "ratio 2.500");
    EXPECT_EQ(t[2], std::string(511, 'x'));
}

TEST_F(CameraTest, PrnTimeStartsALineTheNextWriteEnds)
{
    LogFileUI::prn_time();
    print("rest");
    std::vector<std::string> lines = rawLogLines();
    ASSERT_EQ(lines.size(), 2u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[1], m, kStampedLine));
    std::string rest = m[3].str();
    ASSERT_TRUE(std::regex_match(rest, m, kStampedLine)) << rest;
    EXPECT_EQ(m[3].str(), "rest");
}

TEST_F(CameraTest, CalcPosFindsTheEndOfTheWordReachingTheOffset)
{
    LogFileUI::close(const_cast<char *>(""));
    writeFile("HIDWrapperJ.log", "alpha beta\t\tgamma\ndelta ");
    char dir[64] = ".";
    LogFileUI::check_len(dir); // opens the file as the log without a banner
    ASSERT_NE(fpLOGFILEUI, nullptr);
    struct {
        int n;
        long pos;
    } cases[] = {{-5, 0}, {0, 0}, {1, 5}, {5, 5}, {6, 10}, {10, 10}, {11, 17}, {18, 23}, {23, 23}, {24, 24}, {500, 24}};
    for (const auto &c : cases) {
        EXPECT_EQ(LogFileUI::calc_pos(c.n), c.pos) << "n=" << c.n;
    }
    // A line written after the search still goes to the end.
    print("x");
    std::string content = readFile("HIDWrapperJ.log");
    EXPECT_EQ(content.compare(0, 24, "alpha beta\t\tgamma\ndelta "), 0);
    EXPECT_EQ(content.substr(content.size() - 3), "\tx\n");
}

// ---- trimming ------------------------------------------------------------------------------

// The trimming rule written out plainly over the whole file, to check the real one against.
std::string referenceTrim(const std::string &file)
{
    const long long keep = 1400000;
    long long S = static_cast<long long>(file.size());
    if (S < keep) {
        return file;
    }
    auto lineEnd = [](char ch) { return ch == '\n' || ch == '\0'; };
    long long K = 0;
    for (long long i = 0; i <= S - keep && i < S; ++i) {
        if (lineEnd(file[static_cast<size_t>(i)])) {
            K = i + 1;
        }
    }
    std::string kept = file.substr(static_cast<size_t>(K));
    long long L = static_cast<long long>(kept.size());
    long long E = 0;
    for (long long i = 0; i <= keep && i < L; ++i) {
        if (lineEnd(kept[static_cast<size_t>(i)])) {
            E = i + 1;
        }
    }
    if (L > keep + 1) {
        for (long long i = keep + 1; i < L; ++i) {
            if (lineEnd(kept[static_cast<size_t>(i)])) {
                E = i + 1;
                break;
            }
        }
    }
    return kept.substr(0, static_cast<size_t>(E));
}

std::string lines(size_t total, size_t lineLength, char fill = 'a')
{
    std::string s;
    s.reserve(total);
    while (s.size() < total) {
        size_t n = std::min(lineLength - 1, total - s.size());
        s.append(n, fill);
        if (s.size() < total) {
            s.push_back('\n');
        }
    }
    return s;
}

struct TrimCase {
    const char *name;
    std::string content;
};

void PrintTo(const TrimCase &c, std::ostream *os) { *os << c.name; }


class TrimTable : public CameraTest, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(TrimTable, KeepsTheNewestWholeLines)
{
    const TrimCase &c = GetParam();
    LogFileUI::close(const_cast<char *>(""));
    ASSERT_EQ(mkdir("logs", 0700), 0);
    writeFile("logs/HIDWrapperJ.log", c.content);
    char dir[64] = "logs";
    LogFileUI::check_len(dir);
    EXPECT_STREQ(dir, "logs/HIDWrapperJ.log");
    ASSERT_NE(fpLOGFILEUI, nullptr);
    std::string expected = referenceTrim(c.content);
    std::string got = readFile("logs/HIDWrapperJ.log");
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    // The log stays open at the end of what was kept.
    print("next");
    std::string after = readFile("logs/HIDWrapperJ.log");
    ASSERT_GE(after.size(), got.size());
    EXPECT_EQ(after.compare(0, got.size(), got), 0);
    EXPECT_EQ(after.substr(after.size() - 5), "next\n");
    // Nothing is left beside it.
    EXPECT_EQ(system("test $(ls logs | wc -l) -eq 1"), 0);
}

std::string withHead(std::string s, const std::string &head)
{
    s.replace(0, head.size(), head);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Logs, TrimTable,
    ::testing::Values(
        TrimCase{"JustBelowTheLimitUntouched", lines(1399999, 100)},
        TrimCase{"AtTheLimitEndingInALineFeed", lines(1399999, 100) + "\n"},
        TrimCase{"NoLineEndAtAll", std::string(1500000, 'z')},
        TrimCase{"LastLineWithoutLineFeedDropped", lines(2000000, 77) + "tail"},
        TrimCase{"TwoMegabytesOfShortLines", lines(2 * 1024 * 1024, 64) + "\n"},
        TrimCase{"NulBytesCountAsLineEnds", [] {
                     std::string s = lines(1600000, 90);
                     for (size_t i = 150; i < s.size(); i += 1000) {
                         s[i] = '\0';
                     }
                     return s;
                 }()},
        TrimCase{"LongLineAtTheCut", [] {
                     // A line end just before the cut, then one long line: the kept text runs past
                     // the limit and ends at the first line end behind it.
                     std::string s = lines(99990, 50) + "\n" + std::string(300000, 'L') + "\n" +
                                     lines(1300000, 120) + "\n" + lines(5000, 60) + "\n";
                     return s;
                 }()},
        TrimCase{"FirstByteIsALineEnd", withHead(lines(1400000, 100), "\n")}),
    [](const auto &p) { return std::string(p.param.name); });

TEST_F(CameraTest, TrimmingAMissingLogLeavesNoLog)
{
    char dir[64] = "nowhere";
    LogFileUI::check_len(dir);
    EXPECT_EQ(fpLOGFILEUI, nullptr);
}

TEST_F(CameraTest, TrimmingJoinsWithASlashEvenAfterOne)
{
    LogFileUI::close(const_cast<char *>(""));
    ASSERT_EQ(mkdir("d", 0700), 0);
    writeFile("d/HIDWrapperJ.log", "x\n");
    char dir[64] = "d/";
    LogFileUI::check_len(dir);
    EXPECT_STREQ(dir, "d//HIDWrapperJ.log");
    EXPECT_NE(fpLOGFILEUI, nullptr);
}

// ---- pauses --------------------------------------------------------------------------------

TEST_F(CameraTest, MsleepSplitsIntoSecondsAndNanoseconds)
{
    struct {
        unsigned long ms;
        unsigned long long ns;
    } cases[] = {{0, 0}, {1, 1000000ULL}, {800, 800000000ULL}, {1500, 1500000000ULL}, {2000, 2000000000ULL}};
    for (const auto &c : cases) {
        simcam_clear_records();
        EXPECT_EQ(msleep(c.ms), 1);
        ASSERT_EQ(simcam_pause_count(), 1u);
        EXPECT_EQ(simcam_pause_ns_at(0), c.ns) << c.ms;
    }
}

} // namespace
