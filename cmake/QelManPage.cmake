# Man pages made at build time from a program's own --help and --version by
# help2man, and installed with it. Without help2man they are left out, with a
# note at configure time (scripts/install-deps.sh installs it).
include(GNUInstallDirs)
find_program(QEL_HELP2MAN help2man)
if(NOT QEL_HELP2MAN)
  message(STATUS "help2man not found: no man pages")
endif()

# qel_man_page(TARGET "one-line description")
function(qel_man_page target description)
  if(NOT QEL_HELP2MAN)
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  add_custom_command(OUTPUT ${page}
    COMMAND ${QEL_HELP2MAN} --no-info --no-discard-stderr --section=1 "--name=${description}"
            --output=${page} $<TARGET_FILE:${target}>
    DEPENDS ${target}
    COMMENT "Man page of ${target}"
    VERBATIM)
  add_custom_target(${target}-man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
