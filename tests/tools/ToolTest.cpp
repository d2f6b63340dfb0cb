// The tool's own logic: which entry it marks, how it explains a failed open, how it hands a
// path to the version library, how it names status bits.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CameraSession.h"
#include "DeviceList.h"
#include "FileVersion.h"
#include "OpenFailure.h"

namespace {

struct Entry {
    unsigned short vendor, product, usagePage;
};

// A device list as hidapi hands it out, built from a table.
struct List {
    std::vector<hid_device_info> infos;
    explicit List(const std::vector<Entry> &entries) : infos(entries.size())
    {
        for (size_t i = 0; i < entries.size(); ++i) {
            infos[i] = hid_device_info{};
            infos[i].vendor_id = entries[i].vendor;
            infos[i].product_id = entries[i].product;
            infos[i].usage_page = entries[i].usagePage;
            infos[i].next = i + 1 < entries.size() ? &infos[i + 1] : nullptr;
        }
    }
    const hid_device_info *head() const { return infos.empty() ? nullptr : &infos[0]; }
};

constexpr Entry kKeyboard{0x046D, 0xC52B, 1};
constexpr Entry kPanasonicCam{0x04DA, 0x091A, 0xFF00};
constexpr Entry kSomiaCam{0x301C, 0xDA11, 0xFF00};

TEST(ChosenEntry, MarksTheEntryDiscoveryChooses)
{
    struct Case {
        const char *what;
        std::vector<Entry> list;
        int order;
    } cases[] = {
        {"an empty list has no camera", {}, 0},
        {"a keyboard alone is no camera", {kKeyboard}, 0},
        {"the Panasonic camera behind a keyboard is entry 2", {kKeyboard, kPanasonicCam}, 2},
        {"the Somia camera first is entry 1", {kSomiaCam, kKeyboard}, 1},
        {"a camera entry of usage page 0 is passed over but counted",
         {{0x04DA, 0x091A, 0}, kPanasonicCam}, 2},
        {"usage page 1 is passed over as well", {{0x301C, 0xDA11, 1}, kSomiaCam}, 2},
        {"usage page 2 is enough", {{0x301C, 0xDA11, 2}}, 1},
        {"with both models the first in the list wins", {kKeyboard, kSomiaCam, kPanasonicCam}, 2},
        {"one model's vendor with the other's product is no camera",
         {{0x04DA, 0xDA11, 0xFF00}, {0x301C, 0x091A, 0xFF00}}, 0},
    };
    for (const Case &c : cases) {
        List list(c.list);
        int order = -7;
        const hid_device_info *chosen = chosenEntry(list.head(), &order);
        EXPECT_EQ(order, c.order) << c.what;
        EXPECT_EQ(chosen, c.order > 0 ? &list.infos[c.order - 1] : nullptr) << c.what;
    }
}

TEST(OpenFailure, TellsWhatToDo)
{
    struct Case {
        const char *what;
        NodeCheck check;
        std::vector<std::string> mentions;
    } cases[] = {
        {"a node that is gone: plug the camera in again",
         {false, false, 0, 0, 0},
         {"/dev/hidraw3 does not exist", "Permission denied", "plug it in again", "nembrel-camera list"}},
        {"a node the user may not use: the udev rule, with the node's owner and mode",
         {true, false, 0600, 0, 0},
         {"You may not read and write /dev/hidraw3", "mode 600", "owner uid 0, group gid 0",
          "/usr/lib/udev/rules.d/70-nembrel-camera.rules", "uaccess", "udevadm trigger"}},
        {"a node the user may use: another program, with the HID layer's reason",
         {true, true, 0660, 0, 46},
         {"/dev/hidraw3 is there and you may read and write it", "Permission denied",
          "Another program"}},
    };
    for (const Case &c : cases) {
        char text[1024];
        explainOpenFailure("/dev/hidraw3", c.check, "Permission denied",
                           "/usr/lib/udev/rules.d/70-nembrel-camera.rules", text, sizeof text);
        for (const std::string &m : c.mentions) {
            EXPECT_NE(std::string(text).find(m), std::string::npos) << c.what << ": " << text;
        }
    }
    // The rule is the remedy only for permissions.
    char text[1024];
    explainOpenFailure("/dev/hidraw3", NodeCheck{true, true, 0660, 0, 0}, nullptr, "RULE", text, sizeof text);
    EXPECT_EQ(std::string(text).find("RULE"), std::string::npos);
    EXPECT_NE(std::string(text).find("no reason given"), std::string::npos);
}

TEST(OpenFailure, ExplanationIsCutToItsBuffer)
{
    char text[40];
    text[sizeof text - 1] = 'x';
    std::string longPath(300, 'p');
    explainOpenFailure(longPath.c_str(), NodeCheck{}, "why", "RULE", text, sizeof text);
    EXPECT_EQ(text[sizeof text - 1], '\0');
    EXPECT_EQ(std::string(text).size(), sizeof text - 1);
}

TEST(OpenFailure, LooksAtTheNode)
{
    EXPECT_FALSE(checkNode("/nonexistent/hidraw9").exists);
    EXPECT_FALSE(checkNode(nullptr).exists);
    char path[] = "/tmp/nembrel-node-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(chmod(path, 0640), 0);
    NodeCheck c = checkNode(path);
    EXPECT_TRUE(c.exists);
    EXPECT_TRUE(c.readWrite);
    EXPECT_EQ(c.mode, 0640u);
    EXPECT_EQ(c.uid, static_cast<unsigned>(getuid()));
    unlink(path);
}

TEST(Utf8ToUtf16, HandsThePathOverAsTheJvmWould)
{
    struct Case {
        const char *what;
        const char *utf8;
        std::vector<unsigned short> units;
    } cases[] = {
        {"ASCII stays as it is", "a/b.dll", {'a', '/', 'b', '.', 'd', 'l', 'l'}},
        {"Latin-1 letters become one unit each", "\xC3\xA9\xC3\xBF", {0xE9, 0xFF}},
        {"a three-byte character", "\xCF\x89\xE2\x82\xAC", {0x3C9, 0x20AC}},
        {"a character beyond the BMP becomes a surrogate pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"a stray continuation byte becomes U+FFFD", "a\x80" "b", {'a', 0xFFFD, 'b'}},
        {"a sequence cut by the end becomes U+FFFD", "a\xE2\x82", {'a', 0xFFFD}},
        {"an overlong form is not a slash", "\xC0\xAF", {0xFFFD}},
        {"a Latin-1 byte that is not UTF-8 becomes U+FFFD", "\xE9t\xE9", {0xFFFD, 't', 0xFFFD}},
        {"an empty path", "", {}},
    };
    for (const Case &c : cases) {
        unsigned short out[16];
        size_t n = utf8ToUtf16(c.utf8, out, 16);
        EXPECT_EQ(std::vector<unsigned short>(out, out + n), c.units) << c.what;
    }
    // Never past the room given, and no half surrogate pair at the end.
    unsigned short out[3] = {0, 0, 0};
    EXPECT_EQ(utf8ToUtf16("ab\xF0\x9F\x98\x80", out, 3), 2u);
    EXPECT_EQ(utf8ToUtf16("abcdef", out, 3), 3u);
}

TEST(FileVersion, ThroughThePellimorExport)
{
    struct Case {
        const char *what;
        std::string path;
        const char *version;
    } cases[] = {
        {"a file of version 1.2.3.4", std::string(TOOL_FIXTURES_DIR) + "/v1234.dll", "1.2.3.4"},
        {"parts of 0xFFFF", std::string(TOOL_FIXTURES_DIR) + "/v65535.dll", "65535.0.65535.7"},
        {"a file without a version", std::string(TOOL_FIXTURES_DIR) + "/no-version.dll", "0.0.0.0"},
        {"a file that is not there", "/nonexistent/x.dll", "0.0.0.0"},
        {"an empty path", "", "0.0.0.0"},
        {"a path far longer than any the library reads", std::string(5000, 'a'), "0.0.0.0"},
    };
    for (const Case &c : cases) {
        char version[64];
        ASSERT_TRUE(fileVersion(c.path.c_str(), version, sizeof version)) << c.what;
        EXPECT_STREQ(version, c.version) << c.what;
    }
}

TEST(DescribeStatus, NamesTheBitsSet)
{
    struct Case {
        int status;
        const char *names;
    } cases[] = {
        {0x00, "none"},
        {0x13, "power, extended, light"},
        {0x1F, "power, extended, zoom, frozen, light"},
        {0xE0, "none"},  // bits the camera does not use
    };
    for (const Case &c : cases) {
        char text[64];
        describeStatus(c.status, text, sizeof text);
        EXPECT_STREQ(text, c.names) << c.status;
    }
    char small[8];
    describeStatus(0x1F, small, sizeof small);
    EXPECT_STREQ(small, "power");
}

} // namespace
