# Sanitizers apply to the whole tree so that the module, the libraries and the
# tests agree on the instrumented runtime. The build is optimised as a release
# is: inlining turns a pointer kept past its callee's return into a read of a
# dead scope, which the unoptimised build does not report; the test presets
# also run with detect_stack_use_after_return=1, which reports it either way.
if(DX_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "DX_SANITIZE is for native builds")
  endif()
  add_compile_options(-O2 -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzzing: coverage instrumentation for every library, with ASan and UBSan; the
# fuzz targets add the libFuzzer driver themselves.
if(DX_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
