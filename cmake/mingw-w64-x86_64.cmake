# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the -posix thread variant,
# whose libstdc++ has std::thread and std::mutex). Used by the "mingw" preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TEV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TEV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TEV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TEV_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TEV_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TEV_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries from the cross sysroot only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TEV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs built here run under Wine when a build step needs to run one.
find_program(TEV_WINE wine)
if(TEV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TEV_WINE})
endif()

# Header-only libraries (CLI11, Boost.Geometry): the build machine's copies serve the
# cross build too, from a folder that holds nothing else (all of /usr/include would bring
# glibc's headers in).
set(TEV_CROSS_INCLUDE ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${TEV_CROSS_INCLUDE})
foreach(lib CLI boost)
    if(EXISTS /usr/include/${lib} AND NOT EXISTS ${TEV_CROSS_INCLUDE}/${lib})
        file(CREATE_LINK /usr/include/${lib} ${TEV_CROSS_INCLUDE}/${lib} SYMBOLIC)
    endif()
endforeach()
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${TEV_CROSS_INCLUDE})
if(EXISTS ${TEV_CROSS_INCLUDE}/boost)
    set(Boost_INCLUDE_DIR ${TEV_CROSS_INCLUDE} CACHE PATH "Boost headers for the cross build")
endif()

# GCC 12 reports -Wrestrict on std::string concatenations at -O2 that cannot overlap
# (GCC bug 105329); the native build's GCC is told the same where it says so.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
