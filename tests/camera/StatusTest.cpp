// The status byte: reading reports off the queue, what is stored, what is logged.
#include "CameraFixture.h"

namespace {

const std::string kCount = "  getStatus()    #status bytes: ";
const std::string kByte = "  getStatus()    ... Status byte from camera= 0x";

TEST_F(CameraTest, StatusWithoutDeviceIsNotConnected)
{
    gHIDWrapper.status = 0x13;
    EXPECT_EQ(gHIDWrapper.getStatus(), -1);
    EXPECT_EQ(newTexts(), std::vector<std::string>{"  getStatus()   - device NOT connected!"});
    EXPECT_EQ(gHIDWrapper.status, 0x13);
}

struct ReportCase {
    const char *name;
    simcam_model model;
    std::vector<Bytes> queued;
    std::vector<int> results; // one getStatus per entry
    short stored;
    std::vector<std::string> lines;
};

void PrintTo(const ReportCase &c, std::ostream *os) { *os << c.name; }


class StatusTable : public CameraTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(StatusTable, ReadsOneReportPerCall)
{
    const ReportCase &c = GetParam();
    connect(c.model);
    gHIDWrapper.status = 0x77;
    for (const Bytes &b : c.queued) {
        simcam_queue_report(b.data(), b.size());
    }
    for (int expected : c.results) {
        EXPECT_EQ(gHIDWrapper.getStatus(), expected);
    }
    EXPECT_EQ(gHIDWrapper.status, c.stored);
    EXPECT_EQ(newTexts(), c.lines);
}

Bytes bytes(std::initializer_list<unsigned char> head, size_t length)
{
    Bytes b(length, 0xEE);
    std::copy(head.begin(), head.end(), b.begin());
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Reports, StatusTable,
    ::testing::Values(
        ReportCase{"NothingQueued", SIMCAM_PANASONIC, {}, {-1}, 0x77, {}},
        ReportCase{"OneByte", SIMCAM_PANASONIC, {{0x13}}, {19}, 0x13, {kCount + "1", kByte + "13"}},
        ReportCase{"SixtyFourBytes", SIMCAM_PANASONIC, {bytes({0x11}, 64)}, {17}, 0x11,
                   {kCount + "64", kByte + "11"}},
        ReportCase{"ZeroIsAStatus", SIMCAM_PANASONIC, {bytes({0x00}, 8)}, {0}, 0, {kCount + "8", kByte + "00"}},
        ReportCase{"HighByte", SIMCAM_PANASONIC, {{0xF5}}, {245}, 0xF5, {kCount + "1", kByte + "f5"}},
        ReportCase{"SevenBytesFromPanasonic", SIMCAM_PANASONIC, {bytes({0x03}, 7)}, {3}, 0x03,
                   {kCount + "7", kByte + "03"}},
        ReportCase{"SevenBytesFromSomiaSkipped", SIMCAM_SOMIA, {bytes({0x03}, 7), bytes({0x01}, 16)}, {-1, 1},
                   0x01, {kCount + "16", kByte + "01"}},
        ReportCase{"SomiaOtherLengths", SIMCAM_SOMIA, {bytes({0x05}, 6), bytes({0x07}, 8)}, {5, 7}, 0x07,
                   {kCount + "6", kByte + "05", kCount + "8", kByte + "07"}},
        ReportCase{"BacklogOldestFirst", SIMCAM_PANASONIC, {{0x11}, {0x01}}, {17, 1, -1}, 0x01,
                   {kCount + "1", kByte + "11", kCount + "1", kByte + "01"}},
        ReportCase{"LongerThanTheBuffer", SIMCAM_PANASONIC, {bytes({0x09}, 256)}, {9}, 0x09,
                   {kCount + "256", kByte + "09"}}),
    [](const auto &p) { return std::string(p.param.name); });

TEST_F(CameraTest, FailedReadChangesNothing)
{
    connect(SIMCAM_PANASONIC);
    gHIDWrapper.status = 0x13;
    queueStatus(0x01);
    simcam_fail_reads(1);
    EXPECT_EQ(gHIDWrapper.getStatus(), -1);
    EXPECT_EQ(gHIDWrapper.status, 0x13);
    EXPECT_TRUE(newTexts().empty());
    EXPECT_EQ(gHIDWrapper.getStatus(), 1); // the report is still there for the next read
}

TEST_F(CameraTest, AccessorsDecodeTheirArgumentOnly)
{
    CHIDWrapperJ &w = gHIDWrapper;
    w.status = 0xFF;
    struct {
        short s;
        bool power, extended, zoom, freezed, light;
    } cases[] = {
        {0x13, true, true, false, false, true},
        {0x0F, true, true, true, true, false},
        {0xEF, true, true, true, true, false},
        {0x10, false, false, false, false, true},
        {0x110, false, false, false, false, true},
        {0, false, false, false, false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(w.statusPower(c.s), c.power) << c.s;
        EXPECT_EQ(w.statusExtended(c.s), c.extended) << c.s;
        EXPECT_EQ(w.statusZoom(c.s), c.zoom) << c.s;
        EXPECT_EQ(w.statusFreezed(c.s), c.freezed) << c.s;
        mark();
        EXPECT_EQ(w.statusLight(c.s), c.light) << c.s;
        EXPECT_EQ(newTexts(), std::vector<std::string>{c.light ? "  statusLight()  ... Light is ON"
                                                                 : "  statusLight()  ... Light is OFF"});
    }
    w.status = 0x55;
    EXPECT_EQ(w.resetStatus(), 1);
    EXPECT_EQ(w.status, 0);
    EXPECT_TRUE(newTexts().empty());
    EXPECT_EQ(simcam_write_count(), 0u);
}

} // namespace
