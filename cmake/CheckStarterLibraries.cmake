# Fails when PROGRAM needs Qt GUI (or Qt Widgets) at start: tessilor-cli's
# starter is to load Qt Core alone.
find_program(READELF NAMES readelf REQUIRED)
execute_process(COMMAND ${READELF} -d ${PROGRAM} OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read the dynamic section of ${PROGRAM}")
endif()
string(REGEX MATCHALL "\\[[A-Za-z0-9_.+-]+\\]" needed "${dynamic}")
foreach(library IN LISTS needed)
  if(library MATCHES "Qt6Gui|Qt6Widgets|Qt6PrintSupport|freetype|fontconfig")
    message(FATAL_ERROR "${PROGRAM} needs ${library} at start; code reached from the quick start uses the GUI "
                        "libraries (see src/cli/quickstart.h)")
  endif()
endforeach()
