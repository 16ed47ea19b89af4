# The warnings every target of the project builds with; errors with RUVEVID_WERROR (the presets
# and CI), so that a packager's plain build is not stopped by a new compiler's new warning.
function(ruvevid_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wimplicit-fallthrough)
  if(RUVEVID_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
