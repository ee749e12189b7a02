# MSI packages made by Debian's wixl from packaging/windows/tavrin.wxs.
#
#   tavrin_add_msi(<target> OUTPUT <name.msi> VERSION <x.y.z> PROGRAM <exe target> [ALL])
#     builds a package of <exe target>'s image as tavrin.exe, lumbra.dll and
#     the drivers' images; the program and the library go in without their
#     debugging sections, as the copies in <name>.files/ beside the package.
#     The packages of one version and bitness share a product code, so
#     building one again never makes a second entry in the installed-programs
#     list.
#
# TAVRIN_MSI_ARCH is x86 or x64, the bitness of this build's packages, and
# TAVRIN_MSI the package the target msi makes (packaging/windows/msi.cmake).

find_program(TAVRIN_WIXL wixl)
if(NOT TAVRIN_WIXL)
  message(FATAL_ERROR "wixl is missing: run scripts/deps.sh")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVRIN_MSI_ARCH x64)
else()
  set(TAVRIN_MSI_ARCH x86)
endif()
set(TAVRIN_MSI_SOURCE ${PROJECT_SOURCE_DIR}/packaging/windows/tavrin.wxs)
set(TAVRIN_MSI ${CMAKE_BINARY_DIR}/tavrin-${PROJECT_VERSION}-${TAVRIN_MSI_ARCH}.msi)
# Only the name space of the product codes made from bitness and version.
set(TAVRIN_MSI_PRODUCT_CODES 6E3D3D0A-52C4-4B8A-9A57-3F0F6C0D7B21)

function(tavrin_add_msi target)
  cmake_parse_arguments(ARG "ALL" "OUTPUT;VERSION;PROGRAM" "" ${ARGN})
  foreach(part lumbra delvan_sys ostrak_sys delvanctl_exe ostrakctl_exe)
    if(NOT TARGET ${part})
      message(FATAL_ERROR "the MSI package needs ${part}: build with TAVRIN_WITH_DRIVERS and the drivers' cross-build")
    endif()
  endforeach()
  string(UUID product_code NAMESPACE ${TAVRIN_MSI_PRODUCT_CODES} NAME "${TAVRIN_MSI_ARCH} ${ARG_VERSION}" TYPE SHA1
         UPPER)
  string(REGEX REPLACE "\\.msi$" ".files" files ${ARG_OUTPUT})
  add_custom_command(
    OUTPUT ${files}/tavrin.exe ${files}/lumbra.dll
    COMMAND ${CMAKE_COMMAND} -E make_directory ${files}
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${files}/tavrin.exe $<TARGET_FILE:${ARG_PROGRAM}>
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${files}/lumbra.dll $<TARGET_FILE:lumbra>
    DEPENDS ${ARG_PROGRAM} lumbra
    VERBATIM)
  set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set(certificate ${CMAKE_BINARY_DIR}/drivers/test-signing/tavrin-test-signing.cer)
  # wixl takes the files' names only relative to the folder it runs in.
  file(RELATIVE_PATH rel_bin ${CMAKE_BINARY_DIR} ${bin})
  file(RELATIVE_PATH rel_certificate ${CMAKE_BINARY_DIR} ${certificate})
  file(RELATIVE_PATH rel_icon ${CMAKE_BINARY_DIR} ${TAVRIN_ICON})
  file(RELATIVE_PATH rel_files ${CMAKE_BINARY_DIR} ${files})
  set(all)
  if(ARG_ALL)
    set(all ALL)
  endif()
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${TAVRIN_WIXL} -a ${TAVRIN_MSI_ARCH} -o ${ARG_OUTPUT}
            -D Arch=${TAVRIN_MSI_ARCH} -D Version=${ARG_VERSION} -D ProductCode=${product_code}
            -D ProductName=${TAVRIN_PRODUCT_NAME} -D Publisher=${TAVRIN_PUBLISHER}
            -D Description=${TAVRIN_PROGRAM_DESCRIPTION} -D Icon=${rel_icon}
            -D TavrinExe=${rel_files}/tavrin.exe -D LumbraDll=${rel_files}/lumbra.dll
            -D DriverDir=${rel_bin} -D Certificate=${rel_certificate}
            ${TAVRIN_MSI_SOURCE}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${TAVRIN_MSI_SOURCE} ${files}/tavrin.exe ${files}/lumbra.dll ${TAVRIN_ICON} ${certificate}
            ${bin}/delvan.sys ${bin}/delvan.inf ${bin}/delvanctl.exe
            ${bin}/ostrak.sys ${bin}/ostrak.inf ${bin}/ostrakctl.exe
    COMMENT "wixl: making ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ${all} DEPENDS ${ARG_OUTPUT})
  add_dependencies(${target} ${ARG_PROGRAM} lumbra tavrin_icon delvan_sys ostrak_sys delvanctl_exe ostrakctl_exe)
endfunction()
