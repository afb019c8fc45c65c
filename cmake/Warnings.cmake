# qiv_warnings(target): the project's warning set, fatal when QIV_WARNINGS_AS_ERRORS is on.
function(qiv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  if(QIV_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
    # Optimised, GCC 12 reports null dereferences and overlapping copies inside inlined
    # standard-library and RapidJSON code that cannot happen; there they stay warnings.
    target_compile_options(${target} PRIVATE
      $<$<NOT:$<CONFIG:Debug>>:-Wno-error=null-dereference -Wno-error=restrict>)
  endif()
endfunction()

# qiv_library(name sources...): one static library per plug-in folder, compiled
# position-independent so that it can go into the shared plug-in library.
#
# Its include directory exposes its own folder and nothing else: a directory of the build
# tree holding one link, named after the folder, to the folder. Headers are included as
# "folder/header.h", so a library sees the folders of what it links (and the ABI header)
# and no others; plugin/layers.txt says which includes each folder may write.
function(qiv_library name)
  add_library(${name} STATIC ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${PROJECT_BINARY_DIR}/include/${folder})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${name} PUBLIC ${root} ${PROJECT_SOURCE_DIR}/abi)
  qiv_warnings(${name})
endfunction()
