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

# kavrin_install_program(target): a program in bin/. It carries no RPATH: it opens every library
# of the project by its full path in lib/kavrindemo/ (found from /proc/self/exe), and an RPATH
# would put the bundled simulator ahead of a vendor's libfglib5.so in the system's library
# folders when the grabber library is looked up by name, so a real grabber would silently be
# replaced by the simulated one.
function(kavrin_install_program target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "")
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
