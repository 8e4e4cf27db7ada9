#include "platform/posix/secrets/SecretServiceClient.h"

#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <string>

#if defined(ZYQ_HAVE_LIBSECRET)
#include <dlfcn.h>
#include <libsecret/secret.h>
#endif

namespace zyq::platform::posix {

#if defined(ZYQ_HAVE_LIBSECRET)
namespace {

constexpr const char* kLibrary = "libsecret-1.so.0";
constexpr const char* kLabel = "ZYQSecurities master key";
constexpr const char* kPurpose = "private-keys";

const SecretSchema kSchema = {"com.ZYQ.ZYQSecurities.MasterKey",
                              SECRET_SCHEMA_NONE,
                              {{"purpose", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
                              0,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr};

// The functions of libsecret (and of the GLib it brings along) that are called here.
struct Library {
  decltype(&secret_password_lookup_sync) lookup = nullptr;
  decltype(&secret_password_store_sync) store = nullptr;
  decltype(&secret_password_free) freePassword = nullptr;
  decltype(&g_error_free) freeError = nullptr;
  decltype(&g_dbus_error_quark) dbusErrorQuark = nullptr;
  decltype(&g_io_error_quark) ioErrorQuark = nullptr;
};

template <typename F>
bool Resolve(void* handle, const char* name, F* function) {
  *function = reinterpret_cast<F>(dlsym(handle, name));
  return *function != nullptr;
}

// Loaded at the first use and never unloaded (GLib cannot be); null when it does not load.
const Library* LoadedLibrary() {
  static const Library* const library = []() -> const Library* {
    void* handle = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    static Library table;
    if (!Resolve(handle, "secret_password_lookup_sync", &table.lookup) ||
        !Resolve(handle, "secret_password_store_sync", &table.store) ||
        !Resolve(handle, "secret_password_free", &table.freePassword) ||
        !Resolve(handle, "g_error_free", &table.freeError) ||
        !Resolve(handle, "g_dbus_error_quark", &table.dbusErrorQuark) ||
        !Resolve(handle, "g_io_error_quark", &table.ioErrorQuark)) {
      return nullptr;
    }
    return &table;
  }();
  return library;
}

// A session bus is named: the address in the environment, or the user's bus socket. GIO would
// otherwise try to start one (through X11), which must not happen behind a caller's back.
bool SessionBusNamed() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
      address != nullptr && *address != '\0') {
    return true;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return false;
  struct stat st {};
  return ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// Sorts a failure: nobody there (fall back) or an answer that was an error.
KeyringAnswer Classify(const Library& lib, GError* error, SysError* code) {
  KeyringAnswer answer = KeyringAnswer::kFailed;
  *code = kErrorServiceNotActive;
  if (error->domain == lib.dbusErrorQuark()) {
    switch (error->code) {
      case G_DBUS_ERROR_SERVICE_UNKNOWN:
      case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
      case G_DBUS_ERROR_NO_SERVER:
      case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
      case G_DBUS_ERROR_SPAWN_FORK_FAILED:
      case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
      case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
      case G_DBUS_ERROR_SPAWN_FAILED:
      case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
      case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
        answer = KeyringAnswer::kAbsent;
        break;
      default:
        break;
    }
  } else if (error->domain == lib.ioErrorQuark()) {
    if (error->code == G_IO_ERROR_CANCELLED) {
      *code = kErrorCancelled;
    } else {
      answer = KeyringAnswer::kAbsent;  // the bus itself could not be reached
    }
  }
  lib.freeError(error);
  return answer;
}

std::mutex g_mutex;

}  // namespace

KeyringAnswer LookUpKeyringSecret(SecretString* secret, SysError* error) {
  if (!SessionBusNamed()) return KeyringAnswer::kAbsent;
  const Library* lib = LoadedLibrary();
  if (lib == nullptr) return KeyringAnswer::kAbsent;
  std::lock_guard lock(g_mutex);
  GError* failure = nullptr;
  gchar* found = lib->lookup(&kSchema, nullptr, &failure, "purpose", kPurpose, nullptr);
  if (failure != nullptr) {
    if (found != nullptr) lib->freePassword(found);
    return Classify(*lib, failure, error);
  }
  if (found == nullptr) return KeyringAnswer::kNotFound;
  *secret = SecretString(std::string(found));
  lib->freePassword(found);  // wipes it
  return KeyringAnswer::kFound;
}

KeyringAnswer StoreKeyringSecret(const SecretString& secret, SysError* error) {
  if (!SessionBusNamed()) return KeyringAnswer::kAbsent;
  const Library* lib = LoadedLibrary();
  if (lib == nullptr) return KeyringAnswer::kAbsent;
  std::lock_guard lock(g_mutex);
  GError* failure = nullptr;
  const gboolean stored = lib->store(&kSchema, SECRET_COLLECTION_DEFAULT, kLabel, secret.c_str(),
                                     nullptr, &failure, "purpose", kPurpose, nullptr);
  if (failure != nullptr) return Classify(*lib, failure, error);
  if (!stored) {
    *error = kErrorServiceNotActive;
    return KeyringAnswer::kFailed;
  }
  return KeyringAnswer::kFound;
}

#else  // built without the libsecret headers: no Secret Service is ever reached

KeyringAnswer LookUpKeyringSecret(SecretString*, SysError*) {
  return KeyringAnswer::kAbsent;
}

KeyringAnswer StoreKeyringSecret(const SecretString&, SysError*) {
  return KeyringAnswer::kAbsent;
}

#endif

}  // namespace zyq::platform::posix
