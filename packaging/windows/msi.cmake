# `cmake --build --preset win32 --target msi` (or win64; the default build
# makes it too) gives tavrin-<version>-x86.msi or -x64.msi in the build folder:
# the program and lumbra.dll in Program Files\Tavrin with a Start-menu
# shortcut, and the drivers' packages in Program Files\Tavrin\drivers. Both
# bitnesses carry the x64 drivers.
tavrin_add_msi(msi OUTPUT ${TAVRIN_MSI} VERSION ${PROJECT_VERSION} PROGRAM tavrin ALL)
