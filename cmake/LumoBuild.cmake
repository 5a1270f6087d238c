# Compiler settings and the helpers every folder uses.

add_compile_definitions(UNICODE _UNICODE WINVER=0x0A00 _WIN32_WINNT=0x0A00 NOMINMAX)
add_compile_options(-Wall -Wextra $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
# No MinGW runtime DLL beside our binaries: LumoClient.dll is loaded by foreign processes.
add_link_options(-static -static-libgcc -static-libstdc++)
# The sources include "framework/CString.h", "core/..." from the top of the tree.
include_directories(${PROJECT_SOURCE_DIR})

# Every program and DLL keeps its debug information in a file beside it (<binary>.debug, named by the
# binary's debug link, where debuggers look for it). Wine reads a PE image's sections into memory
# whole, debug sections included: left inside, they would cost every process that runs the binary
# some 30 MB and its start the time to read them. Appended to the link rules, so no binary is missed.
foreach(rule CMAKE_C_LINK_EXECUTABLE CMAKE_CXX_LINK_EXECUTABLE CMAKE_C_CREATE_SHARED_LIBRARY
             CMAKE_CXX_CREATE_SHARED_LIBRARY CMAKE_C_CREATE_SHARED_MODULE CMAKE_CXX_CREATE_SHARED_MODULE)
    list(APPEND ${rule} "${CMAKE_OBJCOPY} --only-keep-debug <TARGET> <TARGET>.debug"
                        "${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=<TARGET>.debug <TARGET>")
endforeach()

# lumo_add_library(<name> [SOURCES...]): one static library per subsystem folder.
# Without SOURCES, every .cpp of the folder (not of its subfolders) is compiled.
function(lumo_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SOURCES)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.rc)
    endif()
    if(ARG_SOURCES)
        add_library(${name} STATIC ${ARG_SOURCES})
        target_link_libraries(${name} PUBLIC ${ARG_LIBS})
        lumo_use_precompiled_headers(${name})
    else()  # a folder whose first code has not arrived yet
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_LIBS})
    endif()
endfunction()

# lumo_add_test(<name> SOURCES... [LIBS...] [GUI] [TIMEOUT s]): one test executable, one ctest test.
# GUI tests open windows and get the "gui" label: scripts/test gives them an Xvfb display.
function(lumo_add_test name)
    cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumo_gtest_main)
    lumo_use_precompiled_headers(${name} TESTS)
    if(ARG_GUI)
        add_test(NAME ${name} COMMAND ${LUMO_GUI_SLOT} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(ARG_GUI)
        lumo_gui_test(${name})
    endif()
endfunction()

# GUI tests run side by side, each in a slot of scripts/test's (a display, a Wine prefix and a
# loopback of its own): ctest hands out the slots as "displays" resources, and a test's command
# starts with ${LUMO_GUI_SLOT}, which enters the slot it was given. No GUI test needs more than its
# slot, so none holds a lock over the others.
set(LUMO_GUI_SLOT ${PROJECT_SOURCE_DIR}/scripts/gui-slot)
# lumo_gui_test(<test> [UPDATE_PORT]): marks a test whose command starts with ${LUMO_GUI_SLOT} as a GUI
# test. UPDATE_PORT: it starts Lumo, which listens on the update service's fixed port; run outside
# scripts/test's slots it takes that port's machine-wide lock.
function(lumo_gui_test name)
    cmake_parse_arguments(ARG "UPDATE_PORT" "" "" ${ARGN})
    set_tests_properties(${name} PROPERTIES LABELS gui RESOURCE_GROUPS displays:1)
    if(ARG_UPDATE_PORT)
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT LUMO_UPDATE_PORT_TEST=1)
    endif()
endfunction()

