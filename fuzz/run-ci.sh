#!/usr/bin/env bash
# A short fuzzing run for CI: builds the fuzz targets with clang and runs each for twenty seconds,
# seeded with the shared corpus when it is there. Longer runs are for a developer's machine.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPLOVIK_FUZZ=ON -DPLOVIK_TESTS=OFF -DPLOVIK_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target FuzzChm FuzzLzx FuzzSitemap FuzzPage FuzzProject
seeds=()
for d in ../shared/corpus/chm ../shared/corpus/malformed; do [ -d "$d" ] && seeds+=("$d"); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/chm" "$work/lzx" "$work/sitemap" "$work/page" "$work/project"
# The repository's own compiled helps hold what the corpus lacks, a context map among them.
cp tests/data/*.chm "$work/chm/"
build-fuzz/fuzz/FuzzChm -max_total_time=20 -rss_limit_mb=2048 "$work/chm" "${seeds[@]}" 2>&1 | tail -3
build-fuzz/fuzz/FuzzLzx -max_total_time=20 -rss_limit_mb=2048 "$work/lzx" 2>&1 | tail -3
cp examples/*.hhc examples/*.hhk "$work/sitemap/"
build-fuzz/fuzz/FuzzSitemap -dict=fuzz/markup.dict -max_total_time=20 -rss_limit_mb=2048 "$work/sitemap" 2>&1 | tail -3
n=0
while IFS= read -r -d '' page; do
    cp "$page" "$work/page/$((n++)).htm"  # the guide's folders repeat page names
done < <(find examples/guide -name "*.htm*" -print0)
build-fuzz/fuzz/FuzzPage -dict=fuzz/markup.dict -max_total_time=20 -rss_limit_mb=2048 -max_len=65536 "$work/page" 2>&1 | tail -3
cp examples/*.zarn "$work/project/"
build-fuzz/fuzz/FuzzProject -max_total_time=20 -rss_limit_mb=2048 "$work/project" 2>&1 | tail -3
echo "Fuzzing found nothing"
