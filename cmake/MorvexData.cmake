# The files the programs read at run time sit in <prefix>/share/morvex (foundation/datadir.h):
# each program finds them from its own executable, <bindir>/../share/morvex. The build tree gets
# the same folder, build/share/morvex, made of links to the source folders, so that a program
# run from the build tree (make demo, the tests) reads the files being edited without any source
# path compiled into it.
set(MORVEX_BUILD_DATADIR ${PROJECT_BINARY_DIR}/share/morvex)
file(MAKE_DIRECTORY ${MORVEX_BUILD_DATADIR})
foreach(link templates examples docs)
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${link} ${MORVEX_BUILD_DATADIR}/${link} SYMBOLIC)
endforeach()
file(CREATE_LINK ${PROJECT_SOURCE_DIR}/app/icons ${MORVEX_BUILD_DATADIR}/icons SYMBOLIC)
