#!/usr/bin/env bash
# Installs the component as its users do and uses it from outside the source tree:
#   1. builds the Debian packages (scripts/package.sh, lintian included) and installs them with apt
#   2. a C program built with pkg-config calls Hash and GetDllVersion and frees the texts
#   3. a CMake project finds the package with find_package(ZYQSecuritiesATL CONFIG REQUIRED)
#   4. a Java program runs against /usr/share/java/ZYQSecuritiesATL.jar with no library path
#   5. the installed zyqsec runs and its man page is found
#   6. apt-get purge removes the packages and nothing of theirs is left
#   7. cmake --install into a temporary prefix; the C and CMake programs built against it
# Each step prints what it checked; a failure names the step.
#
#   scripts/test-install.sh [BUILD_FOLDER]     default: build (as scripts/test.sh makes it)
#
# Runs as root (or with sudo): it installs and removes packages on this machine.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

packages=(libzyqsecuritiesatl4 libzyqsecuritiesatl4-gtk libzyqsecuritiesatl-dev zyqsec
  libzyqsecuritiesatl-java)
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
# The programs below must find the component by the installed files alone.
unset LD_LIBRARY_PATH PKG_CONFIG_PATH CMAKE_PREFIX_PATH JAVA_TOOL_OPTIONS _JAVA_OPTIONS JDK_JAVA_OPTIONS CLASSPATH

step="setup"
fail() {
  echo "test-install: FAILED in step '$step': $*" >&2
  exit 1
}
trap 'echo "test-install: FAILED in step '"'"'$step'"'"' (command: $BASH_COMMAND)" >&2' ERR
begin() {
  step=$1
  echo
  echo "=== $step (at ${SECONDS} s)"
}
ok() { echo "  ok: $*"; }

