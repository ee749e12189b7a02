# Checks a cross-built image with objdump (and, for a driver, osslsigncode):
#   KIND=driver   PE, subsystem native (1), DLL imports only ntoskrnl.exe and HAL.dll;
#                 what the kernel's loader and code integrity insist on: base
#                 relocations, DYNAMIC_BASE and NX_COMPAT, no TLS directory, no
#                 section both writable and executable, a correct checksum, and
#                 an embedded SHA-256 signature that verifies against CERT.
#   KIND=console  PE, subsystem Windows console (3)
# Usage: cmake -DIMAGE=<file> -DOBJDUMP=<objdump> -DKIND=<kind>
#              [-DOSSLSIGNCODE=<osslsigncode> -DCERT=<PEM certificate>] -P CheckPeImage.cmake

if(NOT EXISTS "${IMAGE}")
  message(FATAL_ERROR "${IMAGE} was not built")
endif()
execute_process(COMMAND ${OBJDUMP} -p -h ${IMAGE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump cannot read ${IMAGE}: ${err}")
endif()
if(NOT dump MATCHES "file format pei-x86-64")
  message(FATAL_ERROR "${IMAGE} is not an x64 PE image")
endif()

# The hexadecimal value objdump -p prints after a header field's name.
function(_header_field out_var name)
  string(REGEX MATCH "\n${name}[ \t]+([0-9a-fA-F]+)" found "${dump}")
  if(NOT found)
    message(FATAL_ERROR "${IMAGE}: no ${name} in the PE header")
  endif()
  math(EXPR value "0x${CMAKE_MATCH_1}")
  set(${out_var} ${value} PARENT_SCOPE)
endfunction()

# The size of data directory <index> (one hex digit, as objdump numbers them).
function(_directory_size out_var index)
  string(REGEX MATCH "\nEntry ${index} [0-9a-fA-F]+ ([0-9a-fA-F]+)" found "${dump}")
  if(NOT found)
    message(FATAL_ERROR "${IMAGE}: no data directory entry ${index}")
  endif()
  math(EXPR value "0x${CMAKE_MATCH_1}")
  set(${out_var} ${value} PARENT_SCOPE)
endfunction()

_header_field(subsystem "Subsystem")
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
message(STATUS "${IMAGE}: subsystem ${subsystem}, imports: ${imports}")

if(KIND STREQUAL "driver")
  if(NOT subsystem EQUAL 1)
    message(FATAL_ERROR "${IMAGE}: subsystem ${subsystem}, a driver needs native (1)")
  endif()
  foreach(dll ${imports})
    string(TOLOWER "${dll}" lower)
    if(NOT lower STREQUAL "ntoskrnl.exe" AND NOT lower STREQUAL "hal.dll")
      message(FATAL_ERROR "${IMAGE}: imports from ${dll}; a driver may import only ntoskrnl.exe and HAL.dll")
    endif()
  endforeach()

  _header_field(characteristics "DllCharacteristics")
  math(EXPR dynamic_base "${characteristics} & 0x40")
  math(EXPR nx_compat "${characteristics} & 0x100")
  if(NOT dynamic_base OR NOT nx_compat)
    message(FATAL_ERROR "${IMAGE}: DllCharacteristics ${characteristics} lack DYNAMIC_BASE or NX_COMPAT")
  endif()
  _directory_size(relocations 5)
  if(relocations EQUAL 0)
    message(FATAL_ERROR "${IMAGE}: no base relocations, the loader cannot place it at another address")
  endif()
  _directory_size(tls 9)
  if(NOT tls EQUAL 0)
    message(FATAL_ERROR "${IMAGE}: has a TLS directory, which a kernel image may not have")
  endif()
  # objdump -h marks a section CODE when it is executable and READONLY when
  # it is not writable.
  string(REGEX MATCHALL "\n +[0-9]+ [^ \n]+ [^\n]+\n[ \t]+[^\n]+" sections "${dump}")
  foreach(section ${sections})
    if(section MATCHES "CODE" AND NOT section MATCHES "READONLY")
      string(REGEX MATCH "[0-9]+ ([^ \n]+)" name "${section}")
      message(FATAL_ERROR "${IMAGE}: section ${CMAKE_MATCH_1} is both writable and executable")
    endif()
  endforeach()
  if(NOT sections)
    message(FATAL_ERROR "${IMAGE}: objdump listed no sections")
  endif()

  if(NOT OSSLSIGNCODE OR NOT CERT)
    message(FATAL_ERROR "a driver check needs OSSLSIGNCODE and CERT")
  endif()
  execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${CERT} -in ${IMAGE}
                  OUTPUT_VARIABLE verify ERROR_VARIABLE verify_err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT verify MATCHES "Signature verification: ok")
    message(FATAL_ERROR "${IMAGE}: the signature does not verify against ${CERT}:\n${verify}${verify_err}")
  endif()
  if(NOT verify MATCHES "Message digest algorithm  : SHA256")
    message(FATAL_ERROR "${IMAGE}: not signed with SHA-256:\n${verify}")
  endif()
  # osslsigncode prints one "PE checksum" when the stored one is right, and
  # the current and calculated ones when they differ.
  _header_field(checksum "CheckSum")
  string(REGEX MATCH "(^|\n)PE checksum[ \t]*: ([0-9a-fA-F]+)" found "${verify}")
  if(checksum EQUAL 0 OR NOT found)
    message(FATAL_ERROR "${IMAGE}: PE checksum ${checksum} is not the calculated one:\n${verify}")
  endif()
  math(EXPR calculated "0x${CMAKE_MATCH_2}")
  if(NOT checksum EQUAL calculated)
    message(FATAL_ERROR "${IMAGE}: PE checksum ${checksum}, calculated ${calculated}")
  endif()
  message(STATUS "${IMAGE}: DllCharacteristics ${characteristics}, checksum ${checksum}, signature verified")
elseif(KIND STREQUAL "console")
  if(NOT subsystem EQUAL 3)
    message(FATAL_ERROR "${IMAGE}: subsystem ${subsystem}, a console program needs 3")
  endif()
else()
  message(FATAL_ERROR "unknown KIND ${KIND}")
endif()
