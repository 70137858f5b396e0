#!/usr/bin/env bash
# Builds the two sample sites from examples/ with the plovik program and runs the browser tests
# against them in Chromium, then drives the wizard itself (wizard.test.mjs), then the context help,
# a library of two helps and the corpus's helps (each test file builds its own sites). Each test file prints
# "N passed, N failed"; exits non-zero when a test fails.
#   tests/browser/run.sh [--only TEXT]
# PLOVIK_BUILD names the build folder (default build/); it is built first when needed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
cd "$repo"
build="${PLOVIK_BUILD:-build}"

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S . -B "$build" -G Ninja >/dev/null
fi
if ! out=$(cmake --build "$build" -j2 --target plovik 2>&1); then echo "$out" >&2; exit 1; fi

if [ ! -d "$here/node_modules/playwright-core" ]; then
    (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
fi

SAMPLE_ADDRESS="https://help.example.org/plovik/"
sites="$(mktemp -d "${TMPDIR:-/tmp}/plovik-sites.XXXXXX")"
trap 'rm -rf "$sites"' EXIT
# The no-frame site is given an address, so that it carries what search engines read.
for layout in frame noframe; do
    mkdir -p "$sites/$layout"
    address=()
    [ "$layout" = noframe ] && address=(--base-url "$SAMPLE_ADDRESS")
    if ! "$build/plovik" build "examples/sample-$layout.zarn" --out "$sites/$layout/" --log \
        "${address[@]}" >"$sites/$layout.log" 2>&1; then
        cat "$sites/$layout.log" >&2
        echo "0 passed, 1 failed"
        exit 1
    fi
done

status=0
node "$here/sites.test.mjs" --frame "$sites/frame" --noframe "$sites/noframe" \
    --address "$SAMPLE_ADDRESS" "$@" || status=1
node "$here/wizard.test.mjs" --program "$build/plovik" "$@" || status=1
node "$here/search.test.mjs" --plovik "$build/plovik" --data "$repo/tests/data" "$@" || status=1
# Context help: the test help with context ids in both layouts, and a real one from the corpus.
node "$here/context.test.mjs" --plovik "$build/plovik" --data "$repo/tests/data" \
    --corpus "${PLOVIK_CORPUS:-$repo/../shared/corpus}" "$@" || status=1
# What the build adds to a topic against topics that pin and scroll their own content.
node "$here/layout.test.mjs" --plovik "$build/plovik" --data "$repo/tests/data" \
    --corpus "${PLOVIK_CORPUS:-$repo/../shared/corpus}" "$@" || status=1
# A help whose strings carry script: none of it may run on any page of either site.
node "$here/hostile.test.mjs" --plovik "$build/plovik" --data "$repo/tests/data" "$@" || status=1
# Two helps that link into each other, built as one library.
node "$here/library.test.mjs" --plovik "$build/plovik" --data "$repo/tests/data" "$@" || status=1
# Real helps in other code pages, from the shared corpus when it is there (PLOVIK_CORPUS points
# it elsewhere, as for the C++ tests).
node "$here/corpus.test.mjs" --plovik "$build/plovik" --corpus "${PLOVIK_CORPUS:-$repo/../shared/corpus}" "$@" || status=1
exit $status
