# Build rules shared by every folder of the tree.

option(TAMBER_SANITIZE "Host build: AddressSanitizer, UBSan and fuzzer coverage" ON)

# Git facts shown on the about page.
execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%cs
                OUTPUT_VARIABLE TAMBER_COMMIT_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT TAMBER_COMMIT_DATE)
  set(TAMBER_COMMIT_DATE "unknown")
endif()

if(TAMBER_WINDOWS)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  # Nothing beside the DLLs and the program: libgcc, libstdc++ and winpthread go inside.
  add_link_options(-static -static-libgcc -static-libstdc++)
elseif(TAMBER_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The sanitized host build needs clang (libFuzzer); configure with CXX=clang++")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

function(tamber_add_warnings)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
endfunction()

# Adds the listed folders that exist; lets areas of the tree appear one by one.
function(tamber_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# GoogleTest from Debian's sources, built for whichever target this tree builds.
function(tamber_add_googletest)
  set(gtestSource /usr/src/googletest)
  if(NOT EXISTS ${gtestSource}/CMakeLists.txt)
    message(FATAL_ERROR "googletest sources not found in ${gtestSource} (Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${gtestSource} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()

# tamber_add_test(name SOURCES ... LIBS ... [ARGS ...] [LABELS ...])
# One executable per area; CTest runs it whole (under Wine for the Windows build).
function(tamber_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS;LABELS" ${ARGN})
  if(NOT T_SOURCES)
    return()  # an area whose tests have not been written yet
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE TAMBER_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
endfunction()

# Copies a built file into the runnable layout (dist/ and its subfolders).
function(tamber_dist target subdir)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${TAMBER_DIST_DIR}/${subdir}
    LIBRARY_OUTPUT_DIRECTORY ${TAMBER_DIST_DIR}/${subdir})
endfunction()
