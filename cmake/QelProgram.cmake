# Programs that start fast. Starting qel-stitch took longer than converting a
# design: most of it went to the dynamic loader mapping and resolving shared
# libraries. With QEL_STATIC_RUNTIME the programs carry the C++ runtime, and
# SQLite and zlib are found as archives (see the top-level CMakeLists.txt), so
# they load little besides the C library. Sanitizer and fuzzing builds keep
# the shared runtime, which their run-time libraries expect.

# qel_program(TARGET [SHARED_CXX_RUNTIME]): SHARED_CXX_RUNTIME for a program
# that links a C++ shared library (sdbus-c++): objects and exceptions cross
# into it, so both must use the one shared C++ runtime.
function(qel_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "SHARED_CXX_RUNTIME" "" "")
  if(QEL_STATIC_RUNTIME AND NOT QEL_SANITIZE AND NOT QEL_FUZZ AND NOT arg_SHARED_CXX_RUNTIME)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
  target_link_options(${target} PRIVATE LINKER:-O1 LINKER:--as-needed)
endfunction()
