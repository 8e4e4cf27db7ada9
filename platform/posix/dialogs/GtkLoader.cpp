// The library's side of the GTK module (GtkModule.h): the module is loaded the first time a GTK
// host is asked for while a display is named, and stays loaded for the life of the process.
// It is looked for
//   1. at the path ZYQSEC_GTK_MODULE names, when that is set (and then only there);
//   2. beside the file this code was loaded from (the library, links resolved);
//   3. by its file name on the loader's search path.
// When none loads (the module or GTK is missing) or the module comes from another build, the
// process has no GTK host, as a build without GTK has none: the "gtk" setting then falls back
// as it does without a display.
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/posix/dialogs/GtkHost.h"
#include "platform/posix/dialogs/GtkModule.h"

namespace zyq::platform::posix {
namespace {

constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;

// A display GTK could open is named in the environment.
bool DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// The module's path in the folder of the file that holds this code, or "" when that file is
// not known.
std::string BesideThisObject() {
  static const char anchor = 0;
  Dl_info info{};
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return {};
  const std::unique_ptr<char, decltype(&std::free)> real(realpath(info.dli_fname, nullptr),
                                                         &std::free);
  if (!real) return {};
  const std::string path = real.get();
  return path.substr(0, path.rfind('/') + 1) + ZYQ_GTK_MODULE_FILE;
}

void* OpenModule() {
  if (const char* chosen = secure_getenv("ZYQSEC_GTK_MODULE")) return dlopen(chosen, kOpenFlags);
  const std::string beside = BesideThisObject();
  if (!beside.empty()) {
    if (void* handle = dlopen(beside.c_str(), kOpenFlags)) return handle;
  }
  return dlopen(ZYQ_GTK_MODULE_FILE, kOpenFlags);
}

// The module's table, or null. A module once loaded is never closed: GTK cannot be unloaded.
const GtkModule* LoadedModule() {
  static const GtkModule* const module = []() -> const GtkModule* {
    void* handle = OpenModule();
    if (handle == nullptr) return nullptr;
    auto* entry = reinterpret_cast<GtkModuleEntry*>(dlsym(handle, kGtkModuleEntryName));
    const GtkModule* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr || table->version != kGtkModuleVersion ||
        table->size != sizeof(GtkModule)) {
      return nullptr;
    }
    return table;
  }();
  return module;
}

}  // namespace

std::unique_ptr<DialogHost> TryCreateGtkHost() {
  // Without a display GTK could not open a window: the toolkit is not even loaded.
  if (!DisplayNamed()) return nullptr;
  const GtkModule* module = LoadedModule();
  return module != nullptr ? module->createHost() : nullptr;
}

void SetGtkWindowObserverForTesting(WindowObserver observer) {
  if (const GtkModule* module = LoadedModule()) module->setWindowObserver(std::move(observer));
}

bool GtkDisplayAvailable() {
  if (!DisplayNamed()) return false;
  const GtkModule* module = LoadedModule();
  return module != nullptr && module->displayAvailable();
}

}  // namespace zyq::platform::posix
