# Release packages (CPack), one block per platform:
#   cmake --build --preset <preset> --target package
# What goes into a package is said by the install() rules beside the
# targets (console/console.cmake, shell/shell.cmake). Included at the end of
# the top CMakeLists.txt, after every install() rule.

set(CPACK_PACKAGE_VERSION "3.15")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "A small interactive Lisp with turtle graphics")
set(CPACK_PACKAGE_VENDOR "Vexilon")
# The programs carry no debugging symbols; stripped they are half the size.
set(CPACK_STRIP_FILES ON)

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
  set(CPACK_PACKAGE_FILE_NAME vexilon-3.15-${VEX_PACKAGE_ARCH})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  # The Debian package of the console program: vexilon-cli, the start-up
  # library, the examples and the guides, installed under /usr. The program
  # is linked statically on Linux and depends on no other package.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME vexilon-cli)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vexilon developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Runs Vexilon programs in a terminal: \
a REPL with line editing, or typed programs and source files from the \
command line, with the turtle's drawing written as SVG.")
endif()

include(CPack)
