// The flat exports: one C function per operation of the table, each calling the engine method
// on the process-wide engine while it holds the engine's call lock, so that calls from several
// threads (and the Java natives, which come through here) run one after another. Text arguments are
// copied into new BSTRs that the engine method owns; text results are handed to the caller, who
// frees them with SysFreeString.
#define ZYQ_BUILDING_LIBRARY 1
#include "ZYQSecuritiesATL.h"
#include "api/OperationTable.h"
#include "engine/SecurityEngine.h"

namespace {

using zyq::SecurityEngine;
using zyq::platform::Bstr;

// Constructs the process-wide engine while the library is being loaded, before any export can
// be called.
[[gnu::constructor]] void ConstructProcessEngine() {
  (void)SecurityEngine::ProcessEngine();
}

}  // namespace

#define ZYQ_FLAT_RESULT_TEXT BSTR
#define ZYQ_FLAT_RESULT_INT int32_t
#define ZYQ_FLAT_RETURN_TEXT(call) (call).Release()
#define ZYQ_FLAT_RETURN_INT(call) (call)
#define ZYQ_FLAT_PARAM_TEXT(name) const char16_t* name
#define ZYQ_FLAT_PARAM_INT(name) int32_t name
#define ZYQ_FLAT_CALL_TEXT(name) Bstr::FromWide(name)
#define ZYQ_FLAT_CALL_INT(name) name
#define ZYQ_FLAT_PARAM(arg) ZYQ_ARG_KIND(ZYQ_FLAT_PARAM_, arg)
#define ZYQ_FLAT_CALL(arg) ZYQ_ARG_KIND(ZYQ_FLAT_CALL_, arg)

#define ZYQ_DEFINE_FLAT_EXPORT(order, dispid, Name, Flat, Result, ...)                      \
  extern "C" ZYQ_API ZYQ_FLAT_RESULT_##Result ZYQ_CALL Flat(                                \
      ZYQ_MAP_ARGS(ZYQ_FLAT_PARAM, __VA_ARGS__)) {                                          \
    SecurityEngine& engine = SecurityEngine::ProcessEngine();                               \
    const auto lock = engine.LockForCall();                                                 \
    return ZYQ_FLAT_RETURN_##Result(engine.Name(ZYQ_MAP_ARGS(ZYQ_FLAT_CALL, __VA_ARGS__))); \
  }

ZYQ_FOR_EACH_OPERATION(ZYQ_DEFINE_FLAT_EXPORT)
