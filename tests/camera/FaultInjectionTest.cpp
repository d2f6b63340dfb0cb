// The host's whole session with a fault injected at each step in turn: a camera unplugged, a
// write failing, reads or opens failing, a close that throws. Whatever happens, no crash, no
// hang, the results the host relies on, and a camera that works again once it is back.
#include "CameraFixture.h"

#include <climits>
#include <functional>

#include "Nembrel.h"

namespace {

constexpr int kAny = INT_MIN; // a status byte: whatever the camera reported

struct Step {
    const char *name;
    std::function<int()> call;
};

const std::vector<Step> &session()
{
    static const std::vector<Step> steps = {
        {"init", [] { return init(); }},
        {"selectDevice", [] { return selectDevice(); }},
        {"openDevice", [] { return openDevice(); }},
        {"toggleLight", [] { return toggleLight(); }},
        {"toggleZoom", [] { return toggleZoom(); }},
        {"freeze", [] { return static_cast<int>(NEMBREL_JNI(freeze)(nullptr, nullptr)); }},
        {"unfreeze", [] { return static_cast<int>(NEMBREL_JNI(unfreeze)(nullptr, nullptr)); }},
        {"save", [] { return static_cast<int>(NEMBREL_JNI(save)(nullptr, nullptr)); }},
        {"resume", [] { return resume(); }},
        {"getStatus", [] { return getStatus(); }},
        {"unselect", [] { return unselect(); }},
    };
    return steps;
}

const std::vector<int> kNormal = {2, 1, 1, 2, 2, 0, 0, 0, 1, kAny, 0};
const std::vector<int> kNoCamera = {-1, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0};
// With the camera gone but its handle still open: writes fail, reads fail.
const std::vector<int> kGoneWhileOpen = {2, 1, 1, 0, 0, 1, 1, 1, 1, -1, 0};

class FaultTest : public CameraTest {
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        simcam_add_device(0x046D, 0xC52B, 1, L"Logitech", nullptr);
        simcam_add_camera(SIMCAM_PANASONIC, 0xFF00);
    }

    // Runs the session, calling inject before step `at`; returns every step's result.
    std::vector<int> run(size_t at, const std::function<void()> &inject)
    {
        std::vector<int> results;
        for (size_t i = 0; i < session().size(); ++i) {
            if (i == at) {
                inject();
            }
            results.push_back(session()[i].call());
        }
        return results;
    }

    void expectResults(const std::vector<int> &got, const std::vector<int> &expected, size_t at)
    {
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            if (expected[i] == kAny) {
                EXPECT_GE(got[i], 0) << session()[i].name << " (fault before " << session()[at].name << ")";
            } else {
                EXPECT_EQ(got[i], expected[i]) << session()[i].name << " (fault before " << session()[at].name << ")";
            }
        }
    }

    // After the fault is gone, the camera selects and opens again (a discovery first if the
    // last one could not find it).
    void expectUsableAgain()
    {
        simcam_unplug_before_call(0);
        simcam_plug();
        simcam_fail_writes(0);
        simcam_fail_reads(0);
        simcam_fail_opens(0);
        simcam_close_throws(0);
        EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
        if (gHIDWrapper.selDevice == nullptr) {
            EXPECT_EQ(init(), 2);
        }
        EXPECT_EQ(selectDevice(), 1);
        EXPECT_EQ(openDevice(), 1);
        EXPECT_EQ(toggleLight(), 2);
        EXPECT_EQ(unselect(), 0);
        EXPECT_EQ(simcam_handles_open(), 0);
    }
};

TEST_F(FaultTest, CameraUnpluggedBeforeEachStep)
{
    for (size_t at = 0; at < session().size(); ++at) {
        SCOPED_TRACE(session()[at].name);
        SetUp();
        std::vector<int> expected = kGoneWhileOpen;
        if (at <= 2) {
            // Unplugged before it was open (or while opening: the reopen fails): no camera.
            expected = kNoCamera;
            if (at >= 1) {
                expected[0] = 2;
            }
        }
        std::copy(kNormal.begin(), kNormal.begin() + static_cast<long>(at), expected.begin());
        expectResults(run(at, [] { simcam_unplug(); }), expected, at);
        expectUsableAgain();
        TearDown();
    }
}

TEST_F(FaultTest, EachWriteFailingInTurn)
{
    // The step's result when its (first) write fails; the other steps go on as usual.
    struct {
        size_t at;
        int result;
    } cases[] = {{2, 1}, {3, 0}, {4, 0}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {10, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(session()[c.at].name);
        SetUp();
        std::vector<int> expected = kNormal;
        expected[c.at] = c.result;
        expectResults(run(c.at, [] { simcam_fail_writes(1); }), expected, c.at);
        if (c.at == 2) {
            // The failed power-on write was followed by a close, 2 s, a reopen and 2 s.
            std::vector<unsigned long> p = pausesMs();
            ASSERT_GE(p.size(), 2u);
            EXPECT_EQ(p[0], 2000u);
            EXPECT_EQ(p[1], 2000u);
            EXPECT_EQ(simcam_open_count(), 2);
        }
        expectUsableAgain();
        TearDown();
    }
}

TEST_F(FaultTest, ReadsOpensAndClosesFailing)
{
    struct {
        const char *name;
        std::function<void()> inject;
        std::vector<int> expected;
    } cases[] = {
        {"reads", [] { simcam_fail_reads(-1); }, {2, 1, 1, 2, 2, 0, 0, 0, 1, -1, 0}},
        {"opens", [] { simcam_fail_opens(-1); }, {2, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0}},
        {"close throws", [] { simcam_close_throws(-1); }, kNormal},
        {"enumeration", [] { simcam_fail_enumerate(1); }, {0, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        expectResults(run(0, c.inject), c.expected, 0);
        EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
        simcam_fail_enumerate(0);
        expectUsableAgain();
        TearDown();
    }
}

// Finer grain: the camera vanishes right before the n-th HID call of the session, wherever
// that falls (inside the power-on retries, the drain loop, between a write and its read).
TEST_F(FaultTest, CameraUnpluggedBeforeEveryHidCall)
{
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        SetUp();
        simcam_unplug_before_call(n);
        std::vector<int> got = run(session().size(), [] {});
        if (!simcam_unplugged()) {
            EXPECT_GT(n, 20); // the session makes at least this many HID calls
            TearDown();
            break;
        }
        EXPECT_EQ(got.back(), 0);                   // the release always gives 0
        EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);  // and leaves no handle behind
        EXPECT_EQ(simcam_handles_open(), 0);
        EXPECT_EQ(logTexts().back(), "Close logfile.");
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_GE(got[i], -1) << session()[i].name;
            EXPECT_LE(got[i], session()[i].name == std::string("init") ? 2 : 255) << session()[i].name;
        }
        expectUsableAgain();
        TearDown();
    }
}

} // namespace
