# The reverb unit of the hardware-faithful chip, a library of its own so that it builds and is
# tested before the chip links it. Include this file from spu/exact/CMakeLists.txt (or the top
# list) and link spu_exact to spu_exact_reverb; the paths do not depend on who includes it.
add_library(spu_exact_reverb STATIC
  ${CMAKE_CURRENT_LIST_DIR}/reverb_registers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reverb_resampler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reverb_unit.cpp
)
target_include_directories(spu_exact_reverb PUBLIC ${CMAKE_CURRENT_LIST_DIR})

# As spu_core: the 32-bit DLL assumes SSE2 and no x87.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_compile_options(spu_exact_reverb PRIVATE -msse2 -mfpmath=sse)
endif()
