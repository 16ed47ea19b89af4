# Sources made for one system only are told by their names: FilePosix.cpp, CurlTransport.cpp and
# UpdateSignatureOpenSsl.cpp build on Linux; FileWin32.cpp, WinInetTransport.cpp and
# UpdateSignatureCng.cpp on Windows. Tests follow the same rule (FileWin32Test.cpp).
if(WIN32)
  set(RUVEVID_OTHER_SYSTEM_SOURCES "(Posix|OpenSsl)(Test)?\\.cpp$|/Curl[^/]*\\.cpp$")
else()
  set(RUVEVID_OTHER_SYSTEM_SOURCES "(Win32|Cng)(Test)?\\.cpp$|/WinInet[^/]*\\.cpp$")
endif()

# The .cpp files of the given folders that build on this system.
function(ruvevid_sources out)
  set(sources)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(FILTER found EXCLUDE REGEX "${RUVEVID_OTHER_SYSTEM_SOURCES}")
    list(APPEND sources ${found})
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# A project library made of every source file in the given folders.
# New files are picked up at the next build without touching any CMakeLists.
function(ruvevid_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LINK" ${ARGN})
  ruvevid_sources(sources ${ARG_DIRS})
  if(NOT sources)
    # Headers only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_LINK})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
  ruvevid_warnings(${name})
endfunction()

# A GoogleTest executable made of every test file in the given folders.
# SERIAL: the tests measure time, so nothing else runs beside them.
# LINUX_ONLY: files (names without folder) that need the Linux side's tools or system and are left
# out of the Windows build.
function(ruvevid_test name)
  cmake_parse_arguments(ARG "SERIAL" "" "DIRS;LINK;ENV;LINUX_ONLY" ${ARGN})
  ruvevid_sources(sources ${ARG_DIRS})
  if(WIN32)
    foreach(file IN LISTS ARG_LINUX_ONLY)
      list(FILTER sources EXCLUDE REGEX "/${file}$")
    endforeach()
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  ruvevid_warnings(${name})
  set(serial FALSE)
  if(ARG_SERIAL)
    set(serial TRUE)
  endif()
  set(environment "RUVEVID_BUILD_DIR=${PROJECT_BINARY_DIR};RUVEVID_SOURCE_DIR=${PROJECT_SOURCE_DIR};${ARG_ENV}")
  if(CMAKE_CROSSCOMPILING)
    # One Wine process per executable, not one per test: starting Wine costs seconds.
    if(CMAKE_CROSSCOMPILING_EMULATOR)
      add_test(NAME ${name} COMMAND ${name})
      set_tests_properties(${name} PROPERTIES TIMEOUT 900 RUN_SERIAL ${serial} ENVIRONMENT
                                              "WINEDEBUG=-all;${environment}")
    endif()
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 RUN_SERIAL ${serial}
                       ENVIRONMENT "${environment}")
endfunction()
