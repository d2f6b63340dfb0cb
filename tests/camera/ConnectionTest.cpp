// Selecting, opening (power on, extended mode) and releasing the camera.
#include "CameraFixture.h"

#include "Nembrel.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kPowerOnWritten = {"Write 'Power on'", "(debug) Written. Read status ...", "POWER on written."};
const Lines kPowerOnFailed = {"Write 'Power on'", "(debug) Written. Read status ...",
                              "  setPowerOn()   ... Write FAILED!"};

Lines concat(std::initializer_list<Lines> parts)
{
    Lines out;
    for (const Lines &p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST_F(CameraTest, SelectOpensTheChosenPathNonBlockingOnce)
{
    discover(SIMCAM_PANASONIC);
    mark();
    EXPECT_EQ(gHIDWrapper.selHIDDevice(), 1);
    EXPECT_NE(gHIDWrapper.hidDevice, nullptr);
    EXPECT_EQ(simcam_nonblocking(), 1);
    EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::selHIDDevice() entry", "dev path= /dev/hidraw0",
                                 "    Connected to HID port."}));
    hid_device *first = gHIDWrapper.hidDevice;
    EXPECT_EQ(gHIDWrapper.selHIDDevice(), 1);
    EXPECT_EQ(gHIDWrapper.hidDevice, first);
    EXPECT_EQ(simcam_open_count(), 1);
    EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::selHIDDevice() entry", "    Connected to HID port."}));
}

TEST_F(CameraTest, SelectWithoutAChosenCameraOpensNothing)
{
    simcam_add_device(0x1234, 0x5678, 1, nullptr, nullptr);
    EXPECT_EQ(gHIDWrapper.selHIDDevice(), 0); // never discovered
    EXPECT_EQ(gHIDWrapper.init(), -1);
    mark();
    EXPECT_EQ(gHIDWrapper.selHIDDevice(), 0); // discovered nothing
    EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::selHIDDevice() entry",
                                 "   No camera chosen by init(): could not connect to camera HID port!"}));
    EXPECT_EQ(simcam_open_count(), 0);
}

TEST_F(CameraTest, FailedSelectThenOpenFindsNoDevice)
{
    for (simcam_model model : {SIMCAM_PANASONIC, SIMCAM_SOMIA}) {
        SCOPED_TRACE(model);
        simcam_reset();
        gHIDWrapper.status = 0;
        discover(model);
        simcam_fail_opens(1);
        mark();
        EXPECT_EQ(gHIDWrapper.selHIDDevice(), 0);
        EXPECT_EQ(newTexts().back(), "   Could not connect to camera HID port!");
        EXPECT_EQ(gHIDWrapper.openDevice(), 0);
        Lines expected = {"CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry",
                          "setPowerOn() - Device NOT connected"};
        if (model == SIMCAM_PANASONIC) {
            expected = concat({expected, {" -  Set extended mode on", "setExtended()  ... ",
                                          "setExtended() - Device not connected"}});
        }
        EXPECT_EQ(newTexts(), expected);
        EXPECT_EQ(simcam_write_count(), 0u);
    }
}

TEST_F(CameraTest, OpenPanasonicPowersOnDrainsAndSetsExtendedMode)
{
    connect(SIMCAM_PANASONIC);
    EXPECT_EQ(gHIDWrapper.openDevice(), 1);
    EXPECT_EQ(writes(), (std::vector<Bytes>{report(0x01), report(0x13)}));
    EXPECT_EQ(pausesMs(), (std::vector<unsigned long>{1000, 500, 500, 1500}));
    EXPECT_EQ(gHIDWrapper.status, 0x13);
    EXPECT_EQ(gHIDWrapper.powerWasOn, 0);
    EXPECT_EQ(newTexts(),
              concat({{"CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry",
                       " Panasonic camera"},
                      kPowerOnWritten,
                      {"  setPowerOn() - Read status", "  setPowerOn() - Buffer read.",
                       "  getStatus()    #status bytes: 64", "  getStatus()    ... Status byte from camera= 0x01",
                       "setPowerOn() - NewStatus : 0x01", "  setPowerOn() - Buffer read.",
                       "  setPowerOn() - Could not read HID status!", " -  Set extended mode on",
                       "setExtended()  ... ", "setExtended()  ... Write 'Extended Mode' 0x13.",
                       "  setExtended()  ... Write OK... Read status...", "  getStatus()    #status bytes: 64",
                       "  getStatus()    ... Status byte from camera= 0x13", "setExtended() - newStatus : 0x13"}}));

    // Brought up already: a second open sends nothing.
    simcam_clear_records();
    EXPECT_EQ(gHIDWrapper.openDevice(), 1);
    EXPECT_EQ(simcam_write_count(), 0u);
    EXPECT_EQ(gHIDWrapper.powerWasOn, 1);
    EXPECT_EQ(gHIDWrapper.extendedWasOn, 1);
}

