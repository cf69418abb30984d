#!/usr/bin/env bash
# Makes the release twice, from two clones of this commit at different paths, and
# checks that both archives, the programs and the page in them, and the sums beside
# them are the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(kovalt VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
first=$work/kovalt
second=$work/somewhere/else/another-name
for clone in "$first" "$second"; do
    git clone --quiet . "$clone"
    (cd "$clone" && cmake --workflow --preset package >"$work/build.log" 2>&1) ||
        { cat "$work/build.log"; exit 1; }
done
for built in package/kovalt-$version-windows-x64.zip package/kovalt-$version-linux-x86_64.tar.gz \
             package/Kovalt.html package/SHA256SUMS package/windows/Kovalt.exe package/linux/kovalt; do
    cmp "$first/build/$built" "$second/build/$built"
    echo "reproducible: $built $(sha256sum <"$first/build/$built" | cut -c1-16)"
done
