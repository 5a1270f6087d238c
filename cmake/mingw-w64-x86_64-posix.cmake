# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMO_MINGW_TRIPLE}-windres)
set(LUMO_WIDL ${LUMO_MINGW_TRIPLE}-widl CACHE FILEPATH "IDL compiler")
set(LUMO_OBJDUMP ${LUMO_MINGW_TRIPLE}-objdump CACHE FILEPATH "PE inspector")
# widl resolves imports such as oaidl.idl from Wine's IDL files
set(LUMO_WIDL_INCLUDE /usr/include/wine/wine/windows CACHE PATH "Wine IDL directory")

set(CMAKE_FIND_ROOT_PATH /usr/${LUMO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run through Wine with the project's prefix
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
