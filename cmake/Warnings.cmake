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

# qiv_library(name folder sources...): one static library per plug-in folder, compiled
# position-independent so that it can go into the shared plug-in library.
function(qiv_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/plugin ${PROJECT_SOURCE_DIR}/abi)
  qiv_warnings(${name})
endfunction()
