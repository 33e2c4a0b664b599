# Files that name installed programs by path (the desktop entry's Exec, the
# user unit's ExecStart) are configured when they are installed, not when the
# build is configured, so that `cmake --install build --prefix P` points them
# into P. In the template, @QEL_INSTALL_BINDIR@ is the installed bin folder.
include(GNUInstallDirs)

# qel_install_configured(TEMPLATE NAME DESTINATION)
# DESTINATION is relative to the prefix; the word SYSTEMD_USER_UNIT_DIR picks
# where systemd looks for user units of that prefix: lib/systemd/user under
# /usr and /usr/local, share/systemd/user under any other (a home prefix).
function(qel_install_configured template name destination)
  install(CODE "
    set(QEL_INSTALL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(qel_destination \"${destination}\")
    if(qel_destination STREQUAL \"SYSTEMD_USER_UNIT_DIR\")
      if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\" OR CMAKE_INSTALL_PREFIX STREQUAL \"/usr/local\")
        set(qel_destination lib/systemd/user)
      else()
        set(qel_destination share/systemd/user)
      endif()
    endif()
    set(qel_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${qel_destination}/${name}\")
    message(STATUS \"Installing: \${qel_file}\")
    configure_file(\"${template}\" \"\${qel_file}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${qel_file}\")
  ")
endfunction()
