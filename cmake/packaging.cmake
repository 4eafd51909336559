# Release packages (CPack), one block per platform:
#   cmake --build --preset <preset> --target package
# What goes into a package is said by the install() rules beside the
# targets (shell/shell.cmake for Windows).

if(WIN32)
  # The Windows release: a zip per build (win64, win32) holding one folder
  # that vexilon.exe runs from as it is, wherever it is unpacked.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VEX_PACKAGE_ARCH win64)
  else()
    set(VEX_PACKAGE_ARCH win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME vexilon)
  set(CPACK_PACKAGE_VERSION 3.15)
  set(CPACK_PACKAGE_FILE_NAME vexilon-3.15-${VEX_PACKAGE_ARCH})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  # The programs carry no debugging symbols; stripped they are half the size.
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endif()
