# Cross-building Windows drivers and their console clients with mingw-w64,
# as custom commands inside the normal host build.
#
#   tavrin_add_windows_driver(<name> SOURCES <files...>)
#     builds bin/<name>.sys, a native-subsystem kernel image test-signed with
#     SHA-256, and adds the test <name>_sys_image that checks with objdump and
#     osslsigncode what Windows requires of a driver image (see
#     CheckPeImage.cmake), the signature included.
#   tavrin_add_windows_console(<name> SOURCES <files...> [LIBS <libs...>])
#     builds bin/<name>.exe, a console program, and adds <name>_exe_image that
#     checks it is a PE with the console subsystem.
#   tavrin_install_driver_package(<name> INF <file> CLIENT <console name>)
#     copies the INF beside the image and installs the driver's package (image,
#     INF, console client, test certificate) in
#     ${CMAKE_INSTALL_DATADIR}/tavrin/drivers/<name>, component `drivers`.
#
# The test-signing certificate and its key are made by openssl in the build
# tree on the first build; they are never part of the sources. When the cross
# compiler, openssl or osslsigncode is missing, all of this does nothing but
# say so once, so the host build and its tests still work.

find_program(TAVRIN_MINGW_CXX x86_64-w64-mingw32-g++)
find_program(TAVRIN_MINGW_OBJDUMP x86_64-w64-mingw32-objdump)
find_program(TAVRIN_OPENSSL openssl)
find_program(TAVRIN_OSSLSIGNCODE osslsigncode)
set(TAVRIN_WINDOWS_BUILD ON)
foreach(tool TAVRIN_MINGW_CXX TAVRIN_MINGW_OBJDUMP TAVRIN_OPENSSL TAVRIN_OSSLSIGNCODE)
  if(NOT ${tool})
    set(TAVRIN_WINDOWS_BUILD OFF)
  endif()
endforeach()
if(NOT TAVRIN_WINDOWS_BUILD)
  message(STATUS "mingw-w64, openssl or osslsigncode not found: Windows drivers and clients are not cross-built")
endif()

include(GNUInstallDirs)
set(TAVRIN_TEST_SIGNING_DIR ${CMAKE_BINARY_DIR}/drivers/test-signing)
set(TAVRIN_TEST_SIGNING_KEY ${TAVRIN_TEST_SIGNING_DIR}/tavrin-test-signing.key)
set(TAVRIN_TEST_SIGNING_PEM ${TAVRIN_TEST_SIGNING_DIR}/tavrin-test-signing.pem)
# The DER form is the one Windows' certificate tools import.
set(TAVRIN_TEST_SIGNING_CER ${TAVRIN_TEST_SIGNING_DIR}/tavrin-test-signing.cer)
set(TAVRIN_WINDOWS_IMAGE_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckPeImage.cmake)

set(TAVRIN_DRIVER_COMPILE_FLAGS
    -std=c++17 -O2 -Wall -Wextra -Werror
    -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics -mno-stack-arg-probe
    # The kernel headers declare these two intrinsics a second time in C++.
    -D__INTRINSIC_DEFINED_InterlockedBitTestAndSet
    -D__INTRINSIC_DEFINED_InterlockedBitTestAndReset
    # Nor do they define this annotation, which only the WDK's analysis reads.
    "-D_Dispatch_type_(type)="
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

function(_tavrin_mingw_image name suffix output compile_flags link_flags libs sources)
  _tavrin_mingw_objects(objects ${CMAKE_CURRENT_BINARY_DIR}/${name}${suffix}.objects "${compile_flags}" ${sources})
  set(lib_flags)
  foreach(lib ${libs})
    list(APPEND lib_flags -l${lib})
  endforeach()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${TAVRIN_MINGW_CXX} ${link_flags} ${objects} -o ${output} ${lib_flags}
    DEPENDS ${objects}
    COMMENT "mingw-w64: linking ${name}${suffix}"
    VERBATIM)
endfunction()

