# Sanitizers apply to the whole tree so that the module, the libraries and the
# tests agree on the instrumented runtime.
if(DX_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "DX_SANITIZE is for native builds")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzzing: coverage instrumentation for every library, with ASan and UBSan; the
# fuzz targets add the libFuzzer driver themselves.
if(DX_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
