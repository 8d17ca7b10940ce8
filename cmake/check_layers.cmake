# Fails when a source file includes a header of a folder above its own.
# Run as: cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
# Folders, lowest first, with their layer; a folder may include its own layer
# and those below. The top layer's folders build on everything else.
set(folders unicode platform textlib html pageparser plugin host bench fuzz tests)
set(layers  0       1        2       3    4          5      6    6     6    6)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check_layers: SOURCE_DIR not given")
endif()

set(violations "")
foreach(folder IN LISTS folders)
  list(FIND folders ${folder} index)
  list(GET layers ${index} layer)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-z_0-9]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([a-z_0-9]+)/.*" "\\1" target "${line}")
      list(FIND folders ${target} targetIndex)
      if(targetIndex LESS 0)
        continue()  # a system header such as <sys/stat.h>
      endif()
      list(GET layers ${targetIndex} targetLayer)
      if(targetLayer GREATER layer)
        string(STRIP "${line}" line)
        string(APPEND violations "  ${file}: ${line} (${target}/ sits above ${folder}/)\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "includes that point up a layer:\n${violations}")
endif()
message(STATUS "includes point down only")
