#!/usr/bin/env bash
# Puts the benchmark inputs into a cache folder and prints their paths:
#   lcl.chm      Debian's Lazarus LCL reference (package lazarus-doc-2.2): Free Pascal's chm
#                writer, 15.5 MB holding 169 MB in 20,219 files, a three-level directory.
#   javadoc.chm  the Java SE 17 API documentation (package openjdk-17-doc), about 10,000 pages,
#                compiled here with Free Pascal's chmcmd from a project this script writes:
#                modules, packages and classes as the contents, class and package names as the
#                keyword index, every page and resource stored, full-text search on.
#
#   bench/fetch-inputs.sh [CACHE_DIR]
#
# CACHE_DIR defaults to $PLOVIK_BENCH_CACHE, else ${XDG_CACHE_HOME:-$HOME/.cache}/plovik-bench.
# What is there already is kept; delete a .chm to make it again. Needs apt-get (Debian's package
# lists: run `apt-get update` once), dpkg-deb, python3 and chmcmd (package fp-utils). Compiling
# javadoc.chm takes minutes; the time it took is printed.
set -euo pipefail

cache="${1:-${PLOVIK_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/plovik-bench}}"
mkdir -p "$cache/debs"
cache="$(cd "$cache" && pwd)"

need() { command -v "$1" >/dev/null || { echo "fetch-inputs: $1 is not installed${2:+ ($2)}" >&2; exit 1; }; }
need apt-get
need dpkg-deb
need python3
need chmcmd "Debian: apt-get install fp-utils"

# The newest .deb of a package, downloaded once.
fetch_deb() {
    local package="$1" deb
    deb="$(ls -t "$cache/debs/${package}"_*.deb 2>/dev/null | head -n 1 || true)"
    if [ -z "$deb" ]; then
        # apt's download user may not write into the cache; the warning about it is harmless.
        if ! (cd "$cache/debs" && apt-get download "$package" >/dev/null 2>&1); then
            echo "fetch-inputs: apt-get download $package failed (run apt-get update first?)" >&2
            exit 1
        fi
        deb="$(ls -t "$cache/debs/${package}"_*.deb | head -n 1)"
    fi
    echo "$deb"
}

# Unpacks a package into CACHE/NAME once.
unpack() {
    local package="$1" deb
    if [ ! -f "$cache/$package/.unpacked" ]; then
        deb="$(fetch_deb "$package")"
        rm -rf "${cache:?}/$package"
        dpkg-deb -x "$deb" "$cache/$package"
        touch "$cache/$package/.unpacked"
    fi
}

# (a) lcl.chm as Debian ships it.
if [ ! -f "$cache/lcl.chm" ]; then
    unpack lazarus-doc-2.2
    lcl="$(find "$cache/lazarus-doc-2.2" -name lcl.chm | head -n 1)"
    [ -n "$lcl" ] || { echo "fetch-inputs: no lcl.chm in lazarus-doc-2.2" >&2; exit 1; }
    cp "$lcl" "$cache/lcl.chm"
fi

# (b) javadoc.chm, compiled from the API pages.
if [ ! -f "$cache/javadoc.chm" ]; then
    unpack openjdk-17-doc
    api="$(find "$cache/openjdk-17-doc" -type d -name api -path '*openjdk-17*' | head -n 1)"
    [ -n "$api" ] && [ -f "$api/index.html" ] || { echo "fetch-inputs: no API pages in openjdk-17-doc" >&2; exit 1; }
    rm -f "$api/javadoc.chm"
    python3 - "$api" <<'PY'
import html, os, re, sys

api = sys.argv[1]
files = []
for root, dirs, names in os.walk(api):
    dirs.sort()
    for name in sorted(names):
        if os.path.splitext(name)[1] in ('.hhp', '.hhc', '.hhk', '.chm'):
            continue  # this script's project and what an earlier run left
        # Debian links jQuery in from packages of its own; chmcmd stops at a dangling link.
        if not os.path.isfile(os.path.join(root, name)):
            continue
        files.append(os.path.relpath(os.path.join(root, name), api).replace(os.sep, '/'))

def entry(out, indent, name, local=None):
    out.append('%s<LI> <OBJECT type="text/sitemap">' % indent)
    out.append('%s\t<param name="Name" value="%s">' % (indent, html.escape(name)))
    if local:
        out.append('%s\t<param name="Local" value="%s">' % (indent, html.escape(local)))
    out.append('%s\t</OBJECT>' % indent)

