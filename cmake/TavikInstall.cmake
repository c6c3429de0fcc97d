# Installation: the library, both headers, the reference module with its
# example configuration, a CMake package (find_package(tavik) gives the
# imported target tavik::tavik) and a pkg-config file. The tools install
# themselves from tools/.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TAVIK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/tavik)
set(TAVIK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tavik)

target_include_directories(tavik INTERFACE $<INSTALL_INTERFACE:${TAVIK_INSTALL_INCLUDEDIR}>)
install(TARGETS tavik EXPORT tavikTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/qxol.h ${PROJECT_SOURCE_DIR}/include/qxol_param_rows.h
              ${PROJECT_SOURCE_DIR}/include/dorva.h ${PROJECT_SOURCE_DIR}/include/dorva_records.h
        DESTINATION ${TAVIK_INSTALL_INCLUDEDIR})

if(TARGET dorva_ref)
  # Beside the library: relative configuration paths start there.
  install(TARGETS dorva_ref LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/examples/reference-params.json DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/examples/tavik-reference.ini ${PROJECT_SOURCE_DIR}/examples/reference-params.json
              ${PROJECT_SOURCE_DIR}/examples/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tavik/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR} FILES_MATCHING PATTERN "*.md")

install(EXPORT tavikTargets NAMESPACE tavik:: DESTINATION ${TAVIK_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tavikConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/tavikConfig.cmake
                              INSTALL_DESTINATION ${TAVIK_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tavikConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tavikConfig.cmake ${PROJECT_BINARY_DIR}/tavikConfigVersion.cmake
        DESTINATION ${TAVIK_INSTALL_CMAKEDIR})

# The pkg-config file finds its prefix from its own place, so an installed
# tree can be moved.
file(RELATIVE_PATH TAVIK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TAVIK_PC_TO_PREFIX "${TAVIK_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/tavik.pc.in ${PROJECT_BINARY_DIR}/tavik.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tavik.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Installs into a scratch prefix and builds a small host against it, once with
# find_package and once with pkg-config. The host is built for this machine,
# so the test runs in the plain 64-bit build only.
if(TAVIK_TESTS AND TAVIK_BITS EQUAL 64 AND NOT TAVIK_SANITIZE)
  find_program(TAVIK_PKG_CONFIG pkg-config)
  add_test(NAME install_and_consume
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DSOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}/install-test
                   -DWORK_DIR=${PROJECT_BINARY_DIR}/install-test
                   -DPKG_CONFIG=${TAVIK_PKG_CONFIG} -DLIBDIR=${CMAKE_INSTALL_LIBDIR}
                   -DDATADIR=${CMAKE_INSTALL_DATADIR} -DC_COMPILER=${CMAKE_C_COMPILER}
                   -P ${CMAKE_CURRENT_LIST_DIR}/install-test/run.cmake)
  set_tests_properties(install_and_consume PROPERTIES TIMEOUT 600)
endif()
