// The COM types and interfaces of the public header, in the C view (structures with an lpVtbl
// pointer), which is how the library implements them: each interface pointer it hands out
// points at a structure whose first member is the vtable pointer of that interface.
#pragma once

#include <string>

#ifndef CINTERFACE
#define CINTERFACE 1
#endif
#include "ZYQapi.h"

namespace zyq::com {

inline bool SameGuid(const GUID& a, const GUID& b) {
  return IsEqualGUID(&a, &b) != 0;
}

// Writes the GUID in registry form: "{F470A651-408B-4BFC-96A8-FEAFAC8A4687}".
std::string GuidText(const GUID& guid);

}  // namespace zyq::com
