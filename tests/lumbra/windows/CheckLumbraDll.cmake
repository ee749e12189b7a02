# Reads lumbra.dll's import and export tables with objdump -p:
#   - it imports only Windows' own DLLs, so it runs with nothing of the compiler's
#     beside it (its C++ library, libgcc and winpthreads are linked in);
#   - it exports every function of the contract (app/devctl/lumbra.h) by its plain name,
#     which is how a client binds it; on 32-bit, __stdcall names carry no @n and no
#     leading underscore.
# Usage: cmake -DIMAGE=<dll> -DOBJDUMP=<objdump> -DHEADER=<lumbra.h> -P CheckLumbraDll.cmake
# Without HEADER the image is the program: its imports alone are read, and the
# window system's DLLs (gdi32, comctl32) are Windows' own too.

cmake_policy(SET CMP0057 NEW)  # IN_LIST
execute_process(COMMAND ${OBJDUMP} -p ${IMAGE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump cannot read ${IMAGE}: ${err}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
if(NOT imports)
  message(FATAL_ERROR "${IMAGE}: objdump lists no imports")
endif()
set(windows_dlls "kernel32|msvcrt|user32|advapi32|ntdll")
if(NOT HEADER)
  string(APPEND windows_dlls "|gdi32|comctl32")
endif()
foreach(dll ${imports})
  string(TOLOWER "${dll}" lower)
  if(NOT lower MATCHES "^(${windows_dlls})\\.dll$" AND NOT lower MATCHES "^api-ms-win-.*\\.dll$")
    message(FATAL_ERROR "${IMAGE} imports ${dll}, which is not a DLL of Windows itself")
  endif()
endforeach()

if(NOT HEADER)
  message(STATUS "${IMAGE}: imports ${imports}")
  return()
endif()

# The export table's name lines: "\t[   3] OrvelReadEep".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(.*)" table "${dump}")
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "\n${CMAKE_MATCH_1}")
set(exports)
foreach(row ${rows})
  string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${row}")
  list(APPEND exports "${name}")
endforeach()

file(READ ${HEADER} header)
string(REGEX MATCHALL "X\\([a-z0-9_]+, [A-Za-z]+," entries "${header}")
list(TRANSFORM entries REPLACE "^X\\([a-z0-9_]+, ([A-Za-z]+),$" "\\1")
list(LENGTH entries count)
if(NOT count EQUAL 22)
  message(FATAL_ERROR "${HEADER}: read ${count} functions of the contract, not 22")
endif()
foreach(name ${entries})
  if(NOT name IN_LIST exports)
    message(FATAL_ERROR "${IMAGE} does not export ${name} by that name; it exports: ${exports}")
  endif()
endforeach()
foreach(name ${exports})
  if(name MATCHES "@|^_")
    message(FATAL_ERROR "${IMAGE} exports the decorated name ${name}")
  endif()
endforeach()
list(LENGTH exports exported)
message(STATUS "${IMAGE}: imports ${imports}; exports ${exported} names, the contract's 22 among them")
