#!/usr/bin/env bash
# The layer check passes on the sources as they are, and fails when a layer includes one that
# stands after it.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
"$root/scripts/check-layers" "$root/src" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/src" "$work/src"
printf '#include "pipeline/BuildJob.h"\n' >>"$work/src/chm/Extraction.cpp"
if out=$("$root/scripts/check-layers" "$work/src" 2>&1); then
    echo "an include of pipeline/ from chm/ passed the layer check"
    exit 1
fi
case "$out" in
    *"chm/Extraction.cpp"*"pipeline/BuildJob.h"*) ;;
    *) echo "the failure does not name the file and the include: $out"; exit 1 ;;
esac
echo "layer check ok"
