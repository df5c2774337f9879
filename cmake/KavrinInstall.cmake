# Where `cmake --install` puts things (GNUInstallDirs):
#   bin/kavrindemo, bin/kavrin                 the programs
#   lib/kavrindemo/                            the run-time libraries and the simulated grabber
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1   (dist/)
#
# The run-time libraries are private to the programs: they are bound by name at run time and
# found "beside the program" (platform/ProgramFolder.h), which looks in lib/kavrindemo/ next to
# the program's bin/ folder. The folder is fixed rather than CMAKE_INSTALL_LIBDIR, which on
# Debian becomes lib/<multiarch> under /usr and would move the libraries out of that reach.
include(GNUInstallDirs)

set(KAVRIN_INSTALL_PRIVATE_LIBDIR "lib/kavrindemo")

# The programs' RPATH: the library folder seen from bin/.
file(RELATIVE_PATH KAVRIN_BIN_TO_LIBDIR "/${CMAKE_INSTALL_BINDIR}"
    "/${KAVRIN_INSTALL_PRIVATE_LIBDIR}")
set(KAVRIN_PROGRAM_INSTALL_RPATH "$ORIGIN/${KAVRIN_BIN_TO_LIBDIR}")

# kavrin_install_program(target): a program in bin/ that finds the project's libraries.
function(kavrin_install_program target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${KAVRIN_PROGRAM_INSTALL_RPATH}")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# kavrin_install_runtime_library(target): a library the programs load at run time (or a helper
# library one of those loads from its own folder), into lib/kavrindemo/. Every such library of
# the tree is installed through here and nowhere else.
function(kavrin_install_runtime_library target)
    # A library finds its siblings in its own folder; nothing of the build tree is kept.
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target} LIBRARY DESTINATION ${KAVRIN_INSTALL_PRIVATE_LIBDIR})
endfunction()
