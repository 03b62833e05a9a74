# The installed headers: the umbrella and the C interface with everything they include, copied under
# a zvword/ folder with their includes rewritten to <zvword/...>, so a user's include path never gains
# generic names like platform/ or pdf/. Headers nothing public includes stay private.
set(ZVWORD_STAGED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)
file(GLOB_RECURSE ZVWORD_ALL_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.h)
set(ZVWORD_HEADERS_STAMP ${PROJECT_BINARY_DIR}/zvword_headers.stamp)
add_custom_command(OUTPUT ${ZVWORD_HEADERS_STAMP}
  COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR}/src -DDEST=${ZVWORD_STAGED_INCLUDE_DIR}/zvword
          -DSTAMP=${ZVWORD_HEADERS_STAMP} -P ${PROJECT_SOURCE_DIR}/cmake/StageHeaders.cmake
  DEPENDS ${ZVWORD_ALL_HEADERS} ${PROJECT_SOURCE_DIR}/cmake/StageHeaders.cmake
  COMMENT "Staging the public headers" VERBATIM)
add_custom_target(zvword_headers DEPENDS ${ZVWORD_HEADERS_STAMP})
