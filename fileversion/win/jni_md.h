/* Machine-dependent JNI types for Windows builds with mingw-w64 (GCC attributes), used with
   the platform-independent jni.h of a Linux JDK. Written for this project. */
#ifndef PELLIMOR_WIN_JNI_MD_H
#define PELLIMOR_WIN_JNI_MD_H

#define JNIEXPORT __attribute__((dllexport))
#define JNIIMPORT __attribute__((dllimport))
#define JNICALL __stdcall

/* jint is 32 bits on both Windows data models; long is 32 bits there (LLP64). */
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
