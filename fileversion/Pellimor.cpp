// The export, its path narrowing and the four-part version query.
#include "Pellimor.h"

#include <cstdint>
#include <cstdio>

#include "FileVersionQuery.h"
#include "PellimorInternal.h"

CPellimor &CPellimor::operator=(const CPellimor &)
{
    return *this;
}

bool narrowPath(const jchar *chars, jsize length, char (&out)[kPathBufferSize])
{
    out[0] = '\0';
    if (chars == nullptr || length <= 0 || static_cast<std::size_t>(length) >= kPathBufferSize) {
        return false;
    }
    for (jsize i = 0; i < length; ++i) {
        const jchar unit = chars[i];
        if (unit == 0 || unit > 0x00FF) {
            out[0] = '\0';
            return false;
        }
        out[i] = static_cast<char>(static_cast<unsigned char>(unit));
    }
    out[length] = '\0';
    return true;
}

int GetFileVersionParts(const char *path, unsigned *part1, unsigned *part2, unsigned *part3, unsigned *part4)
{
    if (path == nullptr || part1 == nullptr || part2 == nullptr || part3 == nullptr || part4 == nullptr) {
        return 0;
    }
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
    if (!queryFileVersion(path, &ms, &ls)) {
        return 0;
    }
    *part1 = ms >> 16;
    *part2 = ms & 0xFFFFu;
    *part3 = ls >> 16;
    *part4 = ls & 0xFFFFu;
    return 1;
}

extern "C" JNIEXPORT jstring JNICALL
Java_rizever_1client_1imaging_cam_RadidOdiDLLDlg_GetFileVersionInfoDLL(JNIEnv *env, jobject, jstring path, jint)
{
    if (env == nullptr || env->functions == nullptr) {
        return nullptr; // without an environment no string can be made
    }
    unsigned parts[4] = {0, 0, 0, 0};
    char narrow[kPathBufferSize];
    char result[kResultBufferSize];

    // A null path would crash the JVM inside GetStringChars; it simply has no version.
    if (path != nullptr) {
        // The characters are not terminated: only GetStringLength of them may be read.
        const jsize length = env->GetStringLength(path);
        const jchar *chars = env->GetStringChars(path, nullptr);
        if (chars != nullptr) {
            if (narrowPath(chars, length, narrow)) {
                GetFileVersionParts(narrow, &parts[0], &parts[1], &parts[2], &parts[3]);
            }
            env->ReleaseStringChars(path, chars);
        }
    }
    std::snprintf(result, sizeof result, "%d.%d.%d.%d", static_cast<int>(parts[0] & 0xFFFFu),
                  static_cast<int>(parts[1] & 0xFFFFu), static_cast<int>(parts[2] & 0xFFFFu),
                  static_cast<int>(parts[3] & 0xFFFFu));
    return env->NewStringUTF(result);
}