TEST_F(CameraTest, OpenSomiaWritesSixteenBytesAndReadsNothing)
{
    connect(SIMCAM_SOMIA);
    gHIDWrapper.status = 0x03; // the power bit does not stop the Somia model
    EXPECT_EQ(gHIDWrapper.openDevice(), 1);
    EXPECT_EQ(writes(), std::vector<Bytes>{report(0x01, 16)});
    EXPECT_EQ(pausesMs(), std::vector<unsigned long>{1000});
    EXPECT_EQ(newTexts(), concat({{"CHIDWrapperJ::openDevice() -  Set power on",
                                   "CHIDWrapperJ::setPowerOn()  entry", " Somia camera"},
                                  kPowerOnWritten}));
    EXPECT_EQ(gHIDWrapper.openDevice(), 1);
    EXPECT_EQ(simcam_write_count(), 2u); // sent again on every call
    // The extended-mode exports still reach a Somia camera.
    gHIDWrapper.status = 0;
    EXPECT_EQ(setExtended(), 1);
    EXPECT_EQ(writes().back(), report(0x13));
}

TEST_F(CameraTest, PanasonicAlreadyPoweredSendsNoPowerOn)
{
    struct {
        short status;
        std::vector<Bytes> writes;
    } cases[] = {{0x01, {report(0x13)}}, {0x03, {}}};
    for (const auto &c : cases) {
        connect(SIMCAM_PANASONIC);
        gHIDWrapper.status = c.status;
        EXPECT_EQ(gHIDWrapper.openDevice(), 1);
        EXPECT_EQ(gHIDWrapper.powerWasOn, 1);
        EXPECT_EQ(writes(), c.writes);
        Lines t = newTexts();
        EXPECT_EQ(t[2], " Panasonic camera");
        EXPECT_EQ(t[3], " -  Set extended mode on");
        simcam_reset();
        hid_close(gHIDWrapper.hidDevice);
        gHIDWrapper.hidDevice = nullptr;
    }
}

TEST_F(CameraTest, ExtendedModeAlreadyOnComesBeforeTheDeviceTest)
{
    for (int somia : {0, 1}) {
        gHIDWrapper.isSomia = static_cast<unsigned char>(somia);
        gHIDWrapper.extendedWasOn = 0;
        gHIDWrapper.status = 0x02;
        mark();
        EXPECT_EQ(setExtended(), 0);
        EXPECT_EQ(gHIDWrapper.extendedWasOn, 1);
        EXPECT_EQ(newTexts(), Lines{"setExtended()  ... "});
    }
    gHIDWrapper.status = 0;
    EXPECT_EQ(setExtended(), 0);
    EXPECT_EQ(newTexts(), (Lines{"setExtended()  ... ", "setExtended() - Device not connected"}));
}

struct PowerFailCase {
    int failures;
    simcam_model model;
};

void PrintTo(const PowerFailCase &c, std::ostream *os) { *os << c.failures << (c.model == SIMCAM_SOMIA ? " failures, Somia" : " failures, Panasonic"); }


class PowerOnRetries : public CameraTest, public ::testing::WithParamInterface<PowerFailCase> {};

