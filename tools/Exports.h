// The camera library's exports that the tool calls: the plain ones from Nembrel.h, and the
// JNI-only ones (freeze, unfreeze, save, unloadHID), which ignore their JNI arguments and so
// may be called with null ones.
#pragma once

#include <jni.h>

#include "Nembrel.h"

#define NEMBREL_JNI(name) Java_rizever_1client_1imaging_cam_HIDWrapperW_##name

extern "C" {
JNIEXPORT jlong JNICALL NEMBREL_JNI(freeze)(JNIEnv *, jobject);
JNIEXPORT jlong JNICALL NEMBREL_JNI(unfreeze)(JNIEnv *, jobject);
JNIEXPORT jlong JNICALL NEMBREL_JNI(save)(JNIEnv *, jobject);
JNIEXPORT jlong JNICALL NEMBREL_JNI(unloadHID)(JNIEnv *, jobject);
}

inline int cameraFreeze() { return static_cast<int>(NEMBREL_JNI(freeze)(nullptr, nullptr)); }
inline int cameraUnfreeze() { return static_cast<int>(NEMBREL_JNI(unfreeze)(nullptr, nullptr)); }
inline int cameraSave() { return static_cast<int>(NEMBREL_JNI(save)(nullptr, nullptr)); }
inline int cameraUnload() { return static_cast<int>(NEMBREL_JNI(unloadHID)(nullptr, nullptr)); }
