# Installation and packages: `cmake --install` puts the library, the public header, the programs, the docs, a CMake
# package (find_package(zel) gives zel::ZEL_API) and a pkg-config file below the prefix; `cpack -G DEB` makes a
# Debian package of the same tree under /usr.
include(CMakePackageConfigHelpers)

# Programs find the library through a run path relative to their own directory, so a tree works wherever it lies.
file(RELATIVE_PATH ZEL_BIN_TO_LIB "/root/${CMAKE_INSTALL_BINDIR}" "/root/${CMAKE_INSTALL_LIBDIR}")
set_target_properties(zel PROPERTIES INSTALL_RPATH "$ORIGIN/${ZEL_BIN_TO_LIB}")

install(TARGETS ZEL_API EXPORT zelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(ZEL_INSTALLED_PROGRAMS zel zel_model)
if(TARGET clusterer)
  list(APPEND ZEL_INSTALLED_PROGRAMS clusterer)
endif()
install(TARGETS ${ZEL_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(ZEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zel)
install(EXPORT zelTargets NAMESPACE zel:: DESTINATION ${ZEL_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zelConfig.cmake.in ${PROJECT_BINARY_DIR}/zelConfig.cmake
  INSTALL_DESTINATION ${ZEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zelConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zelConfig.cmake ${PROJECT_BINARY_DIR}/zelConfigVersion.cmake
  DESTINATION ${ZEL_CMAKE_DIR})

# pkg-config: the prefix is taken from the file's own place, so the tree can be moved (and packaged) as a whole.
file(RELATIVE_PATH ZEL_PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
string(REGEX REPLACE "/$" "" ZEL_PC_TO_PREFIX "${ZEL_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zel.pc.in ${PROJECT_BINARY_DIR}/zel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME zel)
set(CPACK_PACKAGE_VENDOR "zel")
set(CPACK_PACKAGE_CONTACT "zel developers <zel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Timepix detector data to particle counts, energy, dose and dose rate")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The library's and the programs' dependencies come from dpkg-shlibdeps; the Python package needs its interpreter.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy, python3-pandas")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-distributed")
include(CPack)

if(ZEL_BUILD_TESTS AND NOT ZEL_SANITIZE AND NOT ZEL_FUZZ)
  add_test(NAME packaging_install_consumer
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tests/install-consumer.sh ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR}/tests/consumer)
  add_test(NAME packaging_deb
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tests/deb-package.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(packaging_install_consumer packaging_deb PROPERTIES TIMEOUT 600)
endif()
