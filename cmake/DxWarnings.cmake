# One interface target carries the warning set; every target links it privately.
add_library(dx_warnings INTERFACE)
add_library(dx::warnings ALIAS dx_warnings)
target_compile_options(dx_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(DX_WERROR)
  target_compile_options(dx_warnings INTERFACE -Werror)
endif()
