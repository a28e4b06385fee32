# The include graph follows the link graph: a file of a target includes headers only from its own
# folder and from the folders of the targets it links (directly or not), and no library of a core
# folder links or includes a front end or Qt. At configure time this writes, for every target of
# the project, its folder, the folders it may include from and its files; the test include_graph
# (cmake/CheckIncludeGraph.cmake) reads every file again and fails on an include the other way.

# Every target defined under `dir`, its sub-directories included.
function(morvex_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    morvex_collect_targets(${sub} sub_targets)
    list(APPEND targets ${sub_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The project targets that `target` links, directly or not (aliases resolved).
function(morvex_link_closure target out)
  set(seen)
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    get_target_property(type ${current} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(iface ${current} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND links ${iface})
    endif()
    foreach(link ${links})
      if(link MATCHES "^\\$<" OR NOT TARGET ${link})
        continue()
      endif()
      get_target_property(aliased ${link} ALIASED_TARGET)
      if(aliased)
        set(link ${aliased})
      endif()
      get_target_property(imported ${link} IMPORTED)
      if(imported OR link IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${link})
      list(APPEND pending ${link})
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(morvex_write_include_graph manifest)
  morvex_collect_targets(${PROJECT_SOURCE_DIR} targets)
  set(text "")
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|INTERFACE_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(dir ${target} SOURCE_DIR)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${dir})
    morvex_link_closure(${target} deps)
    set(allowed ${folder})
    set(depnames)
    foreach(dep ${deps})
      get_target_property(dep_dir ${dep} SOURCE_DIR)
      file(RELATIVE_PATH dep_folder ${PROJECT_SOURCE_DIR} ${dep_dir})
      list(APPEND allowed ${dep_folder})
      list(APPEND depnames ${dep})
    endforeach()
    list(REMOVE_DUPLICATES allowed)
    set(files)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(sources ${target} SOURCES)
      foreach(source ${sources})
        if(source MATCHES "^\\$<")
          continue()
        endif()
        if(NOT IS_ABSOLUTE ${source})
          set(source ${dir}/${source})
        endif()
        list(APPEND files ${source})
      endforeach()
    endif()
    string(REPLACE ";" "," allowed "${allowed}")
    string(REPLACE ";" "," depnames "${depnames}")
    string(REPLACE ";" "," files "${files}")
    string(APPEND text "${target}|${type}|${folder}|${allowed}|${depnames}|${files}\n")
  endforeach()
  file(WRITE ${manifest} "${text}")
endfunction()

morvex_write_include_graph(${CMAKE_BINARY_DIR}/include_graph.txt)
if(MORVEX_TESTS)
  add_test(NAME include_graph
           COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/include_graph.txt
                   -DROOT=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludeGraph.cmake)
  # The rule against asking and showing, over a made-up tree in the build folder: a core room
  # that opens a message box or appends to the panel is caught, the shared front-end logic and
  # a mere mention in a comment are not.
  set(probe ${CMAKE_BINARY_DIR}/include_graph_probe)
  file(WRITE ${probe}/probe/probe.cpp
       "// Never calls messageBox nor panelMessage itself.\n"
       "void a() { morvex::uiPort().messageBox(\"t\", \"x; y\", B, I); }\n"
       "void b(P& ui) { ui->panelMessage(S, 0, \"z\"); }\n")
  file(WRITE ${probe}/appcore/wizard.cpp "void c() { morvex::showError(e); }\n")
  file(WRITE ${probe}/manifest.txt
       "morvex_probe|STATIC_LIBRARY|probe|probe||${probe}/probe/probe.cpp\n"
       "morvex_appcore|STATIC_LIBRARY|appcore|appcore||${probe}/appcore/wizard.cpp\n")
  add_test(NAME include_graph_asking_rule
           COMMAND ${CMAKE_COMMAND} -DMANIFEST=${probe}/manifest.txt -DROOT=${probe}
                   -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludeGraph.cmake)
  set_tests_properties(include_graph_asking_rule PROPERTIES
    PASS_REGULAR_EXPRESSION "2 include or link against the graph:.*probe/probe.cpp \\(morvex_probe\\) asks or shows through the UI port: \\.messageBox\\(.*probe/probe.cpp \\(morvex_probe\\) asks or shows through the UI port: ->panelMessage\\("
    FAIL_REGULAR_EXPRESSION "appcore/wizard.cpp")
endif()
