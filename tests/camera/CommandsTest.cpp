// The camera commands: the bytes each one sends from the stored status, its lines, its result.
#include "CameraFixture.h"

#include "Nembrel.h"

namespace {

using Lines = std::vector<std::string>;

struct ToggleCase {
    short stored;
    unsigned char light;   // byte sent by the light toggle
    unsigned char zoom;    // byte sent by the zoom toggle
    unsigned char resume;  // byte sent by resume
};

void PrintTo(const ToggleCase &c, std::ostream *os) { *os << "stored status " << c.stored; }


class ToggleTable : public CameraTest, public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(ToggleTable, LightToggle)
{
    const ToggleCase &c = GetParam();
    connect(SIMCAM_PANASONIC);
    simcam_set_answers(0);
    queueStatus(0x42);
    gHIDWrapper.status = c.stored;
    bool on = (c.stored & 0x10) != 0;
    EXPECT_EQ(NEMBREL_JNI(toggleLight)(nullptr, nullptr), 2);
    EXPECT_EQ(writes(), std::vector<Bytes>{report(c.light)});
    EXPECT_EQ(pausesMs(), std::vector<unsigned long>{1000});
    EXPECT_EQ(gHIDWrapper.lightWasOn, on ? 1 : 0);
    char line[128];
    snprintf(line, sizeof line, "  toggleLight()  ... Write Light %s (0x%02X). Curr Status = 0x%02x",
             on ? "off" : "On", c.light, static_cast<unsigned>(c.stored));
    EXPECT_EQ(newTexts(), (Lines{"toggleLight()  ... ",
                                 on ? "  statusLight()  ... Light is ON" : "  statusLight()  ... Light is OFF", line,
                                 "  toggleLight()  ... Read status", "  getStatus()    #status bytes: 64",
                                 "  getStatus()    ... Status byte from camera= 0x42",
                                 "toggleLight()  - New status : 0x42"}));
}

TEST_P(ToggleTable, ZoomToggle)
{
    const ToggleCase &c = GetParam();
    connect(SIMCAM_PANASONIC);
    simcam_set_answers(0);
    queueStatus(0x42);
    gHIDWrapper.status = c.stored;
    bool on = (c.stored & 0x04) != 0;
    EXPECT_EQ(toggleZoom(), 2);
    EXPECT_EQ(writes(), std::vector<Bytes>{report(c.zoom)});
    EXPECT_EQ(pausesMs(), std::vector<unsigned long>{800});
    EXPECT_EQ(gHIDWrapper.zoomWasOn, on ? 1 : 0);
    char line[128];
    snprintf(line, sizeof line,
             on ? "...  Write Zoom off (0x%02x). Curr Status = 0x%02x" : "...  Write Zoom on (0x%02x).  Curr Status = 0x%02x",
             c.zoom, static_cast<unsigned>(c.stored));
    EXPECT_EQ(newTexts(), (Lines{"  toggleZoom() ...", line, "  getStatus()    #status bytes: 64",
                                 "  getStatus()    ... Status byte from camera= 0x42",
                                 "toggleZoom() - New status : 0x42"}));
}

TEST_P(ToggleTable, ResumeAndItsStatusRead)
{
    const ToggleCase &c = GetParam();
    connect(SIMCAM_PANASONIC);
    simcam_set_answers(0);
    gHIDWrapper.status = c.stored;
    EXPECT_EQ(resume(), 1);
    EXPECT_EQ(writes(), std::vector<Bytes>{report(c.resume)});
    EXPECT_TRUE(pausesMs().empty());
    EXPECT_TRUE(newTexts().empty()); // nothing was waiting for the status read
}

INSTANTIATE_TEST_SUITE_P(StoredStatus, ToggleTable,
                         ::testing::Values(ToggleCase{0x00, 0x10, 0x04, 0x08}, ToggleCase{0x13, 0x03, 0x17, 0x1B},
                                           ToggleCase{0x15, 0x05, 0x11, 0x1D}, ToggleCase{0x11, 0x01, 0x15, 0x19},
                                           ToggleCase{0xF5, 0x05, 0x11, 0xFD}, ToggleCase{0xE0, 0xF0, 0xE4, 0xE8}),
                         [](const auto &p) {
                             char name[16];
                             snprintf(name, sizeof name, "Status%02X", static_cast<unsigned>(p.param.stored));
                             return std::string(name);
                         });

TEST_F(CameraTest, ToggleWhoseStatusReadFindsNothingSendsTheSameByteAgain)
{
    connect(SIMCAM_PANASONIC);
    simcam_set_answers(0);
    gHIDWrapper.status = 0x13;
    EXPECT_EQ(toggleLight(), 2);
    EXPECT_EQ(newTexts().back(), "toggleLight() - Could not read HID status!");
    EXPECT_EQ(toggleLight(), 2);
    EXPECT_EQ(toggleZoom(), 2);
    EXPECT_EQ(newTexts().back(), "toggleZoom() - Could not read HID status!");
    EXPECT_EQ(writes(), (std::vector<Bytes>{report(0x03), report(0x03), report(0x17)}));
    EXPECT_EQ(gHIDWrapper.status, 0x13);
}

TEST_F(CameraTest, CommandsWithoutADevice)
{
    gHIDWrapper.status = 0x13;
    gHIDWrapper.lightWasOn = 0;
    gHIDWrapper.zoomWasOn = 1;
    struct {
        const char *name;
        jlong (*call)();
        jlong result;
        Lines lines;
    } cases[] = {
        {"toggleLight", [] { return NEMBREL_JNI(toggleLight)(nullptr, nullptr); }, 0, {"toggleLight()  ... "}},
        {"toggleZoom", [] { return NEMBREL_JNI(toggleZoom)(nullptr, nullptr); }, 0, {"  toggleZoom() ..."}},
        {"resume", [] { return NEMBREL_JNI(resume)(nullptr, nullptr); }, 0, {"  getStatus()   - device NOT connected!"}},
        {"freeze", [] { return NEMBREL_JNI(freeze)(nullptr, nullptr); }, 0, {"setFreeze   ..."}},
        {"unfreeze", [] { return NEMBREL_JNI(unfreeze)(nullptr, nullptr); }, 0, {"setUnfreeze   ..."}},
        {"save", [] { return NEMBREL_JNI(save)(nullptr, nullptr); }, 0, {"setSave   ..."}},
        {"powerOff", [] { return jlong{gHIDWrapper.setPowerOff()}; }, 0, {"setPowerOff()   ..."}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.call(), c.result) << c.name;
        EXPECT_EQ(newTexts(), c.lines) << c.name;
    }
    EXPECT_EQ(gHIDWrapper.lightWasOn, 0);
    EXPECT_EQ(gHIDWrapper.zoomWasOn, 1);
    EXPECT_EQ(simcam_write_count(), 0u);
}

TEST_F(CameraTest, FailedWritesOfEveryCommand)
{
    struct {
        const char *name;
        int (*call)();
        int result;
        Lines lines;
    } cases[] = {
        {"toggleLight", [] { return gHIDWrapper.toggleLight(); }, 0,
         {"toggleLight()  ... ", "  statusLight()  ... Light is OFF",
          "  toggleLight()  ... Write Light On (0x10). Curr Status = 0x00", "  Write FAILED! Error reported was: lost"}},
        {"toggleZoom", [] { return gHIDWrapper.toggleZoom(); }, 0,
         {"  toggleZoom() ...", "...  Write Zoom on (0x04).  Curr Status = 0x00", "  Write FAILED! Error reported was: lost"}},
        {"resume", [] { return gHIDWrapper.resume(); }, 1,
         {"  resume() ... Write FAILED! Error reported was: lost\r", ""}},
        {"freeze", [] { return gHIDWrapper.setFreeze(); }, 1, {"setFreeze   ...", " - FAILED"}},
        {"unfreeze", [] { return gHIDWrapper.setUnfreeze(); }, 1, {"setUnfreeze   ...", " - FAILED"}},
        {"save", [] { return gHIDWrapper.setSave(); }, 1, {"setSave   ...", " - FAILED"}},
        {"powerOff", [] { return gHIDWrapper.setPowerOff(); }, 1, {"setPowerOff()   ...", "setPowerOff(): - write FAILED"}},
    };
    connect(SIMCAM_PANASONIC);
    simcam_set_error(L"lost");
    for (const auto &c : cases) {
        gHIDWrapper.lightWasOn = 1;
        simcam_fail_writes(1);
        simcam_clear_records();
        EXPECT_EQ(c.call(), c.result) << c.name;
        EXPECT_EQ(newTexts(), c.lines) << c.name;
        EXPECT_TRUE(pausesMs().empty()) << c.name;
        EXPECT_NE(gHIDWrapper.hidDevice, nullptr);
    }
    EXPECT_EQ(gHIDWrapper.lightWasOn, 1);
}

TEST_F(CameraTest, FixedCodesAndBothPowerOffReports)
{
    struct {
        simcam_model model;
        std::vector<Bytes> sent;
    } cases[] = {
        {SIMCAM_PANASONIC, {report(0x04), report(0x08), report(0x40), report(0x00)}},
        {SIMCAM_SOMIA, {report(0x04), report(0x08), report(0x40), report(0x02, 16)}},
    };
    for (const auto &c : cases) {
        simcam_reset();
        hid_close(gHIDWrapper.hidDevice);
        gHIDWrapper.hidDevice = nullptr;
        connect(c.model);
        gHIDWrapper.status = 0x13;
        EXPECT_EQ(gHIDWrapper.setFreeze(), 0);
        EXPECT_EQ(gHIDWrapper.setUnfreeze(), 0);
        EXPECT_EQ(gHIDWrapper.setSave(), 0);
        EXPECT_EQ(gHIDWrapper.setPowerOff(), 0);
        EXPECT_EQ(writes(), c.sent);
        EXPECT_TRUE(pausesMs().empty());
        EXPECT_EQ(gHIDWrapper.status, 0x13); // nothing read
        EXPECT_NE(gHIDWrapper.hidDevice, nullptr);
        EXPECT_EQ(newTexts(), (Lines{"setFreeze   ...", "setUnfreeze   ...", "setSave   ...", "setPowerOff()   ..."}));
    }
}

TEST_F(CameraTest, SerialNumberIsEmptyAndLeavesTheBufferAlone)
{
    for (int n : {64, 1, 0, -5}) {
        char buf[64] = "kept";
        EXPECT_EQ(getSerialNumber(buf, n), 1);
        EXPECT_STREQ(buf, "kept");
        EXPECT_EQ(newTexts(), (Lines{"  getSerialNumber ...", "  OK"}));
    }
    EXPECT_EQ(getSerialNumber(nullptr, 10), 1);
    // A serial text, were one ever held, arrives terminated within the caller's size.
    snprintf(gHIDWrapper.serialNumber, sizeof gHIDWrapper.serialNumber, "SN-123456");
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(gHIDWrapper.getSerialNumber(small, 4), 1);
    EXPECT_STREQ(small, "SN-");
}

} // namespace
