#include "CameraFixture.h"

#include <hidapi.h>

#include <fstream>
#include <sstream>
#include <regex>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

Bytes report(unsigned char cmd, size_t length)
{
    Bytes b(length, 0);
    b[1] = cmd;
    return b;
}

std::vector<Bytes> writes()
{
    std::vector<Bytes> out;
    for (size_t i = 0; i < simcam_write_count(); ++i) {
        size_t n = 0;
        const unsigned char *p = simcam_write_at(i, &n);
        out.emplace_back(p, p + n);
    }
    return out;
}

std::vector<unsigned long> pausesMs()
{
    std::vector<unsigned long> out;
    for (size_t i = 0; i < simcam_pause_count(); ++i) {
        out.push_back(simcam_pause_ms_at(i));
    }
    return out;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::vector<std::string> rawLogLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::string content = readFile(path);
    size_t start = 0;
    while (start < content.size()) {
        size_t nl = content.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        lines.push_back(content.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

std::vector<std::string> logTexts(const std::string &path)
{
    // ctime's text: "Fri Dec 11 15:47:30 2026", then the tab.
    static const std::regex stamp(R"(^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] \d\d:\d\d:\d\d \d{4}\t)");
    std::vector<std::string> texts;
    for (const std::string &line : rawLogLines(path)) {
        std::smatch m;
        if (std::regex_search(line, m, stamp)) {
            texts.push_back(line.substr(m.length()));
        } else {
            texts.push_back(line);
        }
    }
    return texts;
}

void CameraTest::SetUp()
{
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    char tmpl[] = "/tmp/nembrel-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ASSERT_EQ(chdir(dir_.c_str()), 0);

    // Whatever an earlier test in this process left behind goes back to the simulation.
    CHIDWrapperJ &w = gHIDWrapper;
    simcam_close_throws(0);
    hid_close(w.hidDevice);
    w.hidDevice = nullptr;
    hid_free_enumeration(w.devList);
    w.devList = nullptr;
    w.selDevice = nullptr;
    simcam_reset();
    w.status = 0;
    w.powerWasOn = w.lightWasOn = w.extendedWasOn = w.zoomWasOn = 0;
    w.isSomia = w.isPanasonic = 0;
    w.serialNumber[0] = '\0';

    // A fresh log here, as if the library had just been loaded in this directory.
    LogFileUI::close(const_cast<char *>(""));
    char buf[256];
    LogFileUI::init(buf);
    mark(); // the banner is checked where it matters, not before every test's own lines
}

void CameraTest::TearDown()
{
    LogFileUI::close(const_cast<char *>(""));
    if (!oldCwd_.empty()) {
        EXPECT_EQ(chdir(oldCwd_.c_str()), 0);
    }
    std::string cmd = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

std::vector<std::string> CameraTest::newTexts()
{
    std::vector<std::string> all = logTexts();
    std::vector<std::string> out(all.begin() + static_cast<long>(std::min(mark_, all.size())), all.end());
    mark_ = all.size();
    return out;
}

void CameraTest::mark() { mark_ = logTexts().size(); }

void CameraTest::discover(simcam_model model)
{
    simcam_add_camera(model, 0xFF00);
    ASSERT_EQ(gHIDWrapper.init(), model == SIMCAM_SOMIA ? 1001 : 1);
}

void CameraTest::connect(simcam_model model)
{
    discover(model);
    ASSERT_EQ(gHIDWrapper.selHIDDevice(), 1);
    simcam_clear_records();
    mark();
}

void CameraTest::queueStatus(unsigned char s, size_t length)
{
    Bytes b(length, 0);
    if (length > 0) {
        b[0] = s;
    }
    simcam_queue_report(b.data(), b.size());
}
