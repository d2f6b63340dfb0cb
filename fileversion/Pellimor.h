// The file version library: one JNI export that gives a file's four-part file version as text.
#pragma once

#include <jni.h>

#if defined(_WIN32)
#define PELLIMOR_EXPORT __attribute__((dllexport)) // mingw-w64
#else
#define PELLIMOR_EXPORT __attribute__((visibility("default")))
#endif

// Holds nothing; the host's side expects the class and its copy assignment among the exports.
class CPellimor {
public:
    // Copies nothing and returns *this.
    PELLIMOR_EXPORT CPellimor &operator=(const CPellimor &other);
};

extern "C" {

// Native method GetFileVersionInfoDLL of rizever_client_imaging.cam.RadidOdiDLLDlg.
// Returns a new string "a.b.c.d" of the file version of `path`, "0.0.0.0" when the file has no
// readable version or the path cannot be used; the second argument is ignored. Returns null only
// when there is no environment to make a string with (or NewStringUTF itself fails).
JNIEXPORT jstring JNICALL Java_rizever_1client_1imaging_cam_RadidOdiDLLDlg_GetFileVersionInfoDLL(JNIEnv *env,
                                                                                                 jobject self,
                                                                                                 jstring path,
                                                                                                 jint unused);
}
