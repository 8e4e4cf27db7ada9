/* The machine-dependent part of the JNI headers for Windows (the JDK's jni.h includes it):
 * natives use __stdcall, as the Windows JVMs call them; which of them the DLL exports is
 * decided by its .def file, so JNIEXPORT adds nothing. */
#ifndef ZYQ_WIN32_JNI_MD_H
#define ZYQ_WIN32_JNI_MD_H

#define JNIEXPORT
#define JNIIMPORT
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
