#include "api/com/ServerRegistration.h"

#include <string>

#include "platform/Text.h"

namespace zyq::com {
namespace {

using platform::Registry;
using platform::RegistryHive;
using platform::RegistryKey;
using platform::SysError;

constexpr std::u16string_view kClassDescription = u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Class";
constexpr std::u16string_view kTypeLibraryDescription =
    u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Type Library";
constexpr std::string_view kProgId = ZYQAPI_PROGID;
constexpr std::string_view kVersionIndependentProgId = ZYQAPI_VERSION_INDEPENDENT_PROGID;
constexpr std::string_view kInterfaceName = "IZYQapi";
// The automation marshaller, which serves every oleautomation interface.
constexpr std::string_view kAutomationProxyStub = "{00020424-0000-0000-C000-000000000046}";
constexpr std::string_view kTypeLibraryVersion = "1.0";
constexpr std::string_view kPlatformKey = sizeof(void*) == 8 ? "win64" : "win32";
// The type library's locale, 0x0409, as its registration key writes it (hexadecimal).
constexpr std::string_view kTypeLibraryLocaleKey = "409";

const RegistryKey kRoot = RegistryKey::Root(RegistryHive::kClassesRoot);

std::string ClassKey() {
  return "CLSID\\" + GuidText(CLSID_ZYQapi);
}
std::string TypeLibraryKey() {
  return "TypeLib\\" + GuidText(LIBID_ZYQSECURITIESATLLib);
}
std::string TypeLibraryVersionKey() {
  return TypeLibraryKey() + "\\" + std::string(kTypeLibraryVersion);
}
std::string InterfaceKey() {
  return "Interface\\" + GuidText(IID_IZYQapi);
}

// Writes registry entries in order and remembers the first failure; later writes are skipped.
class EntryWriter {
 public:
  explicit EntryWriter(Registry& registry) : registry_(registry) {}

  // Opens or creates the key and sets its default value (when given) and named text values.
  void Key(const std::string& path, std::string_view defaultValue = {}, bool setDefault = true) {
    if (failed()) return;
    RegistryKey key;
    if (Fail(registry_.CreateKey(kRoot, path, &key))) return;
    if (setDefault) Fail(registry_.SetValue(key, "", platform::kRegSz, defaultValue));
  }
  void Value(const std::string& path, std::string_view name, std::string_view data) {
    if (failed()) return;
    RegistryKey key;
    if (Fail(registry_.CreateKey(kRoot, path, &key))) return;
    Fail(registry_.SetValue(key, name, platform::kRegSz, data));
  }
  // "ForceRemove": the key goes with all its contents before it is written again.
  void Remove(const std::string& path) {
    if (failed()) return;
    const SysError error = registry_.DeleteKeyTree(kRoot, path);
    if (error != platform::kErrorFileNotFound) Fail(error);
  }

  HRESULT result() const { return result_; }

 private:
  bool failed() const { return result_ != S_OK; }
  bool Fail(SysError error) {
    if (error == platform::kErrorSuccess) return false;
    result_ = HresultFromSystemError(error);
    return true;
  }

