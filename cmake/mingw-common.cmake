# Shared part of the mingw-w64 toolchain files; MINGW_TRIPLET is set by the includer.
# Debian ships a -posix variant (winpthreads) and a -win32 variant of each compiler; we take
# the -posix one where it exists, as the plain name points to it by default.
foreach(tool gcc g++)
  string(TOUPPER ${tool} upper)
  find_program(MINGW_${upper} NAMES ${MINGW_TRIPLET}-${tool}-posix ${MINGW_TRIPLET}-${tool} REQUIRED)
endforeach()
set(CMAKE_C_COMPILER ${MINGW_GCC})
set(CMAKE_CXX_COMPILER ${MINGW_G++})
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