installed_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q ' installed$' && echo "$p"
  done
  return 0
}
purge_packages() {
  local present
  mapfile -t present < <(installed_packages)
  ((${#present[@]} == 0)) || "${sudo_cmd[@]}" apt-get purge -y -qq "${present[@]}" >/dev/null
}

work=$(mktemp -d /tmp/zyq-install-test.XXXXXX)
cleanup() {
  # Whatever happened, the machine is left without the packages.
  purge_packages || true
  rm -rf "$work"
}
trap cleanup EXIT
# The component's state and dialogs stay inside the test's folder.
export ZYQSEC_HOME=$work/state ZYQSEC_UI=none

# What every front-end must answer: the version of the packages, and Hash("abc", 2), the SHA-1 of
# the text's UTF-16LE bytes, computed here without the component.
expected_version=$(sed -n 's/^project(ZYQSecuritiesATL VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
expected_hash=$(printf 'a\0b\0c\0' | sha1sum | cut -d' ' -f1 | tr a-f A-F)

# The consumers, written the shortest way a user would.
mkdir -p "$work/c" "$work/cmake" "$work/java"
# The C program includes the COM header's C view too, which must compile on its own.
cat >"$work/c/main.c" <<'C'
#include <ZYQSecuritiesATL.h>
#include <ZYQapi.h>
#include <stdio.h>

static void print_text(const char* label, BSTR text) {
  printf("%s ", label);
  for (uint32_t i = 0; i < SysStringLen(text); ++i) putchar(text[i] < 0x80 ? (char)text[i] : '?');
  putchar('\n');
}

int main(void) {
  BSTR version = GetDllVersion();
  print_text("version", version);
  SysFreeString(version);
  BSTR digest = Hash(u"abc", 2);
  print_text("hash", digest);
  printf("code %d\n", (int)GetErrorCode());
  SysFreeString(digest);
  printf("methods %d\n", ZYQAPI_METHOD_COUNT);
  return 0;
}
C
cat >"$work/cmake/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(consumer LANGUAGES CXX)
find_package(ZYQSecuritiesATL 4 CONFIG REQUIRED)
message(STATUS "ZYQSecuritiesATL ${ZYQSecuritiesATL_VERSION} from ${ZYQSecuritiesATL_DIR}")
add_executable(consumer main.cpp)
target_compile_features(consumer PRIVATE cxx_std_17)
target_link_libraries(consumer PRIVATE ZYQSecuritiesATL::ZYQSecuritiesATL)
CMAKE
# Both headers: the flat exports, and the COM view with the generated method list.
cat >"$work/cmake/main.cpp" <<'CPP'
#include <ZYQSecuritiesATL.h>
#include <ZYQapi.h>

#include <cstdio>
#include <string>

static std::string Narrow(BSTR text) {
  return std::string(text, text + SysStringLen(text));
}

int main() {
  BSTR flat = Hash(u"abc", 2);
  std::printf("flat hash %s\n", Narrow(flat).c_str());
  SysFreeString(flat);

  IClassFactory* factory = nullptr;
  IZYQapi* api = nullptr;
  if (DllGetClassObject(CLSID_ZYQapi, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK ||
      factory->CreateInstance(nullptr, IID_IZYQapi, reinterpret_cast<void**>(&api)) != S_OK) {
    std::printf("no COM object\n");
    return 1;
  }
  BSTR text = SysAllocString(u"abc");
  BSTR digest = nullptr;
  BSTR version = nullptr;
  api->Hash(text, 2, &digest);
  api->GetVersion(&version);
  std::printf("com hash %s\ncom version %s\nmethods %d\n", Narrow(digest).c_str(),
              Narrow(version).c_str(), ZYQAPI_METHOD_COUNT);
  SysFreeString(text);
  SysFreeString(digest);
  SysFreeString(version);
  api->Release();
  factory->Release();
  return 0;
}
CPP
cat >"$work/java/UseJar.java" <<'JAVA'
import com.ZYQ.ZYQSecATL;

public class UseJar {
  public static void main(String[] args) {
    ZYQSecATL api = new ZYQSecATL();
    System.out.println("version " + api.GetVersion());
    System.out.println("hash " + api.Hash("abc", 2));
    System.out.println("code " + api.GetErrorCode());
    System.out.println("implementation " + ZYQSecATL.class.getPackage().getImplementationVersion());
  }
}
JAVA

# expect_line FILE TEXT: FILE holds the line TEXT.
expect_line() {
  grep -qxF -- "$2" "$1" || fail "expected the line '$2'; got: $(tr '\n' '|' <"$1")"
  ok "$2"
}
# library_of PROGRAM: where the loader finds libZYQSecuritiesATL.so.4 for PROGRAM.
library_of() {
  ldd "$1" | sed -n 's/^\s*libZYQSecuritiesATL\.so\.4 => \(\S*\) .*/\1/p'
}

# C consumer against whatever pkg-config finds (the packages, or PKG_CONFIG_PATH).
build_and_run_c() {
  local out=$1
  local flags
  flags=$(pkg-config --cflags --libs zyqsecuritiesatl) || fail "pkg-config knows no zyqsecuritiesatl"
  echo "  pkg-config --cflags --libs zyqsecuritiesatl: $flags"
  # shellcheck disable=SC2086
  cc -std=c11 -Wall -Wextra -Werror -o "$out/c-consumer" "$work/c/main.c" $flags ||
    fail "the C program did not compile"
  ok "C program compiled (cc -std=c11 -Werror)"
  "$out/c-consumer" >"$out/c.out" || fail "the C program failed"
  expect_line "$out/c.out" "version $expected_version"
  expect_line "$out/c.out" "hash $expected_hash"
  expect_line "$out/c.out" "code 0"
  expect_line "$out/c.out" "methods 47"
}

build_and_run_cmake() {
  local out=$1
  shift
  cmake -S "$work/cmake" -B "$out/cmake-build" "$@" >"$out/cmake.log" 2>&1 ||
    fail "configuring the CMake project failed: $(tail -n 20 "$out/cmake.log")"
  grep -F -- "-- ZYQSecuritiesATL" "$out/cmake.log" | sed 's/^/  /'
  cmake --build "$out/cmake-build" >>"$out/cmake.log" 2>&1 ||
    fail "building the CMake project failed: $(tail -n 20 "$out/cmake.log")"
  ok "CMake project configured and built"
  "$out/cmake-build/consumer" >"$out/cmake.out" || fail "the CMake project's program failed"
  expect_line "$out/cmake.out" "flat hash $expected_hash"
  expect_line "$out/cmake.out" "com hash $expected_hash"
  expect_line "$out/cmake.out" "com version $expected_version"
  expect_line "$out/cmake.out" "methods 47"
}

# ---------------------------------------------------------------------------------------------
begin "1. build the packages and install them with apt-get"
if [[ -n $(installed_packages) ]]; then
  echo "  packages left by an earlier run are purged first: $(installed_packages | tr '\n' ' ')"
  purge_packages
fi
bash scripts/package.sh "$build"
debs=(dist/*.deb)
((${#debs[@]} == ${#packages[@]})) || fail "expected ${#packages[@]} packages in dist/, found ${#debs[@]}"
"${sudo_cmd[@]}" apt-get install -y -qq "${debs[@]/#/./}" >"$work/apt-install.log" 2>&1 ||
  fail "apt-get install failed: $(tail -n 20 "$work/apt-install.log")"
for p in "${packages[@]}"; do
  version=$(dpkg-query -W -f='${Version}' "$p")
  [[ $version == "$expected_version-"* ]] || fail "$p has version $version"
  ok "$p $version installed; Depends: $(dpkg-query -W -f='${Depends}' "$p")"
done
# The library loads without the desktop toolkit: only the dialogs' package needs GTK.
if dpkg-query -W -f='${Depends}' libzyqsecuritiesatl4 | grep -q gtk; then
  fail "libzyqsecuritiesatl4 depends on GTK"
fi
ok "libzyqsecuritiesatl4 needs no GTK; it recommends $(dpkg-query -W -f='${Recommends}' libzyqsecuritiesatl4)"
ldconfig -p >"$work/ld.cache"
grep -q 'libZYQSecuritiesATL\.so\.4 ' "$work/ld.cache" || fail "the loader's cache lacks libZYQSecuritiesATL.so.4"
ok "the loader's cache has libZYQSecuritiesATL.so.4"

begin "2. a C program built with pkg-config calls Hash and GetDllVersion and frees the texts"
mkdir -p "$work/out-system"
build_and_run_c "$work/out-system"
loaded=$(realpath "$(library_of "$work/out-system/c-consumer")")
owner=$(dpkg-query -S "$loaded" 2>/dev/null | cut -d: -f1)
[[ $owner == libzyqsecuritiesatl4 ]] || fail "the program does not use the packaged library: $loaded"
ok "it runs with $loaded from $owner"

begin "3. a CMake project with find_package(ZYQSecuritiesATL CONFIG REQUIRED)"
build_and_run_cmake "$work/out-system"

begin "4. a Java program against /usr/share/java/ZYQSecuritiesATL.jar, no java.library.path"
jar_file=/usr/share/java/ZYQSecuritiesATL.jar
# Without the development package its link-time name is gone from /usr/lib/<multiarch>, so the
# JVM can find the library only through the Java package's link in /usr/lib/jni.
"${sudo_cmd[@]}" dpkg --remove libzyqsecuritiesatl-dev >/dev/null
ok "libzyqsecuritiesatl-dev removed for this step; /usr/lib/jni/libZYQSecuritiesATL.so -> $(readlink /usr/lib/jni/libZYQSecuritiesATL.so)"
javac -Xlint:all -Werror -cp "$jar_file" -d "$work/java" "$work/java/UseJar.java" ||
  fail "UseJar.java did not compile against $jar_file"
java -cp "$jar_file:$work/java" UseJar >"$work/java.out" 2>&1 ||
  fail "java UseJar failed: $(cat "$work/java.out")"
ok "java -cp $jar_file:... UseJar (no -Djava.library.path)"
expect_line "$work/java.out" "version $expected_version"
expect_line "$work/java.out" "hash $expected_hash"
expect_line "$work/java.out" "code 0"
expect_line "$work/java.out" "implementation $expected_version"
jar --describe-module --file "$jar_file" >"$work/module.out" 2>&1
grep -q '^com\.ZYQ automatic' "$work/module.out" || fail "no automatic module name: $(cat "$work/module.out")"
ok "module com.ZYQ (Automatic-Module-Name)"
"${sudo_cmd[@]}" dpkg --install dist/libzyqsecuritiesatl-dev_*.deb >/dev/null
ok "libzyqsecuritiesatl-dev installed again"

begin "5. the installed zyqsec and its man page"
[[ $(command -v zyqsec) == /usr/bin/zyqsec ]] || fail "zyqsec is $(command -v zyqsec)"
zyqsec Hash abc 2 >"$work/zyqsec.out" || fail "zyqsec Hash abc 2 failed: $(cat "$work/zyqsec.out")"
expect_line "$work/zyqsec.out" "Hash(\"abc\", 2) = \"$expected_hash\""
man_page=$(man -w zyqsec) || fail "man -w zyqsec found nothing"
[[ $man_page == /usr/share/man/man1/zyqsec.1.gz ]] || fail "man -w zyqsec: $man_page"
ok "man -w zyqsec: $man_page"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man_page" 2>"$work/man.err" >"$work/man.out"
[[ ! -s $work/man.err ]] || fail "the man page has warnings: $(cat "$work/man.err")"
for section in SYNOPSIS OPTIONS "BATCH PROTOCOL" ENVIRONMENT "EXIT STATUS" EXAMPLES; do
  grep -qx "$section" "$work/man.out" || fail "the man page has no section $section"
done
ok "the man page renders without warnings, with its options, batch protocol, environment and examples"

begin "6. apt-get purge leaves nothing of the packages"
: >"$work/owned"
for p in "${packages[@]}"; do dpkg -L "$p" >>"$work/owned"; done
echo "  the packages own $(grep -vc '^/\.$' "$work/owned") paths"
"${sudo_cmd[@]}" apt-get purge -y -qq "${packages[@]}" >"$work/apt-purge.log" 2>&1 ||
  fail "apt-get purge failed: $(tail -n 20 "$work/apt-purge.log")"
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ -z $status || $status == "unknown ok not-installed" ]] || fail "$p is still known to dpkg: $status"
  if compgen -G "/var/lib/dpkg/info/${p}[.:]*" >/dev/null; then
    fail "dpkg still keeps control files of $p"
  fi
done
ok "dpkg knows none of the packages and keeps none of their control files"
left=0
while IFS= read -r path; do
  [[ $path == "/." ]] && continue
  if [[ -d $path && ! -L $path ]]; then
    # A folder may stay only while another package owns it too.
    dpkg-query -S "$path" >/dev/null 2>&1 || {
      echo "  left: folder $path"
      left=$((left + 1))
    }
  elif [[ -e $path || -L $path ]]; then
    echo "  left: $path"
    left=$((left + 1))
  fi
done <"$work/owned"
((left == 0)) || fail "$left paths of the packages are left"
ok "none of the files is left; the folders left are owned by other packages"
ldconfig -p >"$work/ld.cache"
! grep -q libZYQSecuritiesATL "$work/ld.cache" || fail "the loader's cache still lists libZYQSecuritiesATL"
ok "the loader's cache no longer lists the library"
hash -r
! command -v zyqsec >/dev/null || fail "zyqsec is still found: $(command -v zyqsec)"
! pkg-config --exists zyqsecuritiesatl || fail "pkg-config still finds zyqsecuritiesatl"
ok "neither zyqsec nor zyqsecuritiesatl.pc is found any more"

begin "7. cmake --install into a temporary prefix; the C and CMake programs against it"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  fail "cmake --install failed: $(tail -n 20 "$work/install.log")"
ok "cmake --install $build --prefix $prefix: $(grep -c 'Installing:' "$work/install.log") files"
pc_file=$(find "$prefix" -name zyqsecuritiesatl.pc)
[[ -n $pc_file ]] || fail "no zyqsecuritiesatl.pc under the prefix"
if grep -rlIF -- "$build" "$prefix" >"$work/leaks"; then
  fail "installed files name the build folder: $(cat "$work/leaks")"
fi
ok "no installed text file names the build folder"
export PKG_CONFIG_PATH=${pc_file%/*}
[[ $(pkg-config --variable=prefix zyqsecuritiesatl) == "$prefix" ]] || fail "the .pc file's prefix is not $prefix"
ok "zyqsecuritiesatl.pc names the prefix"
libdir=$(pkg-config --variable=libdir zyqsecuritiesatl)
mkdir -p "$work/out-prefix"
# CMake gives its program the library's folder as run path.
build_and_run_cmake "$work/out-prefix" -DCMAKE_PREFIX_PATH="$prefix"
grep -qF -- "from $prefix/" "$work/out-prefix/cmake.log" || fail "find_package did not take the prefix's package"
[[ $(library_of "$work/out-prefix/cmake-build/consumer") == "$libdir/libZYQSecuritiesATL.so.4" ]] ||
  fail "the CMake program does not use the prefix's library"
ok "the CMake program runs with $libdir/libZYQSecuritiesATL.so.4"
# The C program finds the library through LD_LIBRARY_PATH.
export LD_LIBRARY_PATH=$libdir
build_and_run_c "$work/out-prefix"
[[ $(library_of "$work/out-prefix/c-consumer") == "$libdir/libZYQSecuritiesATL.so.4" ]] ||
  fail "the C program does not use the prefix's library"
ok "the C program runs with $libdir/libZYQSecuritiesATL.so.4"

step="done"
echo
echo "test-install: all steps passed in ${SECONDS} s."
