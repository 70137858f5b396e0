#!/usr/bin/env bash
# The command line's contract: exit status, messages and log stream of `plovik build`.
set -u
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
help_chm="$source_dir/tests/data/chm/pychm-example.chm"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A copy of the program beside a template catalogue of the test's own, so the test does not depend
# on the shipped templates.
mkdir -p "$tmp/prog/template/frame/"{css,js,images}
cp "$1" "$tmp/prog/plovik"
plovik="$tmp/prog/plovik"
printf '[VersionList]\nVersionCount=1\nVersionName0=frame\n[frame]\nTplCount=1\nTplName0=Test\nTplPath0=frame\n' \
    >"$tmp/prog/template/tplsetting.ini"
echo '/* test */' >"$tmp/prog/template/frame/css/site.css"
echo '<iframe src="{frame_content_file}">' >"$tmp/prog/template/frame/frame.tpl"
cp "$source_dir/template/library.tpl" "$tmp/prog/template/"
fails=0
passes=0
check() {  # description, condition
    if eval "$2"; then echo "ok   $1"; passes=$((passes + 1)); else echo "FAIL $1"; fails=$((fails + 1)); fi
}

err=$("$plovik" build --chm /nonexistent.chm --out /tmp 2>&1 >/dev/null); rc=$?
check "missing CHM is refused with status 2" '[ $rc -eq 2 ] && [ "$err" = "File does not exist!" ]'

: >"$tmp/empty.chm"
err=$("$plovik" build --chm "$tmp/empty.chm" --out "$tmp/none" 2>&1 >/dev/null); rc=$?
check "missing output folder is refused" '[ $rc -eq 2 ] && [ "$err" = "Output folder does not exist!" ]'

err=$("$plovik" build --out "$tmp" 2>&1 >/dev/null); rc=$?
check "no CHM at all is refused" '[ $rc -eq 2 ] && [ "$err" = "Please select a CHM file first!" ]'

mkdir -p "$tmp/site"
cp "$help_chm" "$tmp/help.chm"
"$plovik" build --chm "$tmp/help.chm" --out "$tmp/site" --log >"$tmp/log" 2>"$tmp/err"; rc=$?
check "a build of a help exits 0" '[ $rc -eq 0 ]'
check "the log starts with the extraction heading" \
    '[ "$(head -c 28 "$tmp/log")" = "start extract chm file......" ]'
check "the log ends with Done." '[ "$(tail -c 7 "$tmp/log" | od -An -c | tr -d " ")" = "\r\nDone." ]'
check "the template's folders arrive" '[ -d "$tmp/site/css" ] && [ -d "$tmp/site/js" ] && [ -d "$tmp/site/images" ]'
check "the entry page is named" 'grep -q "^Entry page: *$tmp/site/index.html$" "$tmp/err"'

# Nothing usable: an empty file, random bytes, a folder given as the CHM.
head -c 4096 /dev/urandom >"$tmp/random.chm"
mkdir -p "$tmp/folder.chm" "$tmp/site3"
for input in empty random folder; do
    err=$("$plovik" build --chm "$tmp/$input.chm" --out "$tmp/site3" --log 2>&1 >"$tmp/log3"); rc=$?
    check "$input CHM fails with status 3 and a reason" \
        '[ $rc -eq 3 ] && printf "%s" "$err" | grep -q "^plovik: the build failed: cannot read .*: ."'
    check "$input CHM logs failed, not Done" 'grep -q "failed: " "$tmp/log3" && ! grep -q "Done\." "$tmp/log3"'
done

# A site with an item that could not be made is still a site: status 4, and the report says
# which item and why (here a file stands where the template's images folder must go).
mkdir -p "$tmp/site4"
: >"$tmp/site4/images"
"$plovik" build --chm "$tmp/help.chm" --out "$tmp/site4" --force --log --report "$tmp/report" >/dev/null 2>"$tmp/err4"; rc=$?
check "failed items give status 4 and a report" \
    '[ $rc -eq 4 ] && grep -q "^file	images/	" "$tmp/report" && grep -q "^Failed items:  1" "$tmp/err4"'

