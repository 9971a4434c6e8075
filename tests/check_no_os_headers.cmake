# Fails when a file of the system's own code includes an operating-system header.
file(GLOB_RECURSE sources ${ROOT}/hooklib/*.cpp ${ROOT}/hooklib/*.h ${ROOT}/control/*.cpp
     ${ROOT}/control/*.h ${ROOT}/shared/*.cpp ${ROOT}/shared/*.h)
set(bad "")
foreach(f ${sources})
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*<(windows|unistd|fcntl|dlfcn|pthread|poll|pty|termios|signal|spawn|dirent)\\.h>|^[ \t]*#[ \t]*include[ \t]*<sys/")
  if(lines)
    list(APPEND bad "${f}: ${lines}")
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "OS headers in system code:\n${bad}")
endif()