TEST_P(PowerOnRetries, CloseWaitReopenWaitAndTryAgain)
{
    const PowerFailCase &c = GetParam();
    bool somia = c.model == SIMCAM_SOMIA;
    connect(c.model);
    simcam_fail_writes(c.failures);
    EXPECT_EQ(gHIDWrapper.setPowerOn(), somia ? 0 : 1);
    ASSERT_NE(gHIDWrapper.hidDevice, nullptr);
    int failed = std::min(c.failures, 5);
    EXPECT_EQ(simcam_open_count(), 1 + failed);
    EXPECT_EQ(simcam_handles_open(), 1);
    EXPECT_EQ(simcam_nonblocking(), 1);

    int attempts = std::min(c.failures + 1, 5);
    std::vector<Bytes> expectedWrites(static_cast<size_t>(attempts), report(0x01, somia ? 16 : 2));
    EXPECT_EQ(writes(), expectedWrites);

    Lines expected = {"CHIDWrapperJ::setPowerOn()  entry", somia ? " Somia camera" : " Panasonic camera"};
    std::vector<unsigned long> pauses;
    for (int i = 0; i < failed; ++i) {
        expected = concat({expected, kPowerOnFailed});
        pauses.insert(pauses.end(), {2000, 2000});
    }
    if (failed < 5) {
        expected = concat({expected, kPowerOnWritten});
    }
    pauses.push_back(1000);
    if (!somia) {
        expected.push_back("  setPowerOn() - Read status");
    }
    Lines t = newTexts();
    ASSERT_GE(t.size(), expected.size());
    EXPECT_EQ(Lines(t.begin(), t.begin() + static_cast<long>(expected.size())), expected);
    std::vector<unsigned long> p = pausesMs();
    ASSERT_GE(p.size(), pauses.size());
    EXPECT_EQ(std::vector<unsigned long>(p.begin(), p.begin() + static_cast<long>(pauses.size())), pauses);
    if (failed == 5) {
        EXPECT_EQ(t.size(), expected.size()); // no status read after five failures
        EXPECT_EQ(p.size(), pauses.size());
        EXPECT_EQ(simcam_clock_ns(), 21000000000ULL);
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, PowerOnRetries,
                         ::testing::Values(PowerFailCase{1, SIMCAM_PANASONIC}, PowerFailCase{2, SIMCAM_PANASONIC},
                                           PowerFailCase{3, SIMCAM_PANASONIC}, PowerFailCase{4, SIMCAM_PANASONIC},
                                           PowerFailCase{5, SIMCAM_PANASONIC}, PowerFailCase{6, SIMCAM_PANASONIC},
                                           PowerFailCase{1, SIMCAM_SOMIA}, PowerFailCase{5, SIMCAM_SOMIA}));

TEST_F(CameraTest, UnpluggedCameraWhoseReopenFails)
{
    for (simcam_model model : {SIMCAM_PANASONIC, SIMCAM_SOMIA}) {
        SCOPED_TRACE(model);
        simcam_reset();
        gHIDWrapper.status = 0;
        connect(model);
        simcam_unplug();
        EXPECT_EQ(gHIDWrapper.openDevice(), 0); // no camera open at the end
        EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
        EXPECT_EQ(pausesMs(), std::vector<unsigned long>{2000});
        Lines t = newTexts();
        Lines expected = concat({{"CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry",
                                  model == SIMCAM_SOMIA ? " Somia camera" : " Panasonic camera"},
                                 kPowerOnFailed,
                                 {"unable to open device", ""}});
        if (model == SIMCAM_PANASONIC) {
            expected = concat({expected, {" -  Set extended mode on", "setExtended()  ... ",
                                          "setExtended() - Device not connected"}});
        }
        EXPECT_EQ(t, expected);
        EXPECT_EQ(unselect(), 0);
        EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
                                     "  getStatus()   - device NOT connected!",
                                     "  unselectHIDDevice()... device not connected(?). Device NOT released.",
                                     "Close logfile."}));
        char buf[256];
        LogFileUI::init(buf);
        mark();
    }
}

TEST_F(CameraTest, ReopenWithoutAChosenEntryCountsAsFailed)
{
    connect(SIMCAM_PANASONIC);
    gHIDWrapper.selDevice = nullptr;
    simcam_fail_writes(1);
    EXPECT_EQ(gHIDWrapper.setPowerOn(), 1);
    EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
    EXPECT_EQ(simcam_open_count(), 1);
}