head = ['<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">', '<HTML>', '<HEAD>',
        '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">',
        '<!-- Sitemap 1.0 -->', '</HEAD><BODY>', '<UL>']
tail = ['</UL>', '</BODY></HTML>', '']

# Contents: the overview pages, then each module with its packages and their classes.
toc = list(head)
for page, name in [('index.html', 'Overview'), ('allpackages-index.html', 'All packages'),
                   ('allclasses-index.html', 'All classes'), ('overview-tree.html', 'Class hierarchy'),
                   ('deprecated-list.html', 'Deprecated'), ('constant-values.html', 'Constant values'),
                   ('serialized-form.html', 'Serialized form'), ('help-doc.html', 'Help')]:
    if os.path.exists(os.path.join(api, page)):
        entry(toc, '\t', name, page)
modules = sorted(d for d in os.listdir(api) if os.path.isfile(os.path.join(api, d, 'module-summary.html')))
keywords = []
for module in modules:
    entry(toc, '\t', module, module + '/module-summary.html')
    keywords.append((module, module + '/module-summary.html'))
    packages = sorted(f[:-len('/package-summary.html')] for f in files
                      if f.startswith(module + '/') and f.endswith('/package-summary.html'))
    toc.append('\t<UL>')
    for package in packages:
        dotted = package[len(module) + 1:].replace('/', '.')
        entry(toc, '\t\t', dotted, package + '/package-summary.html')
        keywords.append((dotted, package + '/package-summary.html'))
        classes = [f for f in files if f.startswith(package + '/') and f.count('/') == package.count('/') + 1
                   and f.endswith('.html') and not f.rsplit('/', 1)[1].startswith('package-')]
        if classes:
            toc.append('\t\t<UL>')
            for page in classes:
                name = page.rsplit('/', 1)[1][:-len('.html')]
                entry(toc, '\t\t\t', name, page)
                keywords.append((name, page))
            toc.append('\t\t</UL>')
    toc.append('\t</UL>')
indexes = sorted((f for f in files if re.fullmatch(r'index-files/index-\d+\.html', f)),
                 key=lambda f: int(re.search(r'\d+', f).group()))
if indexes:
    entry(toc, '\t', 'Index')
    toc.append('\t<UL>')
    for page in indexes:
        entry(toc, '\t\t', 'Index ' + re.search(r'\d+', page).group(), page)
    toc.append('\t</UL>')
toc += tail

# Keyword index: class, package and module names, sorted as a help compiler's index is.
hhk = list(head)
for name, page in sorted(keywords, key=lambda k: (k[0].lower(), k[1])):
    entry(hhk, '\t', name, page)
hhk += tail

with open(os.path.join(api, 'javadoc.hhc'), 'w', encoding='utf-8') as f:
    f.write('\n'.join(toc))
with open(os.path.join(api, 'javadoc.hhk'), 'w', encoding='utf-8') as f:
    f.write('\n'.join(hhk))
with open(os.path.join(api, 'javadoc.hhp'), 'w', encoding='utf-8') as f:
    f.write('[OPTIONS]\nCompatibility=1.1 or later\nCompiled file=javadoc.chm\n'
            'Contents file=javadoc.hhc\nIndex file=javadoc.hhk\nDefault topic=index.html\n'
            'Binary TOC=Yes\nBinary Index=Yes\nFull-text search=Yes\n'
            'Language=0x409 English (United States)\nTitle=Java SE 17 API\n\n[FILES]\n')
    f.write('\n'.join(files) + '\n')
pages = sum(1 for f in files if f.endswith('.html'))
print('javadoc project: %d files, %d pages, %d contents entries, %d keywords'
      % (len(files), pages, sum(1 for l in toc if 'text/sitemap' in l), len(keywords)))
PY
    start=$(date +%s)
    if ! (cd "$api" && chmcmd --no-html-scan javadoc.hhp) >"$cache/javadoc-chmcmd.log" 2>&1 ||
        grep -q '^Error' "$cache/javadoc-chmcmd.log" || [ ! -f "$api/javadoc.chm" ]; then
        tail -n 20 "$cache/javadoc-chmcmd.log" >&2
        echo "fetch-inputs: chmcmd failed (log: $cache/javadoc-chmcmd.log)" >&2
        exit 1
    fi
    mv "$api/javadoc.chm" "$cache/javadoc.chm"
    echo "javadoc.chm compiled in $(($(date +%s) - start)) s"
fi

for chm in lcl.chm javadoc.chm; do
    echo "$cache/$chm ($(du -k "$cache/$chm" | cut -f1) KiB)"
done
