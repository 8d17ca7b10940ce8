# Fails unless DLL exports exactly dxEnumerate and dxRequest, by name, and
# imports from system DLLs only.
#   cmake -DOBJDUMP=<objdump> -DDLL=<LexoraDX.dll> -P check_dll_tables.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# Export names: the lines of the [Ordinal/Name Pointer] Table.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)" table "${dump}")
# Each line reads "[ <ordinal>] <name>"; keep the names, one per list item.
string(REGEX REPLACE "[ \t]*\\[[ 0-9]+\\][ \t]*" "" names "${CMAKE_MATCH_1}")
string(STRIP "${names}" names)
string(REPLACE "\n" ";" exports "${names}")
list(SORT exports)
if(NOT exports STREQUAL "dxEnumerate;dxRequest")
  message(FATAL_ERROR "exports are [${exports}], expected exactly dxEnumerate and dxRequest")
endif()

# Imports: every DLL named must belong to the system.
set(allowed "^(kernel32|user32|advapi32|oleaut32|ole32|msvcrt|ucrtbase|api-ms-win-.*)\\.dll$")
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no import table found")
endif()
foreach(line IN LISTS names)
  string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  if(NOT lower MATCHES "${allowed}")
    message(FATAL_ERROR "imports ${dll}, which is not a system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
message(STATUS "exports: ${exports}")
