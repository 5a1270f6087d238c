# Third-party libraries: installed by scripts/setup (Debian packages, or built once into
# LUMO_THIRDPARTY outside the tree) and called, never copied into the repo.

set(LUMO_THIRDPARTY "$ENV{HOME}/.cache/lumo/thirdparty" CACHE PATH "Third-party libraries built by scripts/setup")

# zlib: Debian's MinGW build
find_library(LUMO_ZLIB NAMES libz.a z REQUIRED)
find_path(LUMO_ZLIB_INCLUDE zlib.h REQUIRED)
add_library(lumo_zlib INTERFACE)
target_link_libraries(lumo_zlib INTERFACE ${LUMO_ZLIB})
target_include_directories(lumo_zlib SYSTEM INTERFACE ${LUMO_ZLIB_INCLUDE})

# Boost, header-only parts: only the boost/ tree is shown to the cross compiler.
set(LUMO_BOOST_ROOT ${CMAKE_BINARY_DIR}/boost-include)
if(NOT EXISTS ${LUMO_BOOST_ROOT}/boost)
    if(NOT EXISTS /usr/include/boost/version.hpp)
        message(FATAL_ERROR "Boost headers missing: run scripts/setup")
    endif()
    file(MAKE_DIRECTORY ${LUMO_BOOST_ROOT})
    file(CREATE_LINK /usr/include/boost ${LUMO_BOOST_ROOT}/boost SYMBOLIC)
endif()
add_library(lumo_boost INTERFACE)
target_include_directories(lumo_boost SYSTEM INTERFACE ${LUMO_BOOST_ROOT})

# libb64: built for MinGW from Debian's source package
set(LUMO_B64_ROOT ${LUMO_THIRDPARTY}/libb64-1.2)
if(NOT EXISTS ${LUMO_B64_ROOT}/lib/libb64.a)
    message(FATAL_ERROR "libb64 missing in ${LUMO_B64_ROOT}: run scripts/setup")
endif()
add_library(lumo_b64 INTERFACE)
target_link_libraries(lumo_b64 INTERFACE ${LUMO_B64_ROOT}/lib/libb64.a)
target_include_directories(lumo_b64 SYSTEM INTERFACE ${LUMO_B64_ROOT}/include)

# libjpeg-turbo, libpng and libtiff: built static for MinGW from Debian's source packages.
# Order of linking: libtiff needs libjpeg and zlib, libpng needs zlib.
set(LUMO_JPEG_ROOT ${LUMO_THIRDPARTY}/libjpeg-turbo-2.1.5)
set(LUMO_PNG_ROOT ${LUMO_THIRDPARTY}/libpng-1.6.39)
set(LUMO_TIFF_ROOT ${LUMO_THIRDPARTY}/libtiff-4.5.0)
foreach(lib ${LUMO_JPEG_ROOT}/lib/libjpeg.a ${LUMO_PNG_ROOT}/lib/libpng16.a ${LUMO_TIFF_ROOT}/lib/libtiff.a)
    if(NOT EXISTS ${lib})
        message(FATAL_ERROR "${lib} missing: run scripts/setup")
    endif()
endforeach()
add_library(lumo_jpeg INTERFACE)
target_link_libraries(lumo_jpeg INTERFACE ${LUMO_JPEG_ROOT}/lib/libjpeg.a)
target_include_directories(lumo_jpeg SYSTEM INTERFACE ${LUMO_JPEG_ROOT}/include)
add_library(lumo_png INTERFACE)
target_link_libraries(lumo_png INTERFACE ${LUMO_PNG_ROOT}/lib/libpng16.a lumo_zlib)
target_include_directories(lumo_png SYSTEM INTERFACE ${LUMO_PNG_ROOT}/include)
add_library(lumo_tiff INTERFACE)
target_link_libraries(lumo_tiff INTERFACE ${LUMO_TIFF_ROOT}/lib/libtiff.a lumo_jpeg lumo_zlib)
target_include_directories(lumo_tiff SYSTEM INTERFACE ${LUMO_TIFF_ROOT}/include)

# GoogleTest, built from Debian's sources with the cross compiler
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
add_library(lumo_gtest_main INTERFACE)
target_link_libraries(lumo_gtest_main INTERFACE gtest_main gmock)
# A crashed test program must fail, also under Wine (whose debugger ends it with exit code 0).
target_sources(lumo_gtest_main INTERFACE ${PROJECT_SOURCE_DIR}/tests/support/CrashIsFailure.cpp)
