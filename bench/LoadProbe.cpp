// A small process for the measurements that need a fresh process: it links neither the engine
// nor OpenSSL, so that loading either library really loads it.
//
//   bench_probe load-ours <library>     dlopen the library and make the first call,
//                                       GetDllVersion (the process-wide engine is constructed
//                                       while it loads)
//   bench_probe load-openssl            dlopen libcrypto and initialise it (configuration,
//                                       ciphers and digests)
//   bench_probe hashfile-rss <library> <file> <flags>
//                                       HashFile through the library's flat export; prints the
//                                       peak resident memory before and after, in KiB
//
// The load modes print the nanoseconds from before dlopen to after the first call.
#include <dlfcn.h>
#include <openssl/crypto.h>  // the OPENSSL_INIT_* values only: nothing of libcrypto is linked
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

long PeakRssKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;  // KiB on Linux
}

void* Open(const char* library) {
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) std::fprintf(stderr, "bench_probe: %s\n", dlerror());
  return handle;
}

int LoadOurs(const char* library) {
  const int64_t start = NowNs();
  void* handle = Open(library);
  if (handle == nullptr) return 1;
  // The first call a program makes: the version text, freed as the caller frees it.
  auto getDllVersion = reinterpret_cast<char16_t* (*)()>(dlsym(handle, "GetDllVersion"));
  auto freeString = reinterpret_cast<void (*)(char16_t*)>(dlsym(handle, "SysFreeString"));
  if (getDllVersion == nullptr || freeString == nullptr) return 1;
  char16_t* version = getDllVersion();
  const int64_t end = NowNs();
  if (version == nullptr || version[0] == u'\0') return 1;
  freeString(version);
  std::printf("%lld\n", static_cast<long long>(end - start));
  return 0;
}

int LoadOpenSsl() {
  const int64_t start = NowNs();
  void* handle = Open("libcrypto.so.3");
  if (handle == nullptr) return 1;
  using InitFn = int (*)(uint64_t, const void*);
  auto init = reinterpret_cast<InitFn>(dlsym(handle, "OPENSSL_init_crypto"));
  if (init == nullptr ||
      init(OPENSSL_INIT_LOAD_CONFIG | OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS,
           nullptr) != 1) {
    return 1;
  }
  std::printf("%lld\n", static_cast<long long>(NowNs() - start));
  return 0;
}

int HashFileRss(const char* library, const char* file, int32_t flags) {
  void* handle = Open(library);
  if (handle == nullptr) return 1;
  using HashFileFn = char16_t* (*)(const char16_t*, int32_t);
  auto hashFile = reinterpret_cast<HashFileFn>(dlsym(handle, "HashFile"));
  auto getErrorCode = reinterpret_cast<int32_t (*)()>(dlsym(handle, "GetErrorCode"));
  auto freeString = reinterpret_cast<void (*)(char16_t*)>(dlsym(handle, "SysFreeString"));
  if (hashFile == nullptr || getErrorCode == nullptr || freeString == nullptr) return 1;
  // The path is ASCII (a temporary file): its UTF-16 form is the bytes widened.
  std::u16string path(file, file + std::strlen(file));
  const long before = PeakRssKib();
  char16_t* hex = hashFile(path.c_str(), flags);
  const long after = PeakRssKib();
  const int32_t code = getErrorCode();
  freeString(hex);
  std::printf("{\"rss_before_kib\": %ld, \"rss_after_kib\": %ld, \"code\": %d}\n", before, after,
              code);
  return code == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "load-ours" && argc == 3) return LoadOurs(argv[2]);
  if (mode == "load-openssl" && argc == 2) return LoadOpenSsl();
  if (mode == "hashfile-rss" && argc == 5) {
    return HashFileRss(argv[2], argv[3], static_cast<int32_t>(std::atoi(argv[4])));
  }
  std::fprintf(stderr,
               "usage: bench_probe load-ours LIB | load-openssl | hashfile-rss LIB FILE FLAGS\n");
  return 2;
}