TEST_F(CameraTest, DrainLoopWorksOffTheBacklogTwoAtATime)
{
    connect(SIMCAM_PANASONIC);
    simcam_set_answers(0);
    for (int s : {0xA1, 0xA2, 0xA3, 0xA4, 0xA5}) {
        queueStatus(static_cast<unsigned char>(s), 8);
    }
    EXPECT_EQ(gHIDWrapper.setPowerOn(), 1);
    EXPECT_EQ(gHIDWrapper.status, 0xA4);
    EXPECT_EQ(simcam_queued(), 0u);
    EXPECT_EQ(pausesMs(), (std::vector<unsigned long>{1000, 500, 500, 500, 500}));
    Lines t = newTexts();
    Lines tail(t.begin() + 5, t.end());
    EXPECT_EQ(tail, (Lines{"  setPowerOn() - Read status", "  setPowerOn() - Buffer read.",
                           "  getStatus()    #status bytes: 8", "  getStatus()    ... Status byte from camera= 0xa2",
                           "setPowerOn() - NewStatus : 0xa2", "  setPowerOn() - Buffer read.",
                           "  getStatus()    #status bytes: 8", "  getStatus()    ... Status byte from camera= 0xa4",
                           "setPowerOn() - NewStatus : 0xa4", "  setPowerOn() - Buffer read.",
                           "  setPowerOn() - Could not read HID status!", "  setPowerOn() - Buffer read.",
                           "  setPowerOn() - Could not read HID status!"}));
}

TEST_F(CameraTest, DrainLoopStopsOnAFailedRead)
{
    connect(SIMCAM_PANASONIC);
    simcam_fail_reads(1);
    EXPECT_EQ(gHIDWrapper.setPowerOn(), 1);
    EXPECT_EQ(pausesMs(), std::vector<unsigned long>{1000});
    Lines t = newTexts();
    Lines tail(t.end() - 5, t.end());
    EXPECT_EQ(tail, (Lines{"  setPowerOn() - Read status", "  setPowerOn() - Unable to read buffer",
                           "  getStatus()    #status bytes: 64", "  getStatus()    ... Status byte from camera= 0x00",
                           "setPowerOn() - NewStatus : 0x00"}));
}

TEST_F(CameraTest, ExtendedModeFailures)
{
    struct {
        const wchar_t *error;
        bool failWrite;
        Lines tail;
    } cases[] = {
        {L"hid_write: Broken pipe", true, {"  setExtended()  ... Write FAILED! Error reported was: hid_write: Broken pipe"}},
        {nullptr, true, {"  setExtended()  ... Write FAILED! Error reported was: (null)"}},
        {L"", false, {"  setExtended()  ... Write OK... Read status...", "setExtended() - Could not read HID status!"}},
    };
    for (const auto &c : cases) {
        connect(SIMCAM_PANASONIC);
        simcam_set_answers(0);
        simcam_set_error(c.error);
        if (c.failWrite) {
            simcam_fail_writes(1);
        }
        EXPECT_EQ(gHIDWrapper.setExtended(), 1);
        Lines t = newTexts();
        EXPECT_EQ(Lines(t.end() - static_cast<long>(c.tail.size()), t.end()), c.tail);
        EXPECT_EQ(pausesMs(), c.failWrite ? std::vector<unsigned long>{} : std::vector<unsigned long>{1500});
        simcam_reset();
        hid_close(gHIDWrapper.hidDevice);
        gHIDWrapper.hidDevice = nullptr;
    }
}

TEST_F(CameraTest, LongErrorTextsAreCutToTheLine)
{
    connect(SIMCAM_PANASONIC);
    std::wstring longText(5000, L'e');
    simcam_set_error(longText.c_str());
    simcam_fail_writes(1);
    gHIDWrapper.setExtended();
    std::string prefix = "  setExtended()  ... Write FAILED! Error reported was: ";
    std::string line = newTexts().back();
    EXPECT_EQ(line.size(), 1023u);
    EXPECT_EQ(line, prefix + std::string(1023 - prefix.size(), 'e'));
}

