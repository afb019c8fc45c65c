# qiv_plugin_library(name sources... LIBS libs... [EXPORT_MAP file]): a plug-in library
# that exports exactly load_qiv_honor_v2 and carries its C and C++ runtimes inside.
#
# ELF: a version script keeps every symbol but the export local, so the library's
# operator new binds to its counting allocator and never interposes on the host's.
# PE: only what is marked QIV_EXPORT is exported; the toolchain links everything else
# statically (see cmake/toolchains), so the DLL imports from system DLLs alone.
function(qiv_plugin_library name)
  cmake_parse_arguments(P "" "EXPORT_MAP" "LIBS" ${ARGN})
  add_library(${name} SHARED ${P_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME "${name}")
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  qiv_warnings(${name})
  if(WIN32)
    target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++ -Wl,--no-undefined)
    return()
  endif()
  target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc -Wl,--version-script=${P_EXPORT_MAP})
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${P_EXPORT_MAP})
  # Sanitizer runtimes resolve their hooks from the program that loads the library.
  if(NOT QIV_SANITIZE AND NOT QIV_SANITIZE_THREAD AND NOT QIV_BUILD_FUZZ)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
