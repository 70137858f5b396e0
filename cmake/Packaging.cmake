# `cpack -G DEB` in the build folder: a Debian package of what `cmake --install` installs, under
# /usr. Its dependencies are read off the program by dpkg-shlibdeps, so they follow whatever the
# program was linked with; a browser is only recommended, as the command line needs none.

set(CPACK_PACKAGE_NAME plovik)
set(CPACK_PACKAGE_VENDOR "Plovik maintainers")
set(CPACK_PACKAGE_CONTACT "Plovik maintainers <maintainers@users.noreply.c-seed-bb5a9462.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn CHM help files into static web sites")
# Debian shows the description as it is, so its lines stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Plovik unpacks a compiled HTML help file (.chm), reads its table of
contents and keyword index, and writes a web site that any web server can
serve: a framed site with a contents tree, keyword index, full-text search
and previous/next buttons, or a no-frame site with every page merged into a
template. Context ids of the help open their topics through the site's
context.html.

It has a command line (plovik build, extract, list) and a wizard that runs
in a browser window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium | www-browser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
