# The third-party libraries as two targets, whatever the build: qiv::rapidjson (headers
# only) and qiv::yaml.
find_package(RapidJSON QUIET)
if(NOT RapidJSON_INCLUDE_DIRS)
  find_path(RapidJSON_INCLUDE_DIRS rapidjson/reader.h REQUIRED)
endif()
add_library(qiv_rapidjson INTERFACE)
target_include_directories(qiv_rapidjson SYSTEM INTERFACE ${RapidJSON_INCLUDE_DIRS})
add_library(qiv::rapidjson ALIAS qiv_rapidjson)

add_library(qiv_yaml INTERFACE)
if(WIN32)
  # The cross build has no pkg-config: libyaml is the static library that
  # scripts/install-deps.sh builds into build/deps-windows.
  find_path(YAML_INCLUDE_DIR yaml.h REQUIRED)
  find_library(YAML_LIBRARY NAMES yaml REQUIRED)
  target_include_directories(qiv_yaml SYSTEM INTERFACE ${YAML_INCLUDE_DIR})
  target_link_libraries(qiv_yaml INTERFACE ${YAML_LIBRARY})
  target_compile_definitions(qiv_yaml INTERFACE YAML_DECLARE_STATIC)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(YAML REQUIRED IMPORTED_TARGET yaml-0.1)
  target_link_libraries(qiv_yaml INTERFACE PkgConfig::YAML)
endif()
add_library(qiv::yaml ALIAS qiv_yaml)
