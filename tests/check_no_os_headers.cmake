# Fails when a file includes an operating-system header where it must not: the system's own code
# (hooklib, control, shared) includes none; Windows headers appear only in the Win32 ports and
# the Windows-only host and test files; the Win32 ports include no POSIX header.
set(posix_headers "unistd|fcntl|dlfcn|pthread|poll|pty|termios|signal|spawn|dirent|pwd")
set(windows_headers "windows|winbase|winreg|winuser|shlobj|shellapi|objbase|commctrl|commdlg|io")
set(posix_pattern "^[ \t]*#[ \t]*include[ \t]*<((${posix_headers})\\.h|sys/[^>]*)>")
set(windows_pattern "^[ \t]*#[ \t]*include[ \t]*<(${windows_headers})\\.h>")

set(bad "")
# check(PATTERN FILES...): every line of FILES matching PATTERN is a fault.
function(check pattern)
  foreach(f ${ARGN})
    file(STRINGS ${f} lines REGEX "${pattern}")
    if(lines)
      list(APPEND bad "${f}: ${lines}")
    endif()
  endforeach()
  set(bad "${bad}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE system ${ROOT}/hooklib/*.cpp ${ROOT}/hooklib/*.h ${ROOT}/control/*.cpp
     ${ROOT}/control/*.h ${ROOT}/shared/*.cpp ${ROOT}/shared/*.h)
check("${posix_pattern}" ${system})
check("${windows_pattern}" ${system})

file(GLOB_RECURSE not_windows ${ROOT}/platform/*.cpp ${ROOT}/platform/*.h ${ROOT}/notesemu/*.cpp
     ${ROOT}/notesemu/*.h ${ROOT}/host/*.cpp ${ROOT}/host/*.h ${ROOT}/tests/*.cpp
     ${ROOT}/tests/*.h)
list(FILTER not_windows EXCLUDE REGEX "/(platform/win32|host/win32|tests/win)/")
check("${windows_pattern}" ${not_windows})

# fcntl.h is also the Windows C runtime's (its _O_ flags).
string(REPLACE "|fcntl" "" posix_only "${posix_headers}")
file(GLOB_RECURSE win32_ports ${ROOT}/platform/win32/*.cpp ${ROOT}/platform/win32/*.h)
check("^[ \t]*#[ \t]*include[ \t]*<((${posix_only})\\.h|sys/[^>]*)>" ${win32_ports})

if(bad)
  string(REPLACE ";" "\n" bad "${bad}")
  message(FATAL_ERROR "Operating-system headers out of place:\n${bad}")
endif()
