// The ZYQapi object: IUnknown, the dual IZYQapi (which also answers for IDispatch) and
// IObjectSafety over an engine of its own, made with password bounds 1 and 16.
//
// Aggregation: created with an outer object, the object's own IUnknown (the one that creation
// hands out, its non-delegating unknown) counts the inner object's references and answers
// QueryInterface for its interfaces; every other interface (IZYQapi, IDispatch, IObjectSafety)
// forwards QueryInterface, AddRef and Release to the outer object, and the references that the
// own QueryInterface hands out on them are the outer object's. Not aggregated, the object is
// its own controlling unknown.
//
// Threads: reference counting is atomic, and each object serializes the calls into its engine
// (through the vtable and through IDispatch::Invoke alike) on a recursive lock of its own, so a
// host may call one object from several threads and a modal dialog's message loop may re-enter
// it on the calling thread.
#pragma once

#include "api/com/ComInterfaces.h"

namespace zyq::com {

// Makes a new object (aggregated when outer is not null) and queries it for riid; when the
// query fails the object is destroyed and the query's error returned. *ppv is null on failure.
// CLASS_E_NOAGGREGATION when outer is given with any riid but IID_IUnknown; E_OUTOFMEMORY when
// the object cannot be made.
HRESULT CreateApiObject(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace zyq::com
