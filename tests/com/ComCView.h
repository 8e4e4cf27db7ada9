/* The C client of ComCView.c, callable from the C++ tests. */
#ifndef ZYQ_TESTS_COM_CVIEW_H
#define ZYQ_TESTS_COM_CVIEW_H

#include "ZYQapi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Creates an object through factory and calls it through the C view; null when every check
 * held, else what failed. */
const char* zyq_c_view_check(IClassFactory* factory, void (*sys_free_string)(BSTR));

#ifdef __cplusplus
}
#endif

#endif
