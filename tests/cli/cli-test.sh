#!/usr/bin/env bash
# The command line's contract: exit status, messages and log stream of `plovik build`.
set -u
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
"$plovik" build --chm "$tmp/empty.chm" --out "$tmp/site" --log >"$tmp/log" 2>"$tmp/err"; rc=$?
check "a build of an unreadable CHM ends with Done" '[ $rc -eq 0 ]'
check "the log starts with the extraction heading" \
    '[ "$(head -c 28 "$tmp/log")" = "start extract chm file......" ]'
check "the log ends with Done." '[ "$(tail -c 7 "$tmp/log" | od -An -c | tr -d " ")" = "\r\nDone." ]'
check "the template's folders arrive" '[ -d "$tmp/site/css" ] && [ -d "$tmp/site/js" ] && [ -d "$tmp/site/images" ]'

cat >"$tmp/p.zarn" <<ZARN
[version]
version=0
[general]
chmfile=empty.chm
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
err=$(flock "$tmp/locked/.plovik-lock" "$plovik" build --chm "$tmp/empty.chm" --out "$tmp/locked" 2>&1 >/dev/null); rc=$?
check "a build into a folder another build holds is refused, naming it" \
    '[ $rc -eq 2 ] && case "$err" in "Another build is writing into the output folder $tmp/locked"*) true ;; *) false ;; esac'
"$plovik" build --chm "$tmp/empty.chm" --out "$tmp/locked" --log >/dev/null 2>&1; rc=$?
check "once it is let go, the folder builds and keeps no lock file" '[ $rc -eq 0 ] && [ ! -e "$tmp/locked/.plovik-lock" ]'

"$plovik" build --help >"$tmp/help" 2>&1
check "build --help explains the options" 'grep -q -- "--no-search" "$tmp/help"'

echo "$passes passed, $fails failed"
[ $fails -eq 0 ]
