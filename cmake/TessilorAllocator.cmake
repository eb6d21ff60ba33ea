# The desktop program's figure results are documents of up to a million
# small formatting records. glibc's allocator takes about a fifth of a second
# to give them back when a result is replaced (the window stands still
# meanwhile) and is slow to hand them out; tcmalloc (the minimal build of
# gperftools) does both several times faster. The desktop program and the
# benchmarks that measure it are linked with it. Sanitizer and fuzz builds
# keep the allocator their runtime brings.
option(TESSILOR_TCMALLOC "Link the desktop program with tcmalloc" ON)
if(TESSILOR_SANITIZE OR TESSILOR_FUZZ)
  set(TESSILOR_TCMALLOC OFF CACHE BOOL "Link the desktop program with tcmalloc" FORCE)
endif()
if(TESSILOR_TCMALLOC)
  # The runtime package alone carries libtcmalloc_minimal.so.4.
  find_library(TESSILOR_TCMALLOC_LIBRARY NAMES tcmalloc_minimal libtcmalloc_minimal.so.4 REQUIRED)
endif()

# Links a program with the allocator. The program calls none of its
# functions, so the linker is told to keep it all the same.
function(tessilor_use_allocator target)
  if(TESSILOR_TCMALLOC)
    target_link_libraries(${target} PRIVATE
      "-Wl,--push-state,--no-as-needed" ${TESSILOR_TCMALLOC_LIBRARY} "-Wl,--pop-state")
  endif()
endfunction()
