# What `cmake --install` puts where, in the Debian layout: the programs in <prefix>/bin, the
# files they read at run time in <prefix>/share/morvex (found from <bindir>/../share/morvex by
# foundation/datadir.h, so bin and share must stay side by side), the desktop entries, icons and
# file types for the desktop, the manual pages, the bash completion, and the documentation in
# <prefix>/share/doc/morvex-fylatek.
include(GNUInstallDirs)
set(MORVEX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/morvex)
set(MORVEX_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/morvex-fylatek)
set(MORVEX_PROGRAMS morvexcli tabstrap lintrim linenum)
if(MORVEX_DESKTOP)
  list(APPEND MORVEX_PROGRAMS morvex tallymor morvexsetup)
endif()

install(TARGETS ${MORVEX_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Run-time data: the bundled templates and their library, the examples with the text-import
# layouts, the manual, the file types' icons.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/templates/ DESTINATION ${MORVEX_INSTALL_DATADIR}/templates
        FILES_MATCHING PATTERN "*.tpl")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${MORVEX_INSTALL_DATADIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.html DESTINATION ${MORVEX_INSTALL_DATADIR}/docs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/app/icons/ DESTINATION ${MORVEX_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "*.svg")

# Documentation.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/ARCHITECTURE.md
        DESTINATION ${MORVEX_INSTALL_DOCDIR})
