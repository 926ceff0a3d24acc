# The lean program: in optimised builds (Release, MinSizeRel) the program and
# the libraries given are built for size without exceptions, RTTI or unwind
# tables, and the program is linked with the compiler's runtimes inside it and
# unused sections dropped. The lean runtime stands in for the C++ library's
# throwing parts, so none of its exception machinery is linked in and no shared
# C++ library is loaded at start-up. Debug builds keep the usual runtime.
#
#   lumivarden_lean_program(PROGRAM [LIBRARY...])
function(lumivarden_lean_program program)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    return()
  endif()
  set(optimised "$<CONFIG:Release,MinSizeRel>")
  set(compile -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
      -ffunction-sections -fdata-sections)
  set(link -static-libstdc++ -static-libgcc -Wl,--gc-sections -Wl,-O1)
  if(NOT WIN32)
    list(APPEND link -Wl,-z,noseparate-code)  # one read-only segment fewer to map
  endif()
  foreach(target IN ITEMS ${program} ${ARGN})
    target_compile_options(${target} PRIVATE "$<${optimised}:${compile}>")
  endforeach()
  target_sources(${program} PRIVATE
    "$<${optimised}:${PROJECT_SOURCE_DIR}/platform/lean_runtime.cpp>")
  target_link_options(${program} PRIVATE "$<${optimised}:${link}>")
endfunction()
