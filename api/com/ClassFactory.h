// The class object of ZYQapi, an IClassFactory. It is made once, on the first request, and kept
// until the library is unloaded; while it is referenced from outside it keeps the server locked.
//
// CreateInstance makes ZYQapi objects (see ApiObject.h). LockServer(TRUE) locks the server,
// LockServer(FALSE) undoes one such lock; an unlock without a lock is refused with
// E_UNEXPECTED, so that a client's extra unlock cannot let the library go while it is in use.
#pragma once

#include "api/com/ComInterfaces.h"

namespace zyq::com {

// The class object (no reference added).
IClassFactory* ApiClassFactory();

}  // namespace zyq::com
