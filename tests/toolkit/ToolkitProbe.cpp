// A host program for the toolkit-loading tests, in a process of its own: it loads the library
// with dlopen, as a program that binds by name does, runs a signature when given a PKCS#12 file
// and a dialog-needing operation, and prints one "name=value" line for each, then which parts
// of the GTK stack the process has mapped.
//
//   toolkit_probe <library> [<pfx folder> <pfx file> <password> <id>]
//
//   register=<code>, sign=<code>, signature_chars=<n>   with a PKCS#12 file (register mode 3)
//   hashfile=<code>                                      HashFile without a file name: a picker
//   module_mapped=<0|1>, toolkit_mapped=<0|1>            libZYQSecuritiesATL-gtk, libgtk-3
//
// Arguments are ASCII. The exit status is 0 when every line could be printed.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

class Library {
 public:
  explicit Library(const char* path)
      : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
    if (handle_ == nullptr) std::fprintf(stderr, "toolkit_probe: %s\n", dlerror());
  }
  ~Library() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool Loaded() const { return handle_ != nullptr; }

  template <typename Fn>
  Fn* Symbol(const char* name) const {
    Fn* fn = reinterpret_cast<Fn*>(dlsym(handle_, name));
    if (fn == nullptr) std::fprintf(stderr, "toolkit_probe: no export %s\n", name);
    return fn;
  }

  // The length of a returned BSTR, which is then freed; -1 when the call could not be made.
  long TextLength(char16_t* text) const {
    auto* length = Symbol<uint32_t(char16_t*)>("SysStringLen");
    auto* release = Symbol<void(char16_t*)>("SysFreeString");
    if (length == nullptr || release == nullptr) return -1;
    const long n = text != nullptr ? static_cast<long>(length(text)) : 0;
    release(text);
    return n;
  }

  int32_t ErrorCode() const {
    auto* fn = Symbol<int32_t()>("GetErrorCode");
    return fn != nullptr ? fn() : -1;
  }

 private:
  void* handle_;
};

std::u16string Wide(const char* ascii) {
  std::u16string wide;
  for (const char* p = ascii; *p != '\0'; ++p) wide += static_cast<char16_t>(*p);
  return wide;
}

bool Mapped(const char* nameFragment) {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find(nameFragment) != std::string::npos) return true;
  }
  return false;
}

int Sign(const Library& lib, char** argv) {
  using Register =
      int32_t(const char16_t*, const char16_t*, const char16_t*, int32_t, int32_t, int32_t);
  using Signer = char16_t*(const char16_t*, const char16_t*, int32_t, int32_t);
  auto* registerPfx = lib.Symbol<Register>("RegisterPfx");
  auto* sign = lib.Symbol<Signer>("SignPkcs7");
  if (registerPfx == nullptr || sign == nullptr) return 1;
  std::printf("register=%d\n", registerPfx(Wide(argv[0]).c_str(), Wide(argv[1]).c_str(),
                                           Wide(argv[2]).c_str(), 3, 0, 0));
  const long chars = lib.TextLength(sign(Wide(argv[3]).c_str(), u"order 1", 0, 0));
  std::printf("sign=%d\nsignature_chars=%ld\n", lib.ErrorCode(), chars);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 6) return 2;
  for (int i = 1; i < argc; ++i) {
    for (const char* p = argv[i]; *p != '\0'; ++p) {
      if (static_cast<unsigned char>(*p) >= 0x80) return 2;
    }
  }
  const Library lib(argv[1]);
  if (!lib.Loaded()) return 1;
  if (argc == 6 && Sign(lib, argv + 2) != 0) return 1;
  auto* hashFile = lib.Symbol<char16_t*(const char16_t*, int32_t)>("HashFile");
  if (hashFile == nullptr) return 1;
  lib.TextLength(hashFile(u"", 0));
  std::printf("hashfile=%d\n", lib.ErrorCode());
  std::printf("module_mapped=%d\ntoolkit_mapped=%d\n", Mapped("libZYQSecuritiesATL-gtk") ? 1 : 0,
              Mapped("libgtk-3") ? 1 : 0);
  return 0;
}
