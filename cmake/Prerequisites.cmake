# What each build needs beyond CMake, checked while configuring, so that a
# missing tool is named with the Debian package that brings it instead of
# showing up later as a failing build or test.
#
#   every build:      ninja-build, g++ (or the compiler a preset names)
#   tests:            libgtest-dev, groff-base (the manual-page test)
#   asan and fuzz:    clang, libclang-rt-14-dev (sanitizer and fuzzer runtimes)
#   bench:            libbenchmark-dev (bench/compare.sh: hyperfine, time)
#   windows:          g++-mingw-w64-x86-64-posix, wine64 (tests), libgtest-dev
#                     (its sources), groff-base (the pages in the zip)

# Stops with a message naming the package that provides `what`.
function(syxbank_missing what package)
  message(FATAL_ERROR "${what} was not found. On Debian: apt-get install ${package}")
endfunction()

# Before project(): the generator's build tool and the compiler.
macro(syxbank_check_tools)
  if(CMAKE_GENERATOR STREQUAL "Ninja" AND NOT CMAKE_MAKE_PROGRAM)
    find_program(SYXBANK_NINJA NAMES ninja ninja-build)
    if(NOT SYXBANK_NINJA)
      syxbank_missing("Ninja, the build tool of the presets," ninja-build)
    endif()
  endif()
  if(CMAKE_TOOLCHAIN_FILE MATCHES "mingw")
    find_program(SYXBANK_MINGW x86_64-w64-mingw32-g++-posix)
    if(NOT SYXBANK_MINGW)
      syxbank_missing("The MinGW-w64 compiler x86_64-w64-mingw32-g++-posix"
                      g++-mingw-w64-x86-64-posix)
    endif()
    find_program(SYXBANK_WINE_LOADER NAMES wine64 wine PATHS /usr/lib/wine)
    if(NOT SYXBANK_WINE_LOADER)
      syxbank_missing("Wine, which runs the Windows tests," wine64)
    endif()
  elseif(CMAKE_CXX_COMPILER AND NOT IS_ABSOLUTE "${CMAKE_CXX_COMPILER}")
    find_program(SYXBANK_CXX ${CMAKE_CXX_COMPILER})
    if(NOT SYXBANK_CXX)
      if(CMAKE_CXX_COMPILER MATCHES "clang")
        syxbank_missing("The compiler ${CMAKE_CXX_COMPILER}" clang)
      elseif(CMAKE_CXX_COMPILER MATCHES "mingw")
        syxbank_missing("The compiler ${CMAKE_CXX_COMPILER}" g++-mingw-w64-x86-64-posix)
      else()
        syxbank_missing("The compiler ${CMAKE_CXX_COMPILER}" g++)
      endif()
    endif()
  elseif(NOT CMAKE_CXX_COMPILER AND NOT DEFINED ENV{CXX})
    find_program(SYXBANK_CXX NAMES c++ g++ clang++)
    if(NOT SYXBANK_CXX)
      syxbank_missing("A C++ compiler" g++)
    endif()
  endif()
endmacro()

# After project(): what the chosen parts of the build need.
# A program built with `flags` (sanitizers, libFuzzer) must link.
function(syxbank_check_runtime flags source result)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS ${flags})
  set(CMAKE_REQUIRED_LINK_OPTIONS ${flags})
  check_cxx_source_compiles("${source}" ${result})
  if(NOT ${result})
    syxbank_missing("The runtime for ${flags}" libclang-rt-14-dev)
  endif()
endfunction()
