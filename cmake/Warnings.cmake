# The warnings every target of the project builds with; errors with RUVEVID_WERROR (the presets
# and CI), so that a packager's plain build is not stopped by a new compiler's new warning.
function(ruvevid_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wimplicit-fallthrough)
  if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 warns of an overlapping memcpy inside std::string's own code when it inlines a short
    # concatenation at -O3 (its bug 105329), which the Windows presets build with: nothing in the
    # project's code to mend. (A plain Linux Release build shows the same warning, not as an error.)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(RUVEVID_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