# A folder of someone's own files is not built into unasked; a folder our build wrote is.
mkdir -p "$tmp/author"
cp "$help_chm" "$tmp/author/help.chm"
echo '<p>mine</p>' >"$tmp/author/toc.hhc"
err=$("$plovik" build --chm "$tmp/author/help.chm" --out "$tmp/author" 2>&1 >/dev/null); rc=$?
check "a folder of foreign files is refused, naming one" \
    '[ $rc -eq 2 ] && case "$err" in "The output folder $tmp/author"*"did not write, such as "*"--force"*) true ;; *) false ;; esac && [ "$(cat "$tmp/author/toc.hhc")" = "<p>mine</p>" ]'
"$plovik" build --chm "$tmp/help.chm" --out "$tmp/site" --log >/dev/null 2>&1; rc=$?
check "a folder an earlier build wrote builds again without asking" '[ $rc -eq 0 ]'
echo 'notes' >"$tmp/site/notes.txt"
"$plovik" build --chm "$tmp/help.chm" --out "$tmp/site" >/dev/null 2>&1; rc=$?
check "a file the user put beside the site is noticed" '[ $rc -eq 2 ] && [ -f "$tmp/site/notes.txt" ]'
sum=$(sha256sum <"$tmp/author/help.chm")
"$plovik" build --chm "$tmp/author/help.chm" --out "$tmp/author" --force >/dev/null 2>&1; rc=$?
check "with --force it builds, and never writes over the CHM it converts" \
    '[ $rc -eq 0 ] || [ $rc -eq 4 ]; [ "$(sha256sum <"$tmp/author/help.chm")" = "$sum" ] && [ -f "$tmp/author/.plovik-site" ]'

cat >"$tmp/p.zarn" <<ZARN
[version]
version=0
[general]
chmfile=help.chm
outputpath=site2
ZARN
mkdir -p "$tmp/site2"
(cd / && "$plovik" build "$tmp/p.zarn" --log >/dev/null 2>&1); rc=$?
check "relative paths in a project are taken beside it" '[ $rc -eq 0 ] && [ -d "$tmp/site2/css" ]'

