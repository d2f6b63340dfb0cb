/* Machine-dependent JNI types for Windows builds (mingw-w64), used together with the JDK's
   platform-independent jni.h from a Linux JDK. Written for this project. */
#ifndef PELLIMOR_WIN_JNI_MD_H
#define PELLIMOR_WIN_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

/* jint is 32 bits on both Windows data models; long is 32 bits there (LLP64). */
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
