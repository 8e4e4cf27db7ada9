/* A C client of the COM interfaces: the C view of ZYQapi.h (lpVtbl structures and the
 * COBJMACROS call macros) against the same library, to show that both views reach the same
 * vtable slots. */
#define COBJMACROS
#include <string.h>

#include "ZYQapi.h"
#include "tests/com/ComCView.h"

static int same_text(BSTR text, const char16_t* expected) {
  size_t i = 0;
  if (text == NULL) return 0;
  for (; expected[i] != 0; ++i) {
    if (text[i] != expected[i]) return 0;
  }
  return text[i] == 0;
}

const char* zyq_c_view_check(IClassFactory* factory, void (*sys_free_string)(BSTR)) {
  IZYQapi* api = NULL;
  IDispatch* dispatch = NULL;
  BSTR version = NULL;
  LONG code = -1;
  LONG preset = -1;
  const char* failure = NULL;

  if (factory->lpVtbl->CreateInstance(factory, NULL, &IID_IZYQapi, (void**)&api) != S_OK) {
    return "CreateInstance through the C view failed";
  }
  if (IZYQapi_GetVersion(api, &version) != S_OK || !same_text(version, u"4.0.1.2")) {
    failure = "GetVersion through the C view";
  } else if (api->lpVtbl->PresetPasswdLengthRange(api, 20, 5, &preset) != S_OK || preset != 0) {
    failure = "PresetPasswdLengthRange through the C view";
  } else if (IZYQapi_GetErrorCode(api, &code) != S_OK || code != 0) {
    failure = "GetErrorCode through the C view";
  } else if (IZYQapi_QueryInterface(api, &IID_IDispatch, (void**)&dispatch) != S_OK ||
             (void*)dispatch != (void*)api) {
    failure = "IDispatch is not the IZYQapi pointer in the C view";
  }
  sys_free_string(version);
  if (dispatch != NULL) dispatch->lpVtbl->Release(dispatch);
  if (IZYQapi_Release(api) != 0 && failure == NULL) failure = "a reference was left";
  return failure;
}