# lumo_add_benchmark(<name> SOURCES... [LIBS...]): a program scripts/bench runs; never a test.
function(lumo_add_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    lumo_use_precompiled_headers(${name})
    set_property(GLOBAL APPEND PROPERTY LUMO_BENCHMARKS $<TARGET_FILE:${name}>)
endfunction()

# lumo_add_benchmark_driver(<name> SCRIPT <file.py> [ARGS...]): a benchmark that a Python script on
# the build machine plays, starting programs under Wine on a display scripts/bench gives it (a
# program's launch, say); scripts/bench runs it after the benchmark programs. Never a test.
function(lumo_add_benchmark_driver name)
    cmake_parse_arguments(ARG "" "SCRIPT" "ARGS" ${ARGN})
    # One line a driver: its name, the script, the arguments, separated by tabs.
    list(JOIN ARG_ARGS "\t" args)
    set_property(GLOBAL APPEND PROPERTY LUMO_BENCHMARK_DRIVERS
                 "${name}\t${CMAKE_CURRENT_SOURCE_DIR}/${ARG_SCRIPT}\t${args}")
endfunction()

# lumo_add_idl(<target> <idl> [TLB]): compiles an IDL file with widl into a header, the
# interface ids and optionally a type library, all in the current binary folder, and adds
# them to <target>. The header is found as "<stem>.h", the ids are compiled as "<stem>_i.c".
function(lumo_add_idl target idl)
    cmake_parse_arguments(ARG "TLB" "" "" ${ARGN})
    get_filename_component(stem ${idl} NAME_WE)
    get_filename_component(idlpath ${idl} ABSOLUTE)
    set(out ${CMAKE_CURRENT_BINARY_DIR})
    set(outputs ${out}/${stem}.h ${out}/${stem}_i.c)
    set(tlbargs)
    if(ARG_TLB)
        list(APPEND outputs ${out}/${stem}.tlb)
        set(tlbargs -t -o ${out}/${stem}.tlb)
        # widl looks up stdole2.tlb for importlib() next to the output
        find_file(LUMO_STDOLE2 stdole2.tlb PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
                  /usr/lib/wine/x86_64-windows NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    endif()
    add_custom_command(OUTPUT ${outputs}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LUMO_STDOLE2} ${out}/stdole2.tlb
        COMMAND ${LUMO_WIDL} -m64 -I${LUMO_WIDL_INCLUDE} -I${CMAKE_CURRENT_SOURCE_DIR}
                -L ${out} -h -H ${out}/${stem}.h -u -U ${out}/${stem}_i.c ${idlpath}
        COMMAND ${LUMO_WIDL} -m64 -I${LUMO_WIDL_INCLUDE} -I${CMAKE_CURRENT_SOURCE_DIR}
                -L ${out} ${tlbargs} ${idlpath}
        DEPENDS ${idlpath}
        WORKING_DIRECTORY ${out}
        VERBATIM)
    target_sources(${target} PRIVATE ${out}/${stem}.h ${out}/${stem}_i.c)
    # The ids are C: the precompiled headers are C++ only.
    set_source_files_properties(${out}/${stem}_i.c PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    target_include_directories(${target} PRIVATE ${out})
endfunction()

# lumo_add_com_server(<name> SOURCES... DEF <file> IDL <file> [MANIFEST <file>] [LIBS...]): an
# in-process COM server <name>.dll with the exports of its .def file, the header, ids and type
# library of its IDL (the .rc among the sources embeds the type library as resource 1), and, for
# registration-free activation, its manifest copied beside the DLL.
function(lumo_add_com_server name)
    cmake_parse_arguments(ARG "" "DEF;IDL;MANIFEST" "SOURCES;LIBS" ${ARGN})
    add_library(${name} SHARED ${ARG_SOURCES} ${ARG_DEF})
    set_target_properties(${name} PROPERTIES PREFIX "")
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    lumo_add_idl(${name} ${ARG_IDL} TLB)
    get_filename_component(stem ${ARG_IDL} NAME_WE)
    get_filename_component(idldir ${ARG_IDL} DIRECTORY)
    foreach(src ${ARG_SOURCES})
        if(src MATCHES "\\.rc$")
            set_property(SOURCE ${src} APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${stem}.tlb)
        endif()
    endforeach()
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${idldir})
    if(ARG_MANIFEST)
        add_custom_command(TARGET ${name} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_MANIFEST}
                    $<TARGET_FILE_DIR:${name}>
            VERBATIM)
    endif()
endfunction()

# Precompiled headers (-DLUMO_PCH=ON, or LUMO_PCH=1 scripts/build; off by default): the Windows
# headers, the standard library's and the framework's base headers, and GoogleTest for the tests,
# parsed once into two precompiled headers that every library and test program reuses. A unit then
# takes about half the time, which pays off in a build without a filled compiler cache. Off by
# default: GCC never writes a precompiled header the same way twice (some 200 MB with the debug
# information), and ccache hashes it, so every unit of a fresh build folder misses the cache that the
# checkouts of a machine share; and the force-included headers would hide a header that does not
# compile on its own, which every unit that includes its own header first checks today.
option(LUMO_PCH "Precompile the Windows, standard library, framework and GoogleTest headers" OFF)
set(LUMO_PCH_HEADERS "framework/Platform.h" <commctrl.h> <oleauto.h> <algorithm> <atomic> <cstdio> <cstring>
    <cwchar> <functional> <map> <memory> <string> <utility> <vector> "framework/CString.h"
    "framework/CHandleOwner.h" "framework/CWnd.h")

# Makes the two owners of the precompiled headers; after the dependencies, since the tests' one
# carries GoogleTest's settings.
function(lumo_add_precompiled_headers)
    if(NOT LUMO_PCH)
        return()
    endif()
    file(WRITE ${CMAKE_BINARY_DIR}/lumo_pch.cpp "// owner of a precompiled header\n")
    add_library(lumo_pch_base OBJECT ${CMAKE_BINARY_DIR}/lumo_pch.cpp)
    target_precompile_headers(lumo_pch_base PRIVATE ${LUMO_PCH_HEADERS})
    add_library(lumo_pch_tests OBJECT ${CMAKE_BINARY_DIR}/lumo_pch.cpp)
    target_link_libraries(lumo_pch_tests PRIVATE gtest gmock)
    target_precompile_headers(lumo_pch_tests PRIVATE ${LUMO_PCH_HEADERS} <gtest/gtest.h> <gmock/gmock.h>)
endfunction()

# lumo_use_precompiled_headers(<target> [TESTS]): the target's C++ units include the base (or the
# tests') precompiled header first.
function(lumo_use_precompiled_headers target)
    cmake_parse_arguments(ARG "TESTS" "" "" ${ARGN})
    if(NOT LUMO_PCH)
        return()
    endif()
    if(ARG_TESTS)
        target_precompile_headers(${target} REUSE_FROM lumo_pch_tests)
    else()
        target_precompile_headers(${target} REUSE_FROM lumo_pch_base)
    endif()
endfunction()
