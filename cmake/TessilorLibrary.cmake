# tessilor_library(NAME [GUI_FREE] SOURCES files... [DEPENDS targets...])
# One folder, one static library, built from the files it lists.
#
# GUI_FREE libraries (the engine and the document code) link QtCore and QtGui
# only: widget headers are not on their include path, so widget code in them
# fails to compile, and the configuration fails if one of them links the
# widget modules or a library that does. The others are window libraries and
# link Qt Widgets and Qt PrintSupport.
function(tessilor_library name)
  cmake_parse_arguments(ARG "GUI_FREE" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "tessilor_library(${name}): no SOURCES")
  endif()
  foreach(_dep IN LISTS ARG_DEPENDS)
    if(NOT TARGET ${_dep})
      message(FATAL_ERROR "tessilor_library(${name}): ${_dep} is not defined (yet); check the order in src/CMakeLists.txt")
    endif()
  endforeach()
  add_library(${name} STATIC ${ARG_SOURCES})
  set_property(GLOBAL APPEND PROPERTY TESSILOR_LIBRARIES ${name})
  set_property(TARGET ${name} PROPERTY TESSILOR_DEPENDS ${ARG_DEPENDS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  if(ARG_GUI_FREE)
    target_link_libraries(${name} PUBLIC Qt6::Core Qt6::Gui)
    set_property(GLOBAL APPEND PROPERTY TESSILOR_GUI_FREE_LIBRARIES ${name})
  else()
    target_link_libraries(${name} PUBLIC Qt6::Widgets Qt6::PrintSupport)
    set_property(GLOBAL APPEND PROPERTY TESSILOR_WINDOW_LIBRARIES ${name})
  endif()
endfunction()

# Sets out to the tessilor libraries lib reaches through its dependencies,
# lib first.
function(tessilor_reached_libraries lib out)
  get_property(_libs GLOBAL PROPERTY TESSILOR_LIBRARIES)
  set(_reach ${lib})
  set(_todo ${lib})
  while(_todo)
    list(POP_FRONT _todo _cur)
    get_target_property(_deps ${_cur} TESSILOR_DEPENDS)
    foreach(_d IN LISTS _deps)
      if(_d IN_LIST _libs AND NOT _d IN_LIST _reach)
        list(APPEND _reach ${_d})
        list(APPEND _todo ${_d})
      endif()
    endforeach()
  endwhile()
  set(${out} ${_reach} PARENT_SCOPE)
endfunction()

# Fails the configuration when a GUI-free library links a widget module or a
# window library, however the link was added. Run once every target exists.
function(tessilor_check_gui_free)
  get_property(_free GLOBAL PROPERTY TESSILOR_GUI_FREE_LIBRARIES)
  get_property(_windows GLOBAL PROPERTY TESSILOR_WINDOW_LIBRARIES)
  foreach(_lib IN LISTS _free)
    get_target_property(_links ${_lib} LINK_LIBRARIES)
    foreach(_link IN LISTS _links)
      if(_link MATCHES "Widgets|PrintSupport" OR _link IN_LIST _windows)
        message(FATAL_ERROR "${_lib} is GUI-free and must not link ${_link}")
      endif()
    endforeach()
  endforeach()
endfunction()

# Fails the configuration when a library's folder includes a header of a
# library folder it does not depend on (directly or through others): a
# folder includes only the folders below it, so the data path stays one way.
function(tessilor_check_layers)
  get_property(_libs GLOBAL PROPERTY TESSILOR_LIBRARIES)
  set(_folders "")
  foreach(_lib IN LISTS _libs)
    get_target_property(_dir ${_lib} SOURCE_DIR)
    get_filename_component(_folder ${_dir} NAME)
    set(_folder_of_${_lib} ${_folder})
    list(APPEND _folders ${_folder})
  endforeach()
  foreach(_lib IN LISTS _libs)
    # Everything the library reaches through its tessilor dependencies.
    tessilor_reached_libraries(${_lib} _reach)
    set(_allowed "")
    foreach(_r IN LISTS _reach)
      list(APPEND _allowed ${_folder_of_${_r}})
    endforeach()
    get_target_property(_dir ${_lib} SOURCE_DIR)
    file(GLOB _files ${_dir}/*.h ${_dir}/*.cpp)
    foreach(_file IN LISTS _files)
      file(STRINGS ${_file} _includes REGEX "^#include \"[a-z]+/")
      foreach(_inc IN LISTS _includes)
        string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" _f "${_inc}")
        if(_f IN_LIST _folders AND NOT _f IN_LIST _allowed)
          message(FATAL_ERROR "${_file} includes ${_f}/, but ${_lib} does not depend on tessilor_${_f}: "
                              "a folder includes only the folders below it (src/CMakeLists.txt)")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
