#!/usr/bin/env bash
# Compiles every help project under tests/data/helps/<name>/ with Free Pascal's chmcmd into
# tests/data/<project>.chm, one .chm per .hhp (a folder may hold variants sharing their pages).
#   tests/data/helps/make.sh [NAME ...]      (default: every folder)
# The .chm files are committed, so the tests never need chmcmd; rerun this after changing a
# source and commit the result. chmcmd stamps the time into the file, so each run differs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
data="$(dirname "$here")"
command -v chmcmd >/dev/null || { echo "chmcmd is not installed (Debian: fp-utils)" >&2; exit 1; }

# chmcmd records each topic's absolute source path in #STRINGS when there are context ids:
# compile a copy in a scratch folder so that the checkout's path does not end up in the files.
scratch="$(mktemp -d "${TMPDIR:-/tmp}/plovik-helps.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for dir in "$here"/*/; do names+=("$(basename "$dir")"); done
fi
status=0
for name in "${names[@]}"; do
    [ -d "$here/$name" ] || { echo "no help $name" >&2; status=1; continue; }
    rm -rf "${scratch:?}/$name"
    cp -a "$here/$name" "$scratch/$name"
    for hhp in "$scratch/$name"/*.hhp; do
        project="$(basename "$hhp" .hhp)"
        log="$scratch/$project.log"
        # --no-html-scan: store exactly the files the project lists, nothing chmcmd guesses.
        if ! (cd "$scratch/$name" && chmcmd --no-html-scan "$project.hhp") >"$log" 2>&1 ||
            grep -q '^Error' "$log" || [ ! -f "$scratch/$name/$project.chm" ]; then
            cat "$log" >&2
            echo "$project: FAILED" >&2
            status=1
            continue
        fi
        # rename-stored: "OLD NEW" lines, names of equal length, renamed in the compiled file's
        # directory (and wherever else the name is stored uncompressed). It makes helps that
        # chmcmd cannot: one whose contents exist only in binary form, as Microsoft's compiler
        # writes them with "Binary TOC=Yes".
        if [ -f "$here/$name/rename-stored" ]; then
            while read -r from to; do
                [ -n "$from" ] || continue
                [ ${#from} -eq ${#to} ] || { echo "$name: $from and $to differ in length" >&2; exit 1; }
                FROM="$from" TO="$to" perl -0777 -pi -e 's/\Q$ENV{FROM}\E/$ENV{TO}/g' \
                    "$scratch/$name/$project.chm"
            done <"$here/$name/rename-stored"
        fi
        mv "$scratch/$name/$project.chm" "$data/$project.chm"
        echo "$data/$project.chm: $(stat -c %s "$data/$project.chm") bytes"
    done
done
exit $status
