# Packages made by CPack from a build, e.g.
#   cpack --config build/linux/CPackConfig.cmake -B build/linux/packages
# Included at the end of the top CMakeLists.txt, after every install() rule.

set(CPACK_PACKAGE_VERSION "3.15")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "A small interactive Lisp with turtle graphics")
set(CPACK_PACKAGE_VENDOR "Vexilon")

# The Debian package of the console program: vexilon-cli, the start-up
# library, the examples and the guides, installed under /usr. The program
# is linked statically on Linux and depends on no other package.
if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME vexilon-cli)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vexilon developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Runs Vexilon programs in a terminal: \
a REPL with line editing, or typed programs and source files from the \
command line, with the turtle's drawing written as SVG.")
endif()

include(CPack)
