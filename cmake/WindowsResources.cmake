# The Windows images' resources, compiled with mingw-w64's windres (CMake's RC
# language).
#
#   tavrin_add_version_resource(<target> DESCRIPTION <text> [VERSION <x.y.z>])
#     gives <target> a version resource with the project's version (or the
#     one given), product name and publisher
#   tavrin_add_program_resources(<target> [VERSION <x.y.z>])
#     gives the program image <target> its manifest, its icon TAVRIN (the
#     file TAVRIN_ICON, which the packages show too) and its version resource
#   tavrin_windows_icon(<svg> <ico>)
#     a rule that renders <svg> at 16, 32, 48 and 256 pixels and packs the
#     four into <ico>, the 256-pixel one PNG-compressed as Windows Vista and
#     later read it (the others stay bitmaps for older readers)

enable_language(RC)

find_program(TAVRIN_RSVG_CONVERT rsvg-convert)
find_program(TAVRIN_ICOTOOL icotool)
if(NOT TAVRIN_RSVG_CONVERT OR NOT TAVRIN_ICOTOOL)
  message(FATAL_ERROR "rsvg-convert or icotool is missing: run scripts/deps.sh")
endif()

set(TAVRIN_RC_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(TAVRIN_VERSION_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/windows/version.rc.in)
set(TAVRIN_MANIFEST_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/windows/tavrin.exe.manifest.in)
set(TAVRIN_PROGRAM_RC ${PROJECT_SOURCE_DIR}/app/ui/win32/tavrin.rc)
set(TAVRIN_PROGRAM_DESCRIPTION "Tavrin evaluation board program")
set(TAVRIN_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)
set(TAVRIN_ICON ${TAVRIN_RESOURCE_DIR}/tavrin.ico)

function(tavrin_add_version_resource target)
  cmake_parse_arguments(ARG "" "DESCRIPTION;VERSION" "" ${ARGN})
  if(ARG_VERSION)
    set(TAVRIN_RC_VERSION ${ARG_VERSION})
  endif()
  string(REPLACE "." "," TAVRIN_RC_VERSION_COMMAS "${TAVRIN_RC_VERSION},0")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(TAVRIN_RC_FILETYPE VFT_APP)
    set(suffix .exe)
  else()
    set(TAVRIN_RC_FILETYPE VFT_DLL)
    set(suffix .dll)
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(TAVRIN_RC_NAME ${name})
  set(TAVRIN_RC_FILENAME ${name}${suffix})
  set(TAVRIN_RC_DESCRIPTION ${ARG_DESCRIPTION})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${TAVRIN_VERSION_RC_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

function(tavrin_windows_icon svg ico)
  get_filename_component(dir ${ico} DIRECTORY)
  get_filename_component(stem ${ico} NAME_WE)
  set(pngs)
  foreach(size 16 32 48 256)
    set(png ${dir}/${stem}-${size}.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${TAVRIN_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
      DEPENDS ${svg}
      VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  list(GET pngs 3 large)
  list(REMOVE_AT pngs 3)
  add_custom_command(
    OUTPUT ${ico}
    COMMAND ${TAVRIN_ICOTOOL} -c -o ${ico} ${pngs} -r ${large}
    DEPENDS ${pngs} ${large}
    COMMENT "icotool: making ${stem}.ico"
    VERBATIM)
endfunction()

function(tavrin_add_program_resources target)
  cmake_parse_arguments(ARG "" "VERSION" "" ${ARGN})
  get_property(made GLOBAL PROPERTY TAVRIN_PROGRAM_RESOURCES)
  if(NOT made)
    set_property(GLOBAL PROPERTY TAVRIN_PROGRAM_RESOURCES ON)
    set(TAVRIN_RC_DESCRIPTION ${TAVRIN_PROGRAM_DESCRIPTION})
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(TAVRIN_MANIFEST_ARCH amd64)
    else()
      set(TAVRIN_MANIFEST_ARCH x86)
    endif()
    configure_file(${TAVRIN_MANIFEST_TEMPLATE} ${TAVRIN_RESOURCE_DIR}/tavrin.exe.manifest @ONLY)
    tavrin_windows_icon(${PROJECT_SOURCE_DIR}/app/desktop/tavrin.svg ${TAVRIN_ICON})
    add_custom_target(tavrin_icon DEPENDS ${TAVRIN_ICON})
  endif()
  target_sources(${target} PRIVATE ${TAVRIN_PROGRAM_RC})
  # windres finds the files the script names through the include path.
  set_source_files_properties(${TAVRIN_PROGRAM_RC} TARGET_DIRECTORY ${target} PROPERTIES
    OBJECT_DEPENDS "${TAVRIN_ICON};${TAVRIN_RESOURCE_DIR}/tavrin.exe.manifest"
    COMPILE_OPTIONS "-I${TAVRIN_RESOURCE_DIR}")
  add_dependencies(${target} tavrin_icon)
  tavrin_add_version_resource(${target} DESCRIPTION ${TAVRIN_PROGRAM_DESCRIPTION} VERSION ${ARG_VERSION})
endfunction()
