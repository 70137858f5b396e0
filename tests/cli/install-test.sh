#!/usr/bin/env bash
# `cmake --install` into a prefix chosen at install time, and into a DESTDIR: the program, its data
# and bin/plovik land inside the chosen folder, nothing lands in the configured prefix, and the
# installed program builds a site with the templates installed beside it.
#   install-test.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passes=0
fails=0
check() {  # description, condition
    if eval "$2"; then
        echo "ok   $1"
        passes=$((passes + 1))
    else
        echo "FAIL $1"
        fails=$((fails + 1))
    fi
}

configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
bindir=$(sed -n 's/^CMAKE_INSTALL_BINDIR:PATH=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^PLOVIK_INSTALL_DIR:STRING=//p' "$build/CMakeCache.txt")
# What the configured prefix holds before, to see that the installs leave it alone.
snapshot() { ls -la --time-style=full-iso "$configured/$bindir" "$configured/$libdir" 2>&1; }
before=$(snapshot)

# Each install writes only inside its folder: every file it lists, and the folder's whole tree.
inside() {  # manifest, folder
    ! grep -v "^$2/" "$1" | grep -q .
}
below() {  # manifest, DESTDIR: every file it lists is there
    local f
    while IFS= read -r f; do [ -e "$2$f" ] || [ -L "$2$f" ] || return 1; done <"$1"
}

prefix="$tmp/prefix with space"
rc=0
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || rc=$?
check "cmake --install --prefix succeeds" '[ $rc -eq 0 ] || { cat "$tmp/install.log"; false; }'
cp "$build/install_manifest.txt" "$tmp/manifest-prefix"
check "every installed file is inside the chosen prefix" 'inside "$tmp/manifest-prefix" "$prefix"'
check "the program is in the private folder" '[ -x "$prefix/$libdir/plovik" ] && [ ! -L "$prefix/$libdir/plovik" ]'
check "bin/plovik is a relative link to it" \
    '[ -L "$prefix/$bindir/plovik" ] && [ "$(readlink "$prefix/$bindir/plovik" | cut -c1)" != / ] &&
     [ "$(readlink -f "$prefix/$bindir/plovik")" = "$(readlink -f "$prefix/$libdir/plovik")" ]'
check "the templates, help site, samples and user guide are beside it" \
    '[ -f "$prefix/$libdir/template/tplsetting.ini" ] && [ -f "$prefix/$libdir/help/index.html" ] &&
     [ -f "$prefix/$libdir/samples/clarity/index.html" ] &&
     [ -f "$prefix/$libdir/samples/clarity-noframe/index.html" ] && [ -f "$prefix/$libdir/Plovik.chm" ]'
check "the man page is installed" '[ -f "$prefix/share/man/man1/plovik.1.gz" ]'

# The installed program, started through its link from elsewhere, finds its own templates.
mkdir -p "$tmp/site"
rc=0
(cd / && "$prefix/$bindir/plovik" build --chm "$source/examples/Plovik.chm" --out "$tmp/site" --log) \
    >"$tmp/build.log" 2>&1 || rc=$?
check "the installed program builds the user guide" '[ $rc -eq 0 ] || { tail -5 "$tmp/build.log"; false; }'
check "the site has its entry page and the template's files" \
    '[ -f "$tmp/site/index.html" ] && [ -f "$tmp/site/css/frame.css" ] && [ -f "$tmp/site/js/frame.js" ]'

dest="$tmp/dest"
rc=0
DESTDIR="$dest" cmake --install "$build" >"$tmp/install.log" 2>&1 || rc=$?
check "cmake --install with DESTDIR succeeds" '[ $rc -eq 0 ] || { cat "$tmp/install.log"; false; }'
cp "$build/install_manifest.txt" "$tmp/manifest-destdir"
# The manifest names the files as they will be once DESTDIR's tree is moved into place.
check "with DESTDIR every file is below DESTDIR and the configured prefix" \
    'inside "$tmp/manifest-destdir" "$configured" && below "$tmp/manifest-destdir" "$dest"'
check "with DESTDIR bin/plovik reaches the program below DESTDIR" \
    '[ "$(readlink -f "$dest$configured/$bindir/plovik")" = "$(readlink -f "$dest$configured/$libdir/plovik")" ] &&
     [ -x "$dest$configured/$bindir/plovik" ]'
check "the configured prefix was left alone" '[ "$(snapshot)" = "$before" ]'

echo "$passes passed, $fails failed"
[ $fails -eq 0 ]
