// The Java natives of com.ZYQ.ZYQSecATL: one per operation of the table, each forwarding to the
// flat export of the same operation (see NativeBinding.h for the argument and result rules).
// JNI derives the names: Java_com_ZYQ_ZYQSecATL_<method>. The receiving object is not used.
#include <jni.h>

#include "ZYQSecuritiesATL.h"
#include "api/OperationTable.h"
#include "api/jni/NativeBinding.h"

// The flat exports, declared from the table so that every row has its native.
#define ZYQ_JNI_FLAT_RESULT_TEXT BSTR
#define ZYQ_JNI_FLAT_RESULT_INT int32_t
#define ZYQ_JNI_FLAT_PARAM_TEXT(name) const char16_t* name
#define ZYQ_JNI_FLAT_PARAM_INT(name) int32_t name
#define ZYQ_JNI_FLAT_PARAM(arg) ZYQ_ARG_KIND(ZYQ_JNI_FLAT_PARAM_, arg)
#define ZYQ_JNI_DECLARE_FLAT(order, dispid, Name, Flat, Result, ...) \
  extern "C" ZYQ_JNI_FLAT_RESULT_##Result ZYQ_CALL Flat(             \
      ZYQ_MAP_ARGS(ZYQ_JNI_FLAT_PARAM, __VA_ARGS__));
ZYQ_FOR_EACH_OPERATION(ZYQ_JNI_DECLARE_FLAT)

#define ZYQ_JNI_RESULT_TEXT jstring
#define ZYQ_JNI_RESULT_INT jint
#define ZYQ_JNI_PARAM_TEXT(name) jstring name
#define ZYQ_JNI_PARAM_INT(name) jint name
#define ZYQ_JNI_PARAM(arg) ZYQ_ARG_KIND(ZYQ_JNI_PARAM_, arg)
#define ZYQ_JNI_NAME_TEXT(name) name
#define ZYQ_JNI_NAME_INT(name) name
#define ZYQ_JNI_NAME(arg) ZYQ_ARG_KIND(ZYQ_JNI_NAME_, arg)

#define ZYQ_JNI_DEFINE_NATIVE(order, dispid, Name, Flat, Result, ...)                           \
  extern "C" JNIEXPORT ZYQ_JNI_RESULT_##Result JNICALL Java_com_ZYQ_ZYQSecATL_##Name(           \
      JNIEnv* env, jobject __VA_OPT__(, ) ZYQ_MAP_ARGS(ZYQ_JNI_PARAM, __VA_ARGS__)) {           \
    return zyq::jni::NativeBinding<&::Flat>::Call(env __VA_OPT__(, )                            \
                                                      ZYQ_MAP_ARGS(ZYQ_JNI_NAME, __VA_ARGS__)); \
  }
ZYQ_FOR_EACH_OPERATION(ZYQ_JNI_DEFINE_NATIVE)
