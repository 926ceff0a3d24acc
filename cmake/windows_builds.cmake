# The Windows programs, cross-built from the same sources with every mingw-w64
# compiler found, for the tests that check them against the real platform.
# Each target's build sits in WINDOWS_<ARCH>_DIR (empty when its compiler is
# missing; the tests then report themselves skipped).
include(ExternalProject)

foreach(arch x86_64 i686)
  string(TOUPPER ${arch} ARCH)
  find_program(LUMIVARDEN_MINGW_${ARCH} ${arch}-w64-mingw32-g++)
  set(WINDOWS_${ARCH}_DIR "")
  if(NOT LUMIVARDEN_MINGW_${ARCH})
    message(STATUS "Windows ${arch} build: no ${arch}-w64-mingw32-g++, its tests will be skipped")
    continue()
  endif()
  set(WINDOWS_${ARCH}_DIR ${PROJECT_BINARY_DIR}/windows-${arch})
  ExternalProject_Add(windows-${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${WINDOWS_${ARCH}_DIR}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchains/mingw-w64-${arch}.cmake
      -DCMAKE_BUILD_TYPE=MinSizeRel
      -DLUMIVARDEN_WERROR=${LUMIVARDEN_WERROR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS
      ${WINDOWS_${ARCH}_DIR}/lumivarden.exe
      ${WINDOWS_${ARCH}_DIR}/lumivarden-registry-conformance.exe)
endforeach()
