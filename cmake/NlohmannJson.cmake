# nlohmann/json (Debian's nlohmann-json3-dev), header-only: the target nlohmann_json::nlohmann_json.
# The host build takes the package's own CMake file. The MinGW-w64 builds find their headers
# under their own root only; there the library's folder is copied into the build tree and
# that alone is put on the include path, so that no other host header can be taken for a
# Windows one.
if(NOT CMAKE_CROSSCOMPILING)
    find_package(nlohmann_json 3.11 REQUIRED)
    return()
endif()
find_path(NLOHMANN_JSON_HOST_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT NLOHMANN_JSON_HOST_INCLUDE)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/install-deps.sh)")
endif()
set(nlohmann_copy ${CMAKE_BINARY_DIR}/nlohmann-json-include)
file(COPY ${NLOHMANN_JSON_HOST_INCLUDE}/nlohmann DESTINATION ${nlohmann_copy})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${nlohmann_copy})
