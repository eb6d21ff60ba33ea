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
