# Warnings everywhere; -Werror is opt-in so that a newer compiler never breaks a user's build.
# Included by the main build and by the Windows build of the version library.
option(NEMBREL_WERROR "Treat warnings as errors" OFF)
set(NEMBREL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Wconversion -Wno-sign-conversion)
if(NEMBREL_WERROR)
  list(APPEND NEMBREL_WARNINGS -Werror)
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${NEMBREL_WARNINGS}>")
