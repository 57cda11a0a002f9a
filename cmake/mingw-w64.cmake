# Cross build for 64-bit Windows with Debian's mingw-w64 (the -posix thread model, which
# std::thread and std::mutex need). The programs are linked statically, so a copied .exe needs
# none of the compiler's DLLs; they run here under Wine, which CTest starts them through.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

# Libraries and headers come from the mingw tree only, never from the Linux system; programs
# (the compilers' helpers, wine) from the Linux system.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(FORGESET_WINE wine REQUIRED)
# Through a starter that tells a start Wine failed from a run of the program (see there).
set(CMAKE_CROSSCOMPILING_EMULATOR bash ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine_start.sh
  ${FORGESET_WINE})
