# Build rules shared by every folder of the tree.

option(TAMBER_SANITIZE "Host build: AddressSanitizer, UBSan and fuzzer coverage" ON)
# A second host tree for the code shared between threads: TSan cannot be
# combined with ASan, so it takes their place (and the fuzz targets go).
option(TAMBER_SANITIZE_THREAD "Host build: ThreadSanitizer instead of ASan/UBSan" OFF)
if(TAMBER_SANITIZE_THREAD AND NOT TAMBER_WINDOWS)
  set(TAMBER_SANITIZE OFF)
endif()

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
  # The same sources give the same bytes wherever and whenever they are built
  # (the release zip is checked for it): no link time stamp, no build paths.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Doubles in SSE registers, as current 32-bit Windows compilers do: x87's
    # 80-bit intermediates would truncate fades, the slider and lyric timing
    # to other integers than the x86_64 build. (mingw realigns the stack.)
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
elseif(TAMBER_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The sanitized host build needs clang (libFuzzer); configure with CXX=clang++")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(TAMBER_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
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

option(TAMBER_TESTS "Build the tests, fuzz targets and benchmarks (GoogleTest needed)" ON)
set(TAMBER_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest sources built with the tree (Debian's googletest); where absent, an installed GTest is used")

# GoogleTest built from sources for whichever target this tree builds (Debian),
# or an installed package found by find_package (MSYS2's, vcpkg's).
function(tamber_add_googletest)
  if(NOT TAMBER_TESTS)
    return()
  endif()
  if(EXISTS ${TAMBER_GOOGLETEST_SOURCE}/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${TAMBER_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    return()
  endif()
  find_package(GTest QUIET)
  if(NOT TARGET GTest::gtest OR NOT TARGET GTest::gmock)
    message(FATAL_ERROR "GoogleTest (with GMock) not found: install it (Debian: googletest; MSYS2: "
                        "mingw-w64-i686-gtest; vcpkg: gtest), point CMAKE_PREFIX_PATH at it, or "
                        "configure with -DTAMBER_TESTS=OFF for a build without tests")
  endif()
endfunction()

# tamber_add_test(name SOURCES ... LIBS ... [ARGS ...] [LABELS ...])
# One executable per area; CTest runs it whole (under Wine for the Windows build).
function(tamber_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS;LABELS" ${ARGN})
  if(NOT T_SOURCES OR NOT TAMBER_TESTS)
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
