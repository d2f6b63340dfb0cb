// Shared set-up for the camera tests: a fresh log in a directory of the test's own, a fresh
// simulated camera and a controller put back into its just-loaded state.
#ifndef TESTS_CAMERA_FIXTURE_H
#define TESTS_CAMERA_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CHIDWrapperJ.h"
#include "LogFileUI.h"
#include "SimCamera.h"

#include <jni.h>

// The JNI exports, called here without a JVM: all but getSerialNumber ignore their arguments.
#define NEMBREL_JNI(name) Java_rizever_1client_1imaging_cam_HIDWrapperW_##name
extern "C" {
jlong NEMBREL_JNI(init)(JNIEnv *, jobject);
jlong NEMBREL_JNI(selectDevice)(JNIEnv *, jobject);
jlong NEMBREL_JNI(openDevice)(JNIEnv *, jobject);
jlong NEMBREL_JNI(setExtended)(JNIEnv *, jobject);
jlong NEMBREL_JNI(unselect)(JNIEnv *, jobject);
jlong NEMBREL_JNI(unloadHID)(JNIEnv *, jobject);
jlong NEMBREL_JNI(getStatus)(JNIEnv *, jobject);
jlong NEMBREL_JNI(resume)(JNIEnv *, jobject);
jlong NEMBREL_JNI(toggleLight)(JNIEnv *, jobject);
jlong NEMBREL_JNI(toggleZoom)(JNIEnv *, jobject);
jlong NEMBREL_JNI(freeze)(JNIEnv *, jobject);
jlong NEMBREL_JNI(unfreeze)(JNIEnv *, jobject);
jlong NEMBREL_JNI(save)(JNIEnv *, jobject);
}

// One report as written: report ID included.
using Bytes = std::vector<unsigned char>;

// The report 0x00, cmd, zeros..., `length` bytes long.
Bytes report(unsigned char cmd, size_t length = 2);
std::vector<Bytes> writes();
std::vector<unsigned long> pausesMs();

// The log file's lines, raw, and their texts with the time stamp taken off. A line that
// carries no time stamp (the rest of a text holding a line feed) is given as it stands.
std::vector<std::string> rawLogLines(const std::string &path = "HIDWrapperJ.log");
std::vector<std::string> logTexts(const std::string &path = "HIDWrapperJ.log");
// The texts logged since the last mark.
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &content);

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Texts logged since SetUp or the last call of mark().
    std::vector<std::string> newTexts();
    void mark();

    // A discovered camera of the model, selected and (optionally) opened; records cleared.
    void discover(simcam_model model);
    void connect(simcam_model model);
    void queueStatus(unsigned char s, size_t length = 64);

    std::string dir_;
    std::string oldCwd_;
    size_t mark_ = 0;
};

#endif
