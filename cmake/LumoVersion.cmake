# The one release version of Lumo.exe, LumoClient.ocx and BrennClient: the VERSION file at the top of
# the tree. Lumo compares its version with Jex's and LumoClient its own with Lumo's, so the three
# are only ever built with the same number. Targets that need it link lumo_version and include
# "LumoVersion.h" (C, C++ and resource scripts alike).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/VERSION)
file(READ ${PROJECT_SOURCE_DIR}/VERSION LUMO_VERSION)
string(STRIP "${LUMO_VERSION}" LUMO_VERSION)
# Four numbers of 16 bits each, as the version resources hold them.
if(NOT LUMO_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "VERSION must hold four numbers joined by dots, not '${LUMO_VERSION}'")
endif()
set(LUMO_VERSION_PARTS ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
foreach(part IN LISTS LUMO_VERSION_PARTS)
    if(part GREATER 65535)
        message(FATAL_ERROR "VERSION '${LUMO_VERSION}': ${part} does not fit a version resource's 16 bits")
    endif()
endforeach()
list(GET LUMO_VERSION_PARTS 0 LUMO_VERSION_MAJOR)
list(GET LUMO_VERSION_PARTS 1 LUMO_VERSION_MINOR)
list(GET LUMO_VERSION_PARTS 2 LUMO_VERSION_BUILD)
list(GET LUMO_VERSION_PARTS 3 LUMO_VERSION_REVISION)

set(LUMO_VERSION_DIR ${PROJECT_BINARY_DIR}/version)
set(LUMO_VERSION_HEADER ${LUMO_VERSION_DIR}/LumoVersion.h)
configure_file(${CMAKE_CURRENT_LIST_DIR}/LumoVersion.h.in ${LUMO_VERSION_HEADER} @ONLY)
add_library(lumo_version INTERFACE)
target_include_directories(lumo_version INTERFACE ${LUMO_VERSION_DIR})
