# Cross-building Windows drivers and their console clients with mingw-w64,
# as custom commands inside the normal host build.
#
#   tavrin_add_windows_driver(<name> SOURCES <files...>)
#     builds bin/<name>.sys, a native-subsystem kernel image, and adds the test
#     <name>_sys_image that checks with objdump that it is a PE with subsystem
#     native whose DLL imports come only from ntoskrnl.exe and HAL.dll.
#   tavrin_add_windows_console(<name> SOURCES <files...> [LIBS <libs...>])
#     builds bin/<name>.exe, a console program, and adds <name>_exe_image that
#     checks it is a PE with the console subsystem.
#
# When the cross compiler is missing both do nothing but say so once, so the
# host build and its tests still work.

find_program(TAVRIN_MINGW_CXX x86_64-w64-mingw32-g++)
find_program(TAVRIN_MINGW_OBJDUMP x86_64-w64-mingw32-objdump)
if(NOT TAVRIN_MINGW_CXX OR NOT TAVRIN_MINGW_OBJDUMP)
  message(STATUS "mingw-w64 not found: Windows drivers and clients are not cross-built")
endif()

set(TAVRIN_WINDOWS_IMAGE_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckPeImage.cmake)

set(TAVRIN_DRIVER_COMPILE_FLAGS
    -std=c++17 -O2 -Wall -Wextra -Werror
    -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics -mno-stack-arg-probe
    # The kernel headers declare these two intrinsics a second time in C++.
    -D__INTRINSIC_DEFINED_InterlockedBitTestAndSet
    -D__INTRINSIC_DEFINED_InterlockedBitTestAndReset
    -I/usr/x86_64-w64-mingw32/include/ddk)

# The entry point of an x64 image carries no decoration: the symbol is DriverEntry.
set(TAVRIN_DRIVER_LINK_FLAGS
    -nostdlib -nostartfiles -s
    -Wl,--subsystem,native -Wl,--entry,DriverEntry -Wl,--wdmdriver
    -Wl,--image-base,0x140000000 -Wl,--file-alignment,0x200 -Wl,--section-alignment,0x1000
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--gc-sections
    -Wl,--major-os-version,10 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,10 -Wl,--minor-subsystem-version,0)

set(TAVRIN_CONSOLE_COMPILE_FLAGS -std=c++17 -O2 -Wall -Wextra -Werror)
set(TAVRIN_CONSOLE_LINK_FLAGS -static -s)

# Compiles each source into <dir>, one object per source, and returns the list.
function(_tavrin_mingw_objects out_var dir flags)
  set(objects)
  foreach(source ${ARGN})
    get_filename_component(path ${source} ABSOLUTE)
    get_filename_component(stem ${source} NAME_WE)
    set(object ${dir}/${stem}.o)
    file(RELATIVE_PATH shown ${CMAKE_SOURCE_DIR} ${path})
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${TAVRIN_MINGW_CXX} ${flags} -I${CMAKE_CURRENT_SOURCE_DIR} -MD -MF ${object}.d -c ${path} -o ${object}
      DEPENDS ${path}
      DEPFILE ${object}.d
      COMMENT "mingw-w64: compiling ${shown}"
      VERBATIM)
    list(APPEND objects ${object})
  endforeach()
  set(${out_var} ${objects} PARENT_SCOPE)
endfunction()

function(_tavrin_mingw_image name kind suffix compile_flags link_flags libs sources)
  set(image ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}${suffix})
  _tavrin_mingw_objects(objects ${CMAKE_CURRENT_BINARY_DIR}/${name}${suffix}.objects "${compile_flags}" ${sources})
  set(lib_flags)
  foreach(lib ${libs})
    list(APPEND lib_flags -l${lib})
  endforeach()
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${TAVRIN_MINGW_CXX} ${link_flags} ${objects} -o ${image} ${lib_flags}
    DEPENDS ${objects}
    COMMENT "mingw-w64: linking ${name}${suffix}"
    VERBATIM)
  string(REPLACE "." "_" target ${name}${suffix})
  add_custom_target(${target} ALL DEPENDS ${image})
  add_test(NAME ${target}_image
           COMMAND ${CMAKE_COMMAND} -DIMAGE=${image} -DOBJDUMP=${TAVRIN_MINGW_OBJDUMP} -DKIND=${kind}
                   -P ${TAVRIN_WINDOWS_IMAGE_CHECK})
endfunction()

function(tavrin_add_windows_driver name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  if(NOT TAVRIN_MINGW_CXX OR NOT TAVRIN_MINGW_OBJDUMP)
    return()
  endif()
  _tavrin_mingw_image(${name} driver .sys "${TAVRIN_DRIVER_COMPILE_FLAGS}" "${TAVRIN_DRIVER_LINK_FLAGS}"
                      "ntoskrnl;hal" "${ARG_SOURCES}")
endfunction()

function(tavrin_add_windows_console name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TAVRIN_MINGW_CXX OR NOT TAVRIN_MINGW_OBJDUMP)
    return()
  endif()
  _tavrin_mingw_image(${name} console .exe "${TAVRIN_CONSOLE_COMPILE_FLAGS}" "${TAVRIN_CONSOLE_LINK_FLAGS}"
                      "${ARG_LIBS}" "${ARG_SOURCES}")
endfunction()
