# What `cmake --install` puts under CMAKE_INSTALL_PREFIX (GNUInstallDirs layout), by component:
#
#   Runtime      lib/<multiarch>/libZYQSecuritiesATL.so.4 (and the file it names)
#   Dialogs      the GTK module libZYQSecuritiesATL-gtk.so.4 beside it
#   Development  include/ZYQSecuritiesATL/ (the public headers), the link-time libZYQSecuritiesATL.so,
#                zyqsecuritiesatl.pc, the CMake package (ZYQSecuritiesATL::ZYQSecuritiesATL), the docs
#   Command      bin/zyqsec and its man page
#   Java         share/java/ZYQSecuritiesATL.jar
#
# cmake/ZyqPackaging.cmake makes one Debian package of each component.

# Debian keeps libraries in the multiarch folder under every prefix: the loader and pkg-config
# search /usr/local/lib/<multiarch> as they search /usr/lib/<multiarch>.
if(CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(zyq_install_includedir ${CMAKE_INSTALL_INCLUDEDIR}/ZYQSecuritiesATL)
set(zyq_install_cmakedir ${CMAKE_INSTALL_LIBDIR}/cmake/ZYQSecuritiesATL)
set(zyq_install_work ${CMAKE_BINARY_DIR}/install-files)

# ---- The library: the soname file for programs, the link-time name for builds ----
install(TARGETS ZYQSecuritiesATL EXPORT ZYQSecuritiesATLTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
          COMPONENT Runtime
          NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${zyq_install_includedir})

# The GTK module (platform/CMakeLists.txt) goes beside the library, where the library looks for
# it when the first GTK dialog is shown. A component of its own, so that a server installs the
# library without the desktop toolkit.
if(TARGET zyq_gtk_module)
  install(TARGETS zyq_gtk_module
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
            COMPONENT Dialogs)
endif()

# ---- Headers: the flat exports and the COM view with its generated method list ----
install(FILES
  ${CMAKE_SOURCE_DIR}/include/ZYQSecuritiesATL.h
  ${CMAKE_SOURCE_DIR}/include/ZYQapi.h
  ${CMAKE_BINARY_DIR}/generated/ZYQapiMethods.h
  DESTINATION ${zyq_install_includedir}
  COMPONENT Development)

# ---- CMake package: find_package(ZYQSecuritiesATL CONFIG) ----
install(EXPORT ZYQSecuritiesATLTargets
  NAMESPACE ZYQSecuritiesATL::
  DESTINATION ${zyq_install_cmakedir}
  COMPONENT Development)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/ZYQSecuritiesATLConfig.cmake.in
  ${zyq_install_work}/ZYQSecuritiesATLConfig.cmake
  INSTALL_DESTINATION ${zyq_install_cmakedir})
# A program built against 4.x runs with any later 4.x: the soname changes with the major number.
write_basic_package_version_file(${zyq_install_work}/ZYQSecuritiesATLConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${zyq_install_work}/ZYQSecuritiesATLConfig.cmake
  ${zyq_install_work}/ZYQSecuritiesATLConfigVersion.cmake
  DESTINATION ${zyq_install_cmakedir}
  COMPONENT Development)

# ---- pkg-config: zyqsecuritiesatl.pc ----
# The prefix is the one of the installation (cmake --install --prefix, or /usr in a package),
# so the file is finished when it is installed; everything else is known now.
foreach(kind LIBDIR INCLUDEDIR)
  set(dir ${CMAKE_INSTALL_${kind}})
  if(kind STREQUAL "INCLUDEDIR")
    set(dir ${zyq_install_includedir})
  endif()
  if(IS_ABSOLUTE "${dir}")
    set(zyq_pc_${kind} "${dir}")
  else()
    set(zyq_pc_${kind} "\${prefix}/${dir}")
  endif()
endforeach()
set(ZYQ_PC_PREFIX "@ZYQ_PC_PREFIX@")
configure_file(${CMAKE_SOURCE_DIR}/cmake/zyqsecuritiesatl.pc.in
  ${zyq_install_work}/zyqsecuritiesatl.pc.in @ONLY)
install(CODE "
  set(ZYQ_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${zyq_install_work}/zyqsecuritiesatl.pc.in\"
                 \"${zyq_install_work}/zyqsecuritiesatl.pc\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
       TYPE FILE FILES \"${zyq_install_work}/zyqsecuritiesatl.pc\")"
  COMPONENT Development)

# ---- Docs ----
file(GLOB zyq_docs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${zyq_docs}
  DESTINATION ${CMAKE_INSTALL_DOCDIR}
  COMPONENT Development)

# ---- zyqsec and its man page (compressed, without name or time stamp) ----
install(TARGETS zyqsec RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Command)
set(zyq_man_source ${CMAKE_SOURCE_DIR}/docs/zyqsec.1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${zyq_man_source})
execute_process(COMMAND gzip -9 -n -c ${zyq_man_source}
  OUTPUT_FILE ${zyq_install_work}/zyqsec.1.gz
  RESULT_VARIABLE zyq_gzip_result)
if(NOT zyq_gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${zyq_man_source}")
endif()
install(FILES ${zyq_install_work}/zyqsec.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT Command)

# ---- The jar ----
install_jar(ZYQSecuritiesATL_jar DESTINATION ${CMAKE_INSTALL_DATADIR}/java COMPONENT Java)

# The class loads the library by name from java.library.path, which on Debian includes
# /usr/lib/jni: the Java package puts a link to the runtime library there. It is left out of a
# plain `cmake --install` (a JVM does not look under other prefixes by default); a component
# install (as the packages are made) includes it.
file(RELATIVE_PATH zyq_jni_to_libdir /prefix/lib/jni /prefix/${CMAKE_INSTALL_LIBDIR})
file(MAKE_DIRECTORY ${zyq_install_work}/jni)
file(CREATE_LINK
  ${zyq_jni_to_libdir}/libZYQSecuritiesATL.so.${PROJECT_VERSION_MAJOR}
  ${zyq_install_work}/jni/libZYQSecuritiesATL.so
  SYMBOLIC)
install(FILES ${zyq_install_work}/jni/libZYQSecuritiesATL.so
  DESTINATION lib/jni
  COMPONENT Java
  EXCLUDE_FROM_ALL)
