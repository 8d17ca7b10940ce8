# Sanitizers apply to the whole tree so that the module, the libraries and the
# tests agree on the instrumented runtime.
if(DX_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "DX_SANITIZE is for native builds")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
