# The manual page and the bash completion, printed by the built tool from its option table, so
# they always match --help.
if(NOT CMAKE_CROSSCOMPILING)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/zvword.1 ${PROJECT_BINARY_DIR}/zvword.bash-completion
    COMMAND zvword --man > ${PROJECT_BINARY_DIR}/zvword.1
    COMMAND zvword --completion > ${PROJECT_BINARY_DIR}/zvword.bash-completion
    DEPENDS zvword VERBATIM)
  add_custom_target(zvword_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/zvword.1 ${PROJECT_BINARY_DIR}/zvword.bash-completion)
  if(ZVWORD_INSTALL)
    install(FILES ${PROJECT_BINARY_DIR}/zvword.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${PROJECT_BINARY_DIR}/zvword.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
      RENAME zvword)
  endif()
endif()
