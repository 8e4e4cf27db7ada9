// The ZYQapi object: IUnknown, the dual IZYQapi (which also answers for IDispatch) and
// IObjectSafety over an engine of its own, made with password bounds 1 and 16.
//
// Aggregation: created with an outer object, the object's own IUnknown (the one that creation
// hands out) counts references and answers QueryInterface for its interfaces, and the other
// interfaces forward their IUnknown methods to the outer object.
//
// Reference counting is atomic, although COM calls an apartment-threaded object on one thread
// only; the engine itself is not guarded, so method calls on one object must not overlap.
#pragma once

#include "api/com/ComInterfaces.h"

namespace zyq::com {

// Makes a new object (aggregated when outer is not null) and queries it for riid; when the
// query fails the object is destroyed and the query's error returned. *ppv is null on failure.
// CLASS_E_NOAGGREGATION when outer is given with any riid but IID_IUnknown; E_OUTOFMEMORY when
// the object cannot be made.
HRESULT CreateApiObject(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace zyq::com
