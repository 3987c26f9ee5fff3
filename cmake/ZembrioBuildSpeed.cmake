# What makes a build quicker without changing what it builds:
#   - ccache in front of the compiler when it is installed (and no launcher was chosen);
#   - lld or mold instead of the BFD linker when the compiler accepts one: linking the test
#     programs with their debug information is most of a build's serial time;
#   - unity builds (-DCMAKE_UNITY_BUILD=ON, as scripts/test.sh does): the sources of a target
#     compiled in batches of ZEMBRIO_UNITY_BATCH, so the standard, GoogleTest and Qt headers
#     are read once per batch instead of once per file.
include(CheckLinkerFlag)

option(ZEMBRIO_CCACHE "Compile through ccache when it is installed" ON)
set(ZEMBRIO_LINKER "auto" CACHE STRING "Linker: auto (mold, then lld), a -fuse-ld name, or default")
set(ZEMBRIO_UNITY_BATCH 16 CACHE STRING "Sources per unity batch when CMAKE_UNITY_BUILD is on")

if(ZEMBRIO_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(ZEMBRIO_CCACHE_PROGRAM ccache)
  if(ZEMBRIO_CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER ${ZEMBRIO_CCACHE_PROGRAM})
  endif()
endif()

if(ZEMBRIO_LINKER STREQUAL "auto")
  set(ZEMBRIO_LINKER_CANDIDATES mold lld)
elseif(ZEMBRIO_LINKER STREQUAL "default")
  set(ZEMBRIO_LINKER_CANDIDATES)
else()
  set(ZEMBRIO_LINKER_CANDIDATES ${ZEMBRIO_LINKER})
endif()
foreach(linker IN LISTS ZEMBRIO_LINKER_CANDIDATES)
  check_linker_flag(CXX -fuse-ld=${linker} ZEMBRIO_LINKER_${linker})
  if(ZEMBRIO_LINKER_${linker})
    add_link_options(-fuse-ld=${linker})
    break()
  endif()
endforeach()

set(CMAKE_UNITY_BUILD_BATCH_SIZE ${ZEMBRIO_UNITY_BATCH})
