# What `cmake --install` puts in the prefix: the tool, both libraries, the public headers, the CMake
# package (zvword::zvword, zvword::zvword_static), zvword.pc, the man page and the license.
include(CMakePackageConfigHelpers)
set(ZVWORD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zvword)

install(TARGETS zvword RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zvword_shared zvword_static EXPORT zvwordTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${ZVWORD_STAGED_INCLUDE_DIR}/zvword DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT zvwordTargets NAMESPACE zvword:: DESTINATION ${ZVWORD_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zvwordConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zvwordConfig.cmake INSTALL_DESTINATION ${ZVWORD_CMAKE_DIR})
# Minor versions only add to the interface; a new major one may break it (and changes the SONAME).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zvwordConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zvwordConfig.cmake ${PROJECT_BINARY_DIR}/zvwordConfigVersion.cmake
  DESTINATION ${ZVWORD_CMAKE_DIR})

# For users who build with pkg-config rather than CMake. The prefix is found from the file's own
# place, so an install moved elsewhere (or made with --prefix) still points at its headers.
file(RELATIVE_PATH ZVWORD_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ZVWORD_PC_TO_PREFIX "${ZVWORD_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zvword.pc.in ${PROJECT_BINARY_DIR}/zvword.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zvword.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zvword)

# Everything the install copies, so `make install` can build just this and skip the tests.
add_custom_target(zvword_installables DEPENDS zvword zvword_shared zvword_static zvword_headers)
foreach(t zvword_docs zvword_python)
  if(TARGET ${t})
    add_dependencies(zvword_installables ${t})
  endif()
endforeach()