TEST_F(CameraTest, UnselectSendsTheReleaseReportAndClosesTheLog)
{
    for (simcam_model model : {SIMCAM_PANASONIC, SIMCAM_SOMIA}) {
        SCOPED_TRACE(model);
        simcam_reset();
        connect(model);
        gHIDWrapper.status = 0x13;
        queueStatus(0x17);
        EXPECT_EQ(unselect(), 0);
        EXPECT_EQ(writes(), std::vector<Bytes>{report(0x02, model == SIMCAM_SOMIA ? 14 : 2)});
        EXPECT_EQ(pausesMs(), std::vector<unsigned long>{1000});
        EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
        EXPECT_EQ(gHIDWrapper.status, 0);
        EXPECT_EQ(simcam_handles_open(), 0);
        EXPECT_EQ(fpLOGFILEUI, nullptr);
        EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
                                     "  getStatus()    #status bytes: 64",
                                     "  getStatus()    ... Status byte from camera= 0x17", "dev path= /dev/hidraw0",
                                     "  unselectHIDDevice()... HID_write", "  unselectHIDDevice()... hid_close_PM",
                                     "  unselectHIDDevice() end", "Close logfile."}));
        // A second release finds nothing and closes nothing.
        EXPECT_EQ(unselect(), 0);
        EXPECT_EQ(simcam_write_count(), 1u);
        char buf[256];
        LogFileUI::init(buf);
        mark();
    }
}

TEST_F(CameraTest, ReleaseGoesOnAfterAFailedWriteAndAThrowingClose)
{
    connect(SIMCAM_PANASONIC);
    simcam_fail_writes(1);
    simcam_close_throws(1);
    simcam_set_error(L"gone");
    EXPECT_EQ(Java_rizever_1client_1imaging_cam_HIDWrapperW_unselect(nullptr, nullptr), 0);
    EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
    EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
                                 "dev path= /dev/hidraw0", "  unselectHIDDevice()... HID_write",
                                 "  Write FAILED (Power Off)! Error reported was: gone",
                                 "  unselectHIDDevice()... hid_close_PM",
                                 "  FAILED to close hid_close/close_PM. Error reported was: gone",
                                 "  unselectHIDDevice() end", "Close logfile."}));
}

TEST_F(CameraTest, UnloadClosesWithoutAReport)
{
    connect(SIMCAM_SOMIA);
    EXPECT_EQ(Java_rizever_1client_1imaging_cam_HIDWrapperW_unloadHID(nullptr, nullptr), 0);
    EXPECT_EQ(simcam_write_count(), 0u);
    EXPECT_EQ(simcam_handles_open(), 0);
    EXPECT_EQ(pausesMs(), std::vector<unsigned long>{500});
    EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::unloadHID() entry", "  ... device unloaded", "Close logfile."}));

    char buf[256];
    LogFileUI::init(buf);
    mark();
    simcam_clear_records();
    EXPECT_EQ(Java_rizever_1client_1imaging_cam_HIDWrapperW_unloadHID(nullptr, nullptr), 0);
    EXPECT_EQ(pausesMs(), std::vector<unsigned long>{500});
    EXPECT_EQ(newTexts(), (Lines{"CHIDWrapperJ::unloadHID() entry", "  getStatus()   - device NOT connected!",
                                 "  ... device unloaded", "Close logfile."}));
}

TEST_F(CameraTest, ThrowingCloseInUnloadIsCaught)
{
    connect(SIMCAM_PANASONIC);
    simcam_close_throws(1);
    simcam_set_error(nullptr);
    EXPECT_EQ(gHIDWrapper.unloadHID(), 0);
    EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
    Lines t = newTexts();
    EXPECT_EQ(t[1], "  FAILED to close hid_close/close_PM. Error reported was: (null)");
}

TEST_F(CameraTest, AfterReleaseTheSameCameraOpensAgainWithoutInit)
{
    connect(SIMCAM_PANASONIC);
    EXPECT_EQ(unselect(), 0);
    size_t logged = rawLogLines().size();
    EXPECT_EQ(selectDevice(), 1);
    EXPECT_EQ(openDevice(), 1);
    EXPECT_NE(gHIDWrapper.hidDevice, nullptr);
    EXPECT_EQ(simcam_open_count(), 2);
    EXPECT_EQ(rawLogLines().size(), logged); // the log stays closed
}

} // namespace
