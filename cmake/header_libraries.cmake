# Debian's header-only nlohmann-json3-dev and libcli11-dev, as the targets qvlink_json and
# qvlink_cli11. A cross-build reaches them through links of their own, so that none of the
# host's other headers can shadow the target's.
find_path(QVLINK_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(QVLINK_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(qvlink_json INTERFACE)
add_library(qvlink_cli11 INTERFACE)
if(CMAKE_CROSSCOMPILING)
    set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
    file(MAKE_DIRECTORY ${host_headers})
    file(CREATE_LINK ${QVLINK_JSON_INCLUDE}/nlohmann ${host_headers}/nlohmann SYMBOLIC)
    file(CREATE_LINK ${QVLINK_CLI11_INCLUDE}/CLI ${host_headers}/CLI SYMBOLIC)
    target_include_directories(qvlink_json SYSTEM INTERFACE ${host_headers})
    target_include_directories(qvlink_cli11 SYSTEM INTERFACE ${host_headers})
endif()
