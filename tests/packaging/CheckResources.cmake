# Reads the resources of a built image back with windres and checks what
# Windows takes from them:
#   KIND=program  the manifest (common controls 6, DPI awareness, the name and
#                 version), the icon TAVRIN in the four sizes and the version
#   KIND=library  the version
# cmake -DIMAGE=<exe or dll> -DWINDRES=<windres> -DKIND=<kind> -DVERSION=<x.y.z>
#       -DPRODUCT=<name> -DPUBLISHER=<name> -P CheckResources.cmake

foreach(var IMAGE WINDRES KIND VERSION PRODUCT PUBLISHER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${WINDRES} -i ${IMAGE} -O rc OUTPUT_VARIABLE rc ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "windres could not read ${IMAGE}: ${err}")
endif()

set(failures)
function(expect what regex)
  if(NOT rc MATCHES "${regex}")
    set(failures "${failures}\n  ${what}" PARENT_SCOPE)
  endif()
endfunction()

string(REPLACE "." ", " commas "${VERSION}")
expect("file version ${VERSION}.0" "\n FILEVERSION ${commas}, 0\n")
expect("product version ${VERSION}.0" "\n PRODUCTVERSION ${commas}, 0\n")
foreach(pair "FileVersion=${VERSION}" "ProductVersion=${VERSION}" "ProductName=${PRODUCT}" "CompanyName=${PUBLISHER}")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 key)
  list(GET pair 1 value)
  expect("${key} \"${value}\"" "VALUE \"${key}\", \"${value}\"\n")
endforeach()

if(KIND STREQUAL "program")
  # The manifest is the process's only when it is resource 1 of type 24.
  string(FIND "${rc}" "\n1 24 /* RT_MANIFEST */\nBEGIN\n" at)
  if(at LESS 0)
    set(failures "${failures}\n  a manifest as resource 1 of type 24")
  else()
    string(SUBSTRING "${rc}" ${at} -1 manifest)
    string(FIND "${manifest}" "\nEND\n" end)
    string(SUBSTRING "${manifest}" 0 ${end} manifest)
    # windres doubles the quotes inside its strings.
    string(REPLACE "\"\"" "'" manifest "${manifest}")
    string(REGEX REPLACE "\"\n *\"" "" manifest "${manifest}")
    set(rc "${manifest}")
    expect("the common controls 6 as a dependent assembly"
           "<dependentAssembly>(\\\\n| )*<assemblyIdentity type='win32' name='Microsoft.Windows.Common-Controls' version='6.0.0.0'")
    expect("system DPI awareness" "<dpiAware [^>]*>true</dpiAware>")
    expect("the program's name and version" "<assemblyIdentity type='win32' name='Tavrin.tavrin' version='${VERSION}.0'")
    execute_process(COMMAND ${WINDRES} -i ${IMAGE} -O rc OUTPUT_VARIABLE rc)
  endif()
  # Widths 16, 32, 48 and 0 (256) in the group's directory, written in octal.
  expect("the icon TAVRIN in 16, 32, 48 and 256 pixels"
         "\"TAVRIN\" 14 /\\* RT_GROUP_ICON \\*/\nBEGIN\n[^\n]*Has 4 elements[^\n]*\n[^\n]*\n[^\n]*\"\\\\020\\\\020[^\n]*\n[^\n]*\"\\\\040\\\\040[^\n]*\n[^\n]*\"\\\\060\\\\060[^\n]*\n[^\n]*\"\\\\000\\\\000")
elseif(NOT KIND STREQUAL "library")
  message(FATAL_ERROR "unknown KIND ${KIND}")
endif()

if(failures)
  message(FATAL_ERROR "${IMAGE} lacks:${failures}")
endif()
message(STATUS "${IMAGE}: resources as expected")
