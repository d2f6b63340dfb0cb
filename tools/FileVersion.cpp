#include "FileVersion.h"

#include <jni.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "ExitCodes.h"
#include "Pellimor.h"

size_t utf8ToUtf16(const char *utf8, unsigned short *out, size_t n)
{
    const unsigned char *s = reinterpret_cast<const unsigned char *>(utf8);
    size_t used = 0;
    while (*s != 0 && used < n) {
        unsigned c = *s;
        unsigned cp = 0xFFFD;
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra == 0) {
            cp = c;
            ++s;
        } else if (extra < 0) {
            ++s;
        } else {
            unsigned v = c & (0x3Fu >> extra);
            int i = 1;
            for (; i <= extra; ++i) {
                if ((s[i] & 0xC0) != 0x80) {
                    break;
                }
                v = (v << 6) | (s[i] & 0x3Fu);
            }
            if (i > extra) {
                static const unsigned kMin[] = {0, 0x80, 0x800, 0x10000};
                bool ok = v >= kMin[extra] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF);
                cp = ok ? v : 0xFFFD;
                s += i;
            } else {
                s += i;  // stop at the byte that broke the sequence
            }
        }
        if (cp >= 0x10000) {
            if (used + 2 > n) {
                break;
            }
            cp -= 0x10000;
            out[used++] = static_cast<unsigned short>(0xD800 + (cp >> 10));
            out[used++] = static_cast<unsigned short>(0xDC00 + (cp & 0x3FF));
        } else {
            out[used++] = static_cast<unsigned short>(cp);
        }
    }
    return used;
}

namespace {

// Just what the export uses of a JNI environment; every other slot stays null.
struct MiniJni {
    static constexpr size_t kMaxUnits = 4096;
    JNINativeInterface_ table;
    JNIEnv env;
    jchar units[kMaxUnits];
    jsize length = 0;
    char result[64];
    bool made = false;

    static MiniJni *self(JNIEnv *e) { return reinterpret_cast<MiniJni *>(reinterpret_cast<char *>(e) - offsetof(MiniJni, env)); }
    static jsize JNICALL getStringLength(JNIEnv *e, jstring) { return self(e)->length; }
    static const jchar *JNICALL getStringChars(JNIEnv *e, jstring, jboolean *isCopy)
    {
        if (isCopy != nullptr) {
            *isCopy = JNI_FALSE;
        }
        return self(e)->units;
    }
    static void JNICALL releaseStringChars(JNIEnv *, jstring, const jchar *) {}
    static jstring JNICALL newStringUTF(JNIEnv *e, const char *utf)
    {
        MiniJni *me = self(e);
        std::snprintf(me->result, sizeof me->result, "%s", utf != nullptr ? utf : "");
        me->made = true;
        return reinterpret_cast<jstring>(me->result);
    }
};

} // namespace

bool fileVersion(const char *path, char *out, size_t n)
{
    static MiniJni jni;  // large; one call at a time in this tool
    std::memset(&jni.table, 0, sizeof jni.table);
    jni.table.GetStringLength = &MiniJni::getStringLength;
    jni.table.GetStringChars = &MiniJni::getStringChars;
    jni.table.ReleaseStringChars = &MiniJni::releaseStringChars;
    jni.table.NewStringUTF = &MiniJni::newStringUTF;
    jni.env.functions = &jni.table;
    jni.made = false;
    jni.length = static_cast<jsize>(utf8ToUtf16(path, jni.units, MiniJni::kMaxUnits));
    // The string handle is only handed back to our own functions.
    jstring s = reinterpret_cast<jstring>(jni.units);
    jstring r = Java_rizever_1client_1imaging_cam_RadidOdiDLLDlg_GetFileVersionInfoDLL(&jni.env, nullptr, s, 0);
    if (r == nullptr || !jni.made || n == 0) {
        return false;
    }
    std::snprintf(out, n, "%s", jni.result);
    return true;
}

int printFileVersion(const char *path)
{
    char version[64];
    if (!fileVersion(path, version, sizeof version)) {
        std::fprintf(stderr, "nembrel-camera: the version library gave no answer for %s\n", path);
        return kExitFailed;
    }
    std::printf("%s\n", version);
    if (std::strcmp(version, "0.0.0.0") != 0) {
        return kExitOk;
    }
    struct stat st;
    if (stat(path, &st) != 0) {
        std::fprintf(stderr, "nembrel-camera: %s: no such file\n", path);
    } else {
        std::fprintf(stderr, "nembrel-camera: %s holds no readable version information "
                             "(or its path is longer than 255 characters or not Latin-1)\n", path);
    }
    return kExitFailed;
}
