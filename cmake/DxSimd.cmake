# SSE2 for the codec's ASCII blocks and the tokenizer's scan on both x86
# targets; DX_SIMD=OFF, and every other processor, builds the portable path.
if(DX_SIMD AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i[3-6]86)$")
  add_compile_definitions(DX_SIMD_SSE2)
  set(DX_SIMD_SSE2 ON)  # the tests then build the portable path beside it
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # An i686 compiler assumes no SSE2 unless told, and a host may call the
    # exports on a stack aligned to 4 bytes only: functions that keep vectors
    # on the stack realign it themselves.
    add_compile_options(-msse2 -mstackrealign)
  endif()
endif()