# One test-signing certificate per build tree, made when a driver first needs it.
function(_tavrin_test_signing_certificate)
  get_property(done GLOBAL PROPERTY TAVRIN_TEST_SIGNING_RULE)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY TAVRIN_TEST_SIGNING_RULE ON)
  add_custom_command(
    OUTPUT ${TAVRIN_TEST_SIGNING_KEY} ${TAVRIN_TEST_SIGNING_PEM} ${TAVRIN_TEST_SIGNING_CER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVRIN_TEST_SIGNING_DIR}
    COMMAND ${TAVRIN_OPENSSL} req -x509 -newkey rsa:3072 -sha256 -nodes -days 3650
            -subj "/O=Tavrin/CN=Tavrin driver test signing (not for release)"
            -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning"
            -addext "basicConstraints=critical,CA:FALSE"
            -keyout ${TAVRIN_TEST_SIGNING_KEY} -out ${TAVRIN_TEST_SIGNING_PEM}
    COMMAND ${TAVRIN_OPENSSL} x509 -in ${TAVRIN_TEST_SIGNING_PEM} -outform der -out ${TAVRIN_TEST_SIGNING_CER}
    COMMENT "openssl: making the driver test-signing certificate"
    VERBATIM)
  add_custom_target(tavrin_test_signing_certificate DEPENDS ${TAVRIN_TEST_SIGNING_PEM})
endfunction()

function(tavrin_add_windows_driver name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  if(NOT TAVRIN_WINDOWS_BUILD)
    return()
  endif()
  _tavrin_test_signing_certificate()
  set(unsigned ${CMAKE_CURRENT_BINARY_DIR}/${name}.unsigned.sys)
  set(image ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.sys)
  _tavrin_mingw_image(${name} .sys ${unsigned} "${TAVRIN_DRIVER_COMPILE_FLAGS}" "${TAVRIN_DRIVER_LINK_FLAGS}"
                      "ntoskrnl;hal" "${ARG_SOURCES}")
  # osslsigncode also sets the image's checksum, which the signature covers.
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${image}
    COMMAND ${TAVRIN_OSSLSIGNCODE} sign -h sha256 -n ${name} -certs ${TAVRIN_TEST_SIGNING_PEM}
            -key ${TAVRIN_TEST_SIGNING_KEY} -in ${unsigned} -out ${image}
    DEPENDS ${unsigned} ${TAVRIN_TEST_SIGNING_PEM} ${TAVRIN_TEST_SIGNING_KEY}
    COMMENT "osslsigncode: test-signing ${name}.sys"
    VERBATIM)
  add_custom_target(${name}_sys ALL DEPENDS ${image})
  add_dependencies(${name}_sys tavrin_test_signing_certificate)
  add_test(NAME ${name}_sys_image
           COMMAND ${CMAKE_COMMAND} -DIMAGE=${image} -DOBJDUMP=${TAVRIN_MINGW_OBJDUMP} -DKIND=driver
                   -DOSSLSIGNCODE=${TAVRIN_OSSLSIGNCODE} -DCERT=${TAVRIN_TEST_SIGNING_PEM}
                   -P ${TAVRIN_WINDOWS_IMAGE_CHECK})
endfunction()

function(tavrin_add_windows_console name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TAVRIN_WINDOWS_BUILD)
    return()
  endif()
  set(image ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.exe)
  _tavrin_mingw_image(${name} .exe ${image} "${TAVRIN_CONSOLE_COMPILE_FLAGS}" "${TAVRIN_CONSOLE_LINK_FLAGS}"
                      "${ARG_LIBS}" "${ARG_SOURCES}")
  add_custom_target(${name}_exe ALL DEPENDS ${image})
  add_test(NAME ${name}_exe_image
           COMMAND ${CMAKE_COMMAND} -DIMAGE=${image} -DOBJDUMP=${TAVRIN_MINGW_OBJDUMP} -DKIND=console
                   -P ${TAVRIN_WINDOWS_IMAGE_CHECK})
endfunction()

function(tavrin_install_driver_package name)
  cmake_parse_arguments(ARG "" "INF;CLIENT" "" ${ARGN})
  # Windows installs a driver from a folder holding the INF and the files it
  # names, so the INF sits beside the image in the build tree as well.
  configure_file(${ARG_INF} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.inf COPYONLY)
  if(NOT TAVRIN_WINDOWS_BUILD)
    return()
  endif()
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.sys ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.inf
                ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${ARG_CLIENT}.exe ${TAVRIN_TEST_SIGNING_CER}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/tavrin/drivers/${name}
          COMPONENT drivers)
endfunction()
