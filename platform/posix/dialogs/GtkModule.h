// The seam between the library and its GTK module. The GTK host, and with it GTK and the
// libraries GTK needs (GDK, GLib, Pango, Cairo, X), lives in a module of its own,
// libZYQSecuritiesATL-gtk.so.<major>, installed beside the library. The library loads it with
// dlopen when the first GTK dialog is about to be shown (GtkLoader.cpp), so a process that
// never shows a window never maps the toolkit, and the library loads where GTK is missing.
//
// The module exports one C function, kGtkModuleEntryName, which returns the table below. Both
// sides come from the same build; the table carries that build's version and its own size, and
// the library uses no module that differs in either.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/DialogHost.h"
#include "platform/posix/VersionRecord.h"
#include "platform/posix/dialogs/GtkAutomation.h"

namespace zyq::platform::posix {

inline constexpr unsigned kGtkModuleVersion =
    (ZYQ_FILE_VERSION_MAJOR << 24) | (ZYQ_FILE_VERSION_MINOR << 16) |
    (ZYQ_FILE_VERSION_PATCH << 8) | ZYQ_FILE_VERSION_TWEAK;

struct GtkModule {
  unsigned version = 0;  // kGtkModuleVersion of the module's build
  size_t size = 0;       // sizeof(GtkModule) in the module's build
  // The GTK host, or null when no display can be opened.
  std::unique_ptr<DialogHost> (*createHost)() = nullptr;
  // SetGtkWindowObserverForTesting and GtkDisplayAvailable of GtkAutomation.h.
  void (*setWindowObserver)(WindowObserver observer) = nullptr;
  bool (*displayAvailable)() = nullptr;
};

inline constexpr char kGtkModuleEntryName[] = "ZyqGtkModule";
using GtkModuleEntry = const GtkModule*();

}  // namespace zyq::platform::posix
