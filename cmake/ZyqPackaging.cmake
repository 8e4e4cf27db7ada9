# Debian packages of the install components (cmake/ZyqInstall.cmake), made by CPack from a
# built tree: `cpack --config <build>/CPackConfig.cmake` (scripts/package.sh).
#
#   libzyqsecuritiesatl4       Runtime      the shared library
#   libzyqsecuritiesatl4-gtk   Dialogs      the GTK dialogs, loaded on the first dialog
#                                           (recommended by the library, not required)
#   libzyqsecuritiesatl-dev    Development  headers, link-time name, pkg-config, CMake package, docs
#   zyqsec                     Command      the command and its man page
#   libzyqsecuritiesatl-java   Java         the jar and the library's link in /usr/lib/jni
#
# dpkg-shlibdeps computes what the binaries need; the packages of this tree depend on each
# other at exactly the same version.

set(zyq_deb_maintainer "ZYQSecurities Packaging <packaging@zyqsecurities.example>")
set(zyq_deb_release 1)
set(zyq_deb_version ${PROJECT_VERSION}-${zyq_deb_release})
set(zyq_deb_work ${CMAKE_BINARY_DIR}/install-files/debian)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zyqsecuritiesatl)
set(CPACK_PACKAGE_VENDOR ZYQSecurities)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${zyq_deb_maintainer})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${zyq_deb_maintainer})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${zyq_deb_release})
set(CPACK_DEBIAN_PACKAGE_SOURCE zyqsecuritiesatl)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development Command Java)
if(TARGET zyq_gtk_module)
  list(APPEND CPACK_COMPONENTS_ALL Dialogs)
endif()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# zyqsec needs the library of this tree, which no installed package provides yet: dpkg-shlibdeps
# finds it in the build folder, and the dependency on its package comes from the components.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/api)
# Installed as a package installs them: under /usr, through DESTDIR, so that the files finished
# at install time (zyqsecuritiesatl.pc) name /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# CPack installs without building the whole tree first (the tests are not packaged):
# scripts/package.sh builds the packaged targets. The same holds for `make install`.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
# The packages' staging folder stays in the build folder; scripts/package.sh copies the .deb.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzyqsecuritiesatl${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Only the runtime package holds a shared object, so only it gets a shlibs file.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Programs built against 4.x.y need at least that version of the soname 4 package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The loader's cache is updated by dpkg's ldconfig trigger (CPack also writes a postinst and a
# postrm that call ldconfig; lintian warns about those, harmlessly).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/runtime/triggers)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"certificate and signing component for securities trading
This library enrolls X.509 certificates (PKCS#10 requests, PKCS#7 answers),
keeps users' keys in PKCS#12 files, signs orders (PKCS#1 and PKCS#7), moves
keys between the personal store and files, and hashes data. Programs reach
its operations through flat C exports, a COM object and Java natives.")

# The library needs no GTK library to load: the dialogs come with their own package, which a
# desktop installs by default and a server may leave out (dialogs then cannot be created).
set(CPACK_DEBIAN_DIALOGS_PACKAGE_NAME libzyqsecuritiesatl${PROJECT_VERSION_MAJOR}-gtk)
set(CPACK_DEBIAN_DIALOGS_PACKAGE_SECTION libs)
# A shared object with a soname in the library folder: the same ldconfig trigger.
set(CPACK_DEBIAN_DIALOGS_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/runtime/triggers)
set(CPACK_DEBIAN_DIALOGS_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DIALOGS_DESCRIPTION
"certificate and signing component for securities trading - GTK dialogs
The dialogs of the component (PKCS#12 file and password, password change,
certificate folder, certificate list, file and folder pickers) as GTK 3
windows. The library loads this module when it first shows a dialog.")
# libsecret is loaded at run time to keep the master key of the private keys in the desktop's
# keyring; without it the key lives in a 0600 file (docs/keys-at-rest.md).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "libsecret-1-0")
if(TARGET zyq_gtk_module)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS
    "${CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS}, ${CPACK_DEBIAN_DIALOGS_PACKAGE_NAME} (= ${zyq_deb_version})")
endif()

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzyqsecuritiesatl-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"certificate and signing component for securities trading - development files
The headers of the flat C exports (ZYQSecuritiesATL.h) and of the COM view
(ZYQapi.h), the link-time library, a pkg-config file (zyqsecuritiesatl) and
a CMake package (find_package(ZYQSecuritiesATL CONFIG)), and the component's
documentation.")

set(CPACK_DEBIAN_COMMAND_PACKAGE_NAME zyqsec)
set(CPACK_DEBIAN_COMMAND_PACKAGE_SECTION utils)
# The Chromium and Chrome host manifests live in /etc (browser/CMakeLists.txt).
set(CPACK_DEBIAN_COMMAND_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/command/conffiles)
set(CPACK_DEBIAN_COMMAND_DESCRIPTION
"command-line front end of the ZYQSecuritiesATL component
zyqsec runs any operation of the certificate and signing component from a
shell, a sequence of them on one engine, or JSON lines in batch mode, and
shows the whole key lifecycle with its own test authority (zyqsec demo).")

# The jar itself fits every architecture, but the package's link points into this architecture's
# library folder, so the package is made for the build's architecture like the others.
set(CPACK_DEBIAN_JAVA_PACKAGE_NAME libzyqsecuritiesatl-java)
set(CPACK_DEBIAN_JAVA_PACKAGE_SECTION java)
set(CPACK_DEBIAN_JAVA_DESCRIPTION
"certificate and signing component for securities trading - Java class
The class com.ZYQ.ZYQSecATL with one method per operation of the component,
in /usr/share/java/ZYQSecuritiesATL.jar. The library is linked into
/usr/lib/jni, so the class finds it with the Java runtime's default library
path.")

include(CPack)
cpack_add_component(Runtime)
cpack_add_component(Development DEPENDS Runtime)
cpack_add_component(Command DEPENDS Runtime)
cpack_add_component(Java DEPENDS Runtime)
if(TARGET zyq_gtk_module)
  cpack_add_component(Dialogs DEPENDS Runtime)
endif()

# Every package carries its copyright file and its changelog (compressed, without name or time
# stamp) in /usr/share/doc/<package>. They are part of the component installs the packages are
# made from, not of a plain `cmake --install`.
set(zyq_deb_changelog_source ${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${zyq_deb_changelog_source})
configure_file(${zyq_deb_changelog_source} ${zyq_deb_work}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9 -n -f ${zyq_deb_work}/changelog.Debian
  RESULT_VARIABLE zyq_gzip_result)
if(NOT zyq_gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${zyq_deb_work}/changelog.Debian")
endif()
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright
                ${zyq_deb_work}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component}
    EXCLUDE_FROM_ALL)
endforeach()
