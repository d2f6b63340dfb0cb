// Discovery: which entry of the HID device list is chosen, the order number, the log lines.
#include "CameraFixture.h"

#include <cstdio>

namespace {

struct Dev {
    unsigned short vendor, product, usagePage;
};

constexpr Dev kPanasonic{0x04DA, 0x091A, 0xFF00};
constexpr Dev kSomia{0x301C, 0xDA11, 0xFF00};
constexpr Dev kMouse{0x046D, 0xC077, 1};

struct DiscoveryCase {
    const char *name;
    std::vector<Dev> devices;
    int result;
    unsigned char somia, panasonic;
};

void PrintTo(const DiscoveryCase &c, std::ostream *os) { *os << c.name; }


class DiscoveryTable : public CameraTest, public ::testing::WithParamInterface<DiscoveryCase> {};

TEST_P(DiscoveryTable, ChoosesTheFirstCameraEntryAndNumbersItsPosition)
{
    const DiscoveryCase &c = GetParam();
    for (const Dev &d : c.devices) {
        simcam_add_device(d.vendor, d.product, d.usagePage, L"maker", nullptr);
    }
    EXPECT_EQ(gHIDWrapper.init(), c.result);
    EXPECT_EQ(gHIDWrapper.isSomia, c.somia);
    EXPECT_EQ(gHIDWrapper.isPanasonic, c.panasonic);
    if (c.result > 0) {
        ASSERT_NE(gHIDWrapper.selDevice, nullptr);
        int k = c.result > 1000 ? c.result - 1000 : c.result;
        const Dev &chosen = c.devices[static_cast<size_t>(k - 1)];
        EXPECT_EQ(gHIDWrapper.selDevice->vendor_id, chosen.vendor);
        EXPECT_EQ(gHIDWrapper.selDevice->product_id, chosen.product);
    } else {
        EXPECT_EQ(gHIDWrapper.selDevice, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DiscoveryTable,
    ::testing::Values(
        DiscoveryCase{"NoDevices", {}, 0, 0, 0},
        DiscoveryCase{"FiveDevicesNoCamera", {kMouse, kMouse, kMouse, kMouse, kMouse}, -1, 0, 0},
        DiscoveryCase{"PanasonicThird", {kMouse, kMouse, kPanasonic}, 3, 0, 1},
        DiscoveryCase{"SomiaFirst", {kSomia}, 1001, 1, 0},
        DiscoveryCase{"PanasonicUsagePage0Skipped", {{0x04DA, 0x091A, 0}, kPanasonic}, 2, 0, 1},
        DiscoveryCase{"SomiaUsagePage1Skipped", {{0x301C, 0xDA11, 1}, kSomia}, 1002, 1, 0},
        DiscoveryCase{"UsagePage2IsEnough", {{0x04DA, 0x091A, 2}}, 1, 0, 1},
        DiscoveryCase{"BothPanasonicFirst", {kMouse, kPanasonic, kSomia}, 2, 0, 1},
        DiscoveryCase{"BothSomiaFirst", {kSomia, kPanasonic}, 1001, 1, 0},
        DiscoveryCase{"CrossedIdentities", {{0x04DA, 0xDA11, 0xFF00}, {0x301C, 0x091A, 0xFF00}}, -1, 0, 0}),
    [](const auto &p) { return std::string(p.param.name); });

TEST_F(CameraTest, DiscoveryLogsEachStepExactly)
{
    simcam_add_device(0x046D, 0xC077, 1, L"Logitech", nullptr);
    simcam_add_device(0x046D, 0xC077, 1, nullptr, nullptr);
    simcam_add_camera(SIMCAM_PANASONIC, 0xFF00);
    ASSERT_EQ(gHIDWrapper.init(), 3);
    std::vector<std::string> t = newTexts();
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[0], "CHIDWrapperJ: Init() ...");
    EXPECT_EQ(t[1], "libNembrel: version 1.1 20200409");
    int a, b, c;
    EXPECT_EQ(sscanf(t[2].c_str(), "libNembrel: MacOS %d.%d.%d", &a, &b, &c), 3) << t[2];
    EXPECT_EQ(t[3], "..enumerating...");
    EXPECT_EQ(t[4], "Found Panasonic camera");
    EXPECT_EQ(t[5], "Panasonic");
    EXPECT_EQ(t[6], "Panasonic/Somia Order number  3.");
}

TEST_F(CameraTest, DiscoveryOutcomeLines)
{
    EXPECT_EQ(gHIDWrapper.init(), 0);
    EXPECT_EQ(newTexts().back(), "No devices (or Could not enumerate devices?)");

    for (int i = 0; i < 5; ++i) {
        simcam_add_device(0x1234, static_cast<unsigned short>(i), 1, L"x", nullptr);
    }
    EXPECT_EQ(gHIDWrapper.init(), -1);
    EXPECT_EQ(newTexts().back(), "Devices 5 but no Panasonic/Somia device!");

    simcam_add_camera(SIMCAM_SOMIA, 0xFF00);
    EXPECT_EQ(gHIDWrapper.init(), 1006);
    std::vector<std::string> t = newTexts();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[t.size() - 2], "Found Somia camera"); // no manufacturer line for this model
    EXPECT_EQ(t.back(), "Panasonic/Somia Order number  6.");

    simcam_fail_enumerate(1);
    EXPECT_EQ(gHIDWrapper.init(), 0);
    EXPECT_EQ(newTexts().back(), "No devices (or Could not enumerate devices?)");
}

TEST_F(CameraTest, ManufacturerTextMissingLongOrWide)
{
    struct {
        std::wstring text;
        bool present;
        std::string logged;
    } cases[] = {
        {L"", false, "(null)"},
        {L"", true, ""},
        {std::wstring(3000, L'M'), true, std::string(1023, 'M')},
    };
    for (const auto &c : cases) {
        simcam_reset();
        simcam_add_device(0x04DA, 0x091A, 0xFF00, c.present ? c.text.c_str() : nullptr, nullptr);
        mark();
        ASSERT_EQ(gHIDWrapper.init(), 1);
        std::vector<std::string> t = newTexts();
        ASSERT_GE(t.size(), 2u);
        EXPECT_EQ(t[t.size() - 2], c.logged);
    }
}

TEST_F(CameraTest, ModelFlagsFollowTheLatestMatchOnly)
{
    simcam_add_camera(SIMCAM_SOMIA, 0xFF00);
    ASSERT_EQ(gHIDWrapper.init(), 1001);
    simcam_reset();
    simcam_add_camera(SIMCAM_PANASONIC, 0xFF00);
    // The Panasonic model found after the Somia model: one flag set, the plain order number.
    EXPECT_EQ(gHIDWrapper.init(), 1);
    EXPECT_EQ(gHIDWrapper.isSomia, 0);
    EXPECT_EQ(gHIDWrapper.isPanasonic, 1);
    // A discovery without a match keeps the flags and leaves no chosen entry behind.
    simcam_reset();
    simcam_add_device(0x1234, 0x5678, 1, nullptr, nullptr);
    EXPECT_EQ(gHIDWrapper.init(), -1);
    EXPECT_EQ(gHIDWrapper.isPanasonic, 1);
    EXPECT_EQ(gHIDWrapper.selDevice, nullptr);
}

TEST_F(CameraTest, RepeatedDiscoveryKeepsTheOpenCamera)
{
    connect(SIMCAM_PANASONIC);
    hid_device *open = gHIDWrapper.hidDevice;
    hid_device_info *firstList = gHIDWrapper.devList;
    EXPECT_EQ(gHIDWrapper.init(), 1);
    EXPECT_EQ(gHIDWrapper.hidDevice, open);
    EXPECT_NE(gHIDWrapper.devList, nullptr);
    EXPECT_EQ(gHIDWrapper.selDevice, gHIDWrapper.devList);
    (void)firstList; // released by now: only compared, never read
    EXPECT_EQ(simcam_handles_open(), 1);
}

TEST_F(CameraTest, LoadedButNeverDiscovered)
{
    EXPECT_EQ(gHIDWrapper.devList, nullptr);
    EXPECT_EQ(gHIDWrapper.selDevice, nullptr);
    EXPECT_EQ(gHIDWrapper.isSomia, 0);
    EXPECT_EQ(gHIDWrapper.isPanasonic, 0);
    EXPECT_EQ(gHIDWrapper.status, 0);
}

} // namespace