  Registry& registry_;
  HRESULT result_ = S_OK;
};

std::string FolderOf(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return {};
  return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

SysError DeleteIfPresent(Registry& registry, const std::string& path) {
  const SysError error = registry.DeleteKeyTree(kRoot, path);
  return error == platform::kErrorFileNotFound ? platform::kErrorSuccess : error;
}

}  // namespace

HRESULT HresultFromSystemError(SysError error) {
  if (error == 0) return S_OK;
  if ((error & 0x80000000u) != 0) return static_cast<HRESULT>(error);  // already an HRESULT
  return static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

HRESULT RegisterClassEntries(Registry& registry, std::string_view libraryPath) {
  const std::string classDescription = platform::WideToAnsi(kClassDescription);
  const std::string clsid = GuidText(CLSID_ZYQapi);
  const std::string libid = GuidText(LIBID_ZYQSECURITIESATLLib);
  const std::string progId(kProgId);
  const std::string versionIndependent(kVersionIndependentProgId);
  EntryWriter w(registry);

  w.Key(progId, classDescription);
  w.Key(progId + "\\CLSID", clsid);
  w.Key(versionIndependent, classDescription);
  w.Key(versionIndependent + "\\CLSID", clsid);
  w.Key(versionIndependent + "\\CurVer", progId);

  w.Key("CLSID", {}, /*setDefault=*/false);
  w.Remove(ClassKey());
  w.Key(ClassKey(), classDescription);
  w.Key(ClassKey() + "\\ProgID", progId);
  w.Key(ClassKey() + "\\VersionIndependentProgID", versionIndependent);
  w.Remove(ClassKey() + "\\Programmable");
  w.Key(ClassKey() + "\\Programmable", {}, /*setDefault=*/false);
  w.Key(ClassKey() + "\\InprocServer32", libraryPath);
  w.Value(ClassKey() + "\\InprocServer32", "ThreadingModel", "Apartment");
  w.Key(ClassKey() + "\\TypeLib", libid);
  return w.result();
}

HRESULT RegisterTypeLibraryRecord(Registry& registry, std::string_view libraryPath) {
  const std::string libid = GuidText(LIBID_ZYQSECURITIESATLLib);
  EntryWriter w(registry);
  w.Key(TypeLibraryVersionKey(), platform::WideToAnsi(kTypeLibraryDescription));
  w.Key(TypeLibraryVersionKey() + "\\FLAGS", "0");
  w.Key(TypeLibraryVersionKey() + "\\HELPDIR", FolderOf(libraryPath));
  w.Key(TypeLibraryVersionKey() + "\\" + std::string(kTypeLibraryLocaleKey) + "\\" +
            std::string(kPlatformKey),
        libraryPath);
  w.Key(InterfaceKey(), kInterfaceName);
  w.Key(InterfaceKey() + "\\ProxyStubClsid", kAutomationProxyStub);
  w.Key(InterfaceKey() + "\\ProxyStubClsid32", kAutomationProxyStub);
  w.Key(InterfaceKey() + "\\TypeLib", libid);
  w.Value(InterfaceKey() + "\\TypeLib", "Version", kTypeLibraryVersion);
  return w.result();
}

HRESULT RegisterServer(Registry& registry, std::string_view libraryPath) {
  if (HRESULT hr = RegisterClassEntries(registry, libraryPath); hr != S_OK) return hr;
  return RegisterTypeLibraryRecord(registry, libraryPath);
}

HRESULT UnregisterClassEntries(Registry& registry) {
  for (const std::string& path :
       {std::string(kProgId), std::string(kVersionIndependentProgId), ClassKey()}) {
    if (SysError error = DeleteIfPresent(registry, path); error != platform::kErrorSuccess) {
      return HresultFromSystemError(error);
    }
  }
  return S_OK;
}

HRESULT UnregisterTypeLibraryRecord(Registry& registry) {
  for (const std::string& path : {TypeLibraryVersionKey(), InterfaceKey()}) {
    if (SysError error = DeleteIfPresent(registry, path); error != platform::kErrorSuccess) {
      return HresultFromSystemError(error);
    }
  }
  // The LIBID key goes when no other version of the library is registered under it.
  RegistryKey libraryKey;
  if (registry.OpenKey(kRoot, TypeLibraryKey(), &libraryKey) == platform::kErrorSuccess) {
    std::vector<std::string> versions;
    std::vector<platform::RegistryValueEntry> values;
    if (registry.EnumKeys(libraryKey, &versions) == platform::kErrorSuccess &&
        registry.EnumValues(libraryKey, &values) == platform::kErrorSuccess && versions.empty() &&
        values.empty()) {
      if (SysError error = DeleteIfPresent(registry, TypeLibraryKey());
          error != platform::kErrorSuccess) {
        return HresultFromSystemError(error);
      }
    }
  }
  return S_OK;
}

HRESULT UnregisterServer(Registry& registry) {
  if (HRESULT hr = UnregisterClassEntries(registry); hr != S_OK) return hr;
  return UnregisterTypeLibraryRecord(registry);
}

HRESULT FindRegisteredTypeLibrary(Registry& registry) {
  RegistryKey key;
  const std::string path = TypeLibraryVersionKey() + "\\" + std::string(kTypeLibraryLocaleKey) +
                           "\\" + std::string(kPlatformKey);
  if (registry.OpenKey(kRoot, path, &key) != platform::kErrorSuccess) {
    return TYPE_E_LIBNOTREGISTERED;
  }
  platform::RegistryValue value;
  if (registry.QueryValue(key, "", platform::kRegistryNoLimit, &value) != platform::kErrorSuccess ||
      !platform::IsRegistryTextType(value.type) || value.data.empty()) {
    return TYPE_E_LIBNOTREGISTERED;
  }
  return S_OK;
}

}  // namespace zyq::com
