#!/usr/bin/env bash
# Puts the search page of an earlier commit beside a built frame site's own, as
# HelpSearch-old.html (reading js/searchdata.js in one piece, as that page did), so that
# bench/search-page.mjs can time both on the same data in the same run:
#   bench/old-search-page.sh SITE_FOLDER [COMMIT]      (default: 070a1f2)
set -euo pipefail
site="$1"
commit="${2:-070a1f2}"
repo="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$site/js/old"
for f in search.js words.js listnav.js bridge.js; do
    git -C "$repo" show "$commit:template/clarity/js/$f" >"$site/js/old/$f"
done
git -C "$repo" show "$commit:template/clarity/HelpSearch.tpl" |
    sed -e 's/\[#charset#\]/utf-8/; s/\[#title#\]/Help Search/g' \
        -e 's#src="js/\(search\|words\|listnav\|bridge\)\.js"#src="js/old/\1.js"#' >"$site/HelpSearch-old.html"
