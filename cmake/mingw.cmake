# Cross build for Windows with Debian's mingw-w64. The presets name the target through
# MINGW_TRIPLE: i686-w64-mingw32 (package g++-mingw-w64-i686) for the 32-bit DLLs the hosts load,
# x86_64-w64-mingw32 (package g++-mingw-w64-x86-64) for 64-bit hosts and the wine64 test layer.
if(NOT MINGW_TRIPLE)
  set(MINGW_TRIPLE i686-w64-mingw32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
if(MINGW_TRIPLE MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
else()
  set(CMAKE_SYSTEM_PROCESSOR i686)
endif()

set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the Windows harnesses under Wine; test.sh prepares the prefix and servers. The
# 64-bit loader is called by its full path: /usr/bin/wine picks the 32-bit one.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL x86_64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
