# The third-party decoder libraries, as the same imported targets on every build:
#   dep::flac  dep::vorbisfile  dep::opusfile  dep::mpg123  dep::ffmpeg_ape  dep::xmp
# Windows: static libraries under TAMBER_DEPS_PREFIX (scripts/deps builds them
# from Debian's sources and scripts/build passes the prefix; on Windows itself,
# any prefix with the same static libraries, such as MSYS2's C:/msys64/mingw32).
# Host: Debian's -dev packages through pkg-config.
# TAMBER_DEPS_LICENSE_DIRS lists the folders of licence texts the release ships
# beside the libraries linked in statically (empty on the host).

set(TAMBER_DEPS_PREFIX "" CACHE PATH
    "Prefix (or ;-list of prefixes) with the static decoder libraries for Windows (scripts/deps prints it)")
set(TAMBER_DEPS_LICENSE_DIRS "")

# Each dependency: its target, the static libraries in link order, and the
# pkg-config modules that name them (the host links those; on Windows their
# .pc files say which system libraries the static ones need).
set(tamberDeps flac vorbisfile opusfile mpg123 ffmpeg_ape xmp)
set(tamberDepLibs_flac FLAC)
set(tamberDepLibs_vorbisfile vorbisfile vorbis ogg)
set(tamberDepLibs_opusfile opusfile opus ogg)
set(tamberDepLibs_mpg123 mpg123)
set(tamberDepLibs_ffmpeg_ape avformat avcodec avutil)
set(tamberDepLibs_xmp xmp)
set(tamberDepModules_flac flac)
set(tamberDepModules_vorbisfile vorbisfile vorbis ogg)
set(tamberDepModules_opusfile opusfile opus ogg)
set(tamberDepModules_mpg123 libmpg123)
set(tamberDepModules_ffmpeg_ape libavformat libavcodec libavutil)
set(tamberDepModules_xmp libxmp)
# System libraries the static builds call that their .pc files leave out:
# mpg123's CMake port names no shlwapi (paths), FFmpeg no bcrypt (random seeds).
set(tamberDepSystemLibs_mpg123 shlwapi)
set(tamberDepSystemLibs_ffmpeg_ape bcrypt)
# Which source package's licence goes with each library.
set(tamberDepPackages_flac flac)
set(tamberDepPackages_vorbisfile libvorbis libogg)
set(tamberDepPackages_opusfile opusfile opus libogg)
set(tamberDepPackages_mpg123 mpg123)
set(tamberDepPackages_ffmpeg_ape ffmpeg)
set(tamberDepPackages_xmp libxmp)

function(tamber_deps_fail)
  string(CONCAT what ${ARGN})
  if(TAMBER_WINDOWS)
    message(FATAL_ERROR "${what}\nBuild the decoder libraries with scripts/deps (scripts/build "
      "runs it) and configure with -DTAMBER_DEPS_PREFIX=<the prefix it prints>; on Windows, "
      "point TAMBER_DEPS_PREFIX at a prefix holding the same static libraries.")
  else()
    message(FATAL_ERROR "${what}\nInstall Debian's -dev packages of the decoder libraries "
      "(scripts/build installs them; the Windows builds take theirs from scripts/deps).")
  endif()
endfunction()

# -l names in the Libs.private of a .pc file: what a static library needs.
function(tamber_pc_private_libs pcFile outVar)
  set(libs "")
  if(EXISTS ${pcFile})
    file(STRINGS ${pcFile} lines REGEX "^Libs\\.private:")
    foreach(line IN LISTS lines)
      string(REGEX MATCHALL "-l[^ \t]+" flags "${line}")
      foreach(flag IN LISTS flags)
        string(SUBSTRING ${flag} 2 -1 name)
        list(APPEND libs ${name})
      endforeach()
    endforeach()
  endif()
  set(${outVar} ${libs} PARENT_SCOPE)
endfunction()

function(tamber_windows_dep dep)
  set(prefixes ${TAMBER_DEPS_PREFIX} ${CMAKE_PREFIX_PATH})
  set(files "")
  set(systemLibs "")
  set(includeDirs "")
  foreach(lib IN LISTS tamberDepLibs_${dep})
    set(found "")
    foreach(prefix IN LISTS prefixes)
      if(EXISTS ${prefix}/lib/lib${lib}.a)
        set(found ${prefix})
        break()
      endif()
    endforeach()
    if(NOT found)
      tamber_deps_fail("dep::${dep}: no static lib${lib}.a under TAMBER_DEPS_PREFIX "
                       "('${TAMBER_DEPS_PREFIX}') or CMAKE_PREFIX_PATH.")
    endif()
    list(APPEND files ${found}/lib/lib${lib}.a)
    list(APPEND includeDirs ${found}/include)
  endforeach()
  foreach(module IN LISTS tamberDepModules_${dep})
    foreach(prefix IN LISTS prefixes)
      if(EXISTS ${prefix}/lib/pkgconfig/${module}.pc)
        tamber_pc_private_libs(${prefix}/lib/pkgconfig/${module}.pc private)
        list(APPEND systemLibs ${private})
        break()
      endif()
    endforeach()
  endforeach()
  list(APPEND systemLibs ${tamberDepSystemLibs_${dep}})
  list(REMOVE_DUPLICATES includeDirs)
  list(REMOVE_DUPLICATES systemLibs)
  list(REMOVE_ITEM systemLibs ${tamberDepLibs_${dep}})
  # opusfile's header includes <opus_multistream.h> from include/opus.
  foreach(dir IN LISTS includeDirs)
    if(EXISTS ${dir}/opus)
      list(APPEND includeDirs ${dir}/opus)
    endif()
  endforeach()
  add_library(dep::${dep} INTERFACE IMPORTED GLOBAL)
  target_link_libraries(dep::${dep} INTERFACE ${files} ${systemLibs})
  target_include_directories(dep::${dep} INTERFACE ${includeDirs})
  set(licenses ${TAMBER_DEPS_LICENSE_DIRS})
  foreach(package IN LISTS tamberDepPackages_${dep})
    foreach(prefix IN LISTS prefixes)
      if(EXISTS ${prefix}/share/licenses/${package})
        list(APPEND licenses ${prefix}/share/licenses/${package})
        break()
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES licenses)
  set(TAMBER_DEPS_LICENSE_DIRS ${licenses} PARENT_SCOPE)
endfunction()

function(tamber_host_dep dep)
  pkg_check_modules(tamberPc_${dep} QUIET IMPORTED_TARGET ${tamberDepModules_${dep}})
  if(NOT tamberPc_${dep}_FOUND)
    tamber_deps_fail("dep::${dep}: pkg-config found no ${tamberDepModules_${dep}}.")
  endif()
  add_library(dep::${dep} INTERFACE IMPORTED GLOBAL)
  target_link_libraries(dep::${dep} INTERFACE PkgConfig::tamberPc_${dep})
endfunction()

if(TAMBER_WINDOWS)
  foreach(dep IN LISTS tamberDeps)
    tamber_windows_dep(${dep})
  endforeach()
  # Static builds: no __declspec(dllimport) in the headers.
  set_property(TARGET dep::flac APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS FLAC__NO_DLL)
  set_property(TARGET dep::xmp APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS BUILDING_STATIC)
else()
  find_package(PkgConfig QUIET)
  if(NOT PKG_CONFIG_FOUND)
    tamber_deps_fail("pkg-config is needed to find the decoder libraries.")
  endif()
  foreach(dep IN LISTS tamberDeps)
    tamber_host_dep(${dep})
  endforeach()
endif()