# A project file that cannot be read is refused as such, at once (a FIFO never blocks).
mkfifo "$tmp/fifo.zarn"
mkdir "$tmp/folder.zarn"
printf '\x7fELF\0\0\0binary' >"$tmp/binary.zarn"
printf 'not an ini file\n' >"$tmp/text.zarn"
for case in "missing.zarn:No such file" "fifo.zarn:not a regular file" "folder.zarn:is a folder" \
    "binary.zarn:binary data" "text.zarn:no [section] line"; do
    name=${case%%:*}
    why=${case#*:}
    err=$(timeout 10 "$plovik" build "$tmp/$name" 2>&1 >/dev/null); rc=$?
    check "an unreadable project ($name) is refused with its name and reason" \
        '[ $rc -eq 2 ] && case "$err" in "The project file $tmp/$name cannot be opened: "*"$why"*) true ;; *) false ;; esac'
done

# One build per output folder: while another holds the folder's lock, a build is refused.
mkdir -p "$tmp/locked"
err=$(flock "$tmp/locked/.plovik-lock" "$plovik" build --chm "$tmp/help.chm" --out "$tmp/locked" 2>&1 >/dev/null); rc=$?
check "a build into a folder another build holds is refused, naming it" \
    '[ $rc -eq 2 ] && case "$err" in "Another build is writing into the output folder $tmp/locked"*) true ;; *) false ;; esac'
"$plovik" build --chm "$tmp/help.chm" --out "$tmp/locked" --log >/dev/null 2>&1; rc=$?
check "once it is let go, the folder builds and keeps no lock file" '[ $rc -eq 0 ] && [ ! -e "$tmp/locked/.plovik-lock" ]'

# Libraries: several helps, each in its folder, with a library page; links between them relative.
data="$source_dir/tests/data"
mkdir -p "$tmp/lib" "$tmp/other"
cp "$data/library-a.chm" "$tmp/other/LIBRARY-A.chm"
"$plovik" build --out "$tmp/lib" --title 'Two <helps>' "$data/library-a.chm" "$data/library-b.chm" \
    "$data/../data/library-b.chm" "$tmp/other/LIBRARY-A.chm" --report "$tmp/lib-report" \
    --log >"$tmp/lib-log" 2>"$tmp/lib-err"; rc=$?
check "a library build exits 0" '[ $rc -eq 0 ]'
check "each help gets its own folder, the same file once, a shared name made unique" \
    '[ -f "$tmp/lib/library-a/intro.htm" ] && [ -f "$tmp/lib/library-b/topic.htm" ] && [ -f "$tmp/lib/LIBRARY-A-2/intro.htm" ] && [ $(ls "$tmp/lib" | wc -l) -eq 4 ]'
check "the library page lists the helps by title, its own title escaped" \
    'grep -q ">Library A</a>" "$tmp/lib/index.html" && grep -q ">Library B</a>" "$tmp/lib/index.html" && grep -q "<title>Two &lt;helps&gt;</title>" "$tmp/lib/index.html"'
check "links between the helps are relative" 'grep -q "href=\"../library-b/topic.htm#details\"" "$tmp/lib/library-a/intro.htm"'
check "a link into a help outside the library stays and is reported from the library's folder" \
    'grep -q "ms-its:missing.chm::/x.htm" "$tmp/lib/library-a/intro.htm" && grep -q "^link	library-a/intro.htm	leads into a help that is not in the library: ms-its:missing.chm::/x.htm$" "$tmp/lib-report"'
check "the summary names the library page" 'grep -q "^Entry page: *$tmp/lib/index.html$" "$tmp/lib-err"'

mkdir -p "$tmp/lib2"
"$plovik" build --out "$tmp/lib2" "$data/library-a.chm" "$tmp/random.chm" "$data/library-b.chm" \
    --log >/dev/null 2>"$tmp/lib2-err"; rc=$?
check "a help that fails does not lose the others, and the status says so" \
    '[ $rc -eq 3 ] && [ -f "$tmp/lib2/library-b/topic.htm" ] && grep -q ">Library B</a>" "$tmp/lib2/index.html" && grep -q "^Help random/: the build failed" "$tmp/lib2-err"'

mkdir -p "$tmp/lib3"
err=$("$plovik" build --out "$tmp/lib3" "$data/library-a.chm" "$tmp/gone.chm" 2>&1 >/dev/null); rc=$?
check "a missing help refuses the whole library before anything is built" \
    '[ $rc -eq 2 ] && [ -z "$(ls "$tmp/lib3")" ] && case "$err" in "File does not exist! ($tmp/gone.chm)"*) true ;; *) false ;; esac'

mkdir -p "$tmp/proj/helps" "$tmp/proj/site"
cp "$data/library-a.chm" "$data/library-b.chm" "$tmp/proj/helps/"
printf '[general]\nchmfile=helps/library-a.chm\noutputpath=site\n[library]\ntitle=From a project\nchmfile2=helps/library-b.chm\n' >"$tmp/proj/p.zarn"
(cd / && "$plovik" build "$tmp/proj/p.zarn" --log >/dev/null 2>&1); rc=$?
check "a project's [library] section builds a library, paths beside the project" \
    '[ $rc -eq 0 ] && [ -f "$tmp/proj/site/library-b/topic.htm" ] && grep -q "<title>From a project</title>" "$tmp/proj/site/index.html"'

"$plovik" build --help >"$tmp/help" 2>&1
check "build --help explains the options" 'grep -q -- "--no-search" "$tmp/help"'

echo "$passes passed, $fails failed"
[ $fails -eq 0 ]
