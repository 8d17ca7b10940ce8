# Each library sees only the source folders of its own layer and those below:
# its include root holds links to exactly the folders (or single headers) it
# may include, and lower layers' roots arrive through its PUBLIC link
# libraries. An include that points up a layer then fails to compile.
#
# dx_include_root(<target> <folder or file below the source tree>...)
function(dx_include_root target)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  foreach(path IN LISTS ARGN)
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL INTERFACE_LIBRARY)
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
