# Windows (x86_64) programs built on Debian with MinGW-w64 (POSIX threads).
# K8W_WINDOWS_LIBS names the folder that holds the Windows libraries unpacked:
# qt6-mingw/ (Qt for MinGW) and deps-mingw/ (libpq and OpenSSL). Qt's host
# tools (moc, rcc, uic) of the same version come from Debian under /usr.
# Programs built here run under wine, which is also how the tests run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_SYSTEM_VERSION 10)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES K8W_WINDOWS_LIBS)
if(NOT K8W_WINDOWS_LIBS)
  message(FATAL_ERROR "K8W_WINDOWS_LIBS must name the folder with qt6-mingw/ and deps-mingw/")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${K8W_WINDOWS_LIBS}/qt6-mingw ${K8W_WINDOWS_LIBS}/deps-mingw)
set(CMAKE_PREFIX_PATH ${K8W_WINDOWS_LIBS}/qt6-mingw)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# Tests run under wine, through tools/windows-test-run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/windows-test-run)

# pkg-config reads only the Windows libraries' files, and takes their prefix
# from where the files are now (the libraries were built elsewhere).
set(ENV{PKG_CONFIG_LIBDIR} "${K8W_WINDOWS_LIBS}/deps-mingw/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --define-prefix)
