#!/usr/bin/env bash
# Checks the release archives in build/package as a player gets them: unpacks both,
# checks every file against SHA256SUMS, looks for Kovalt.exe's version resource and
# manifest and kovalt's glibc needs and hardening, checks the guides' form, and
# resets one synthetic save with each packaged program (Kovalt.exe under Wine, kovalt
# also with the older glibc it was built against), comparing the bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
# Listings and comparisons in byte order, whatever the caller's locale.
export LC_ALL=C
version=$(sed -n 's/^project(kovalt VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
package=$PWD/build/package
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_package: $*" >&2; exit 1; }

windows=$work/windows
linux=$work/linux/kovalt-$version-linux-x86_64
mkdir -p "$windows" "$work/linux"
unzip -q "$package/kovalt-$version-windows-x64.zip" -d "$windows"
tar -xzf "$package/kovalt-$version-linux-x86_64.tar.gz" -C "$work/linux"
[ "$(ls "$windows" | tr '\n' ' ')" = "Kovalt.exe Kovalt.html LICENSE.txt SHA256SUMS guide-en.txt guide-ja.txt " ] ||
    fail "the zip holds: $(ls "$windows")"
[ "$(ls "$linux" | tr '\n' ' ')" = "Kovalt.html LICENSE SHA256SUMS guide-en.txt guide-ja.txt kovalt " ] ||
    fail "the tarball holds: $(ls "$linux")"
(cd "$windows" && sha256sum --check --strict --quiet SHA256SUMS) || fail "zip: checksums differ"
(cd "$linux" && sha256sum --check --strict --quiet SHA256SUMS) || fail "tarball: checksums differ"

# What the release page publishes: both archives and the page, with their sums beside.
[ "$(cut -d' ' -f3 "$package/SHA256SUMS" | tr '\n' ' ')" = \
  "Kovalt.html kovalt-$version-linux-x86_64.tar.gz kovalt-$version-windows-x64.zip " ] ||
    fail "SHA256SUMS beside the archives lists: $(cut -d' ' -f3 "$package/SHA256SUMS")"
(cd "$package" && sha256sum --check --strict --quiet SHA256SUMS) || fail "the release's checksums differ"
cmp "$package/Kovalt.html" "$windows/Kovalt.html" && cmp "$package/Kovalt.html" "$linux/Kovalt.html" ||
    fail "the archives hold another page than the one published"
grep -qF "<title>Kovalt $version</title>" "$package/Kovalt.html" || fail "the page does not show $version"
[ -x "$linux/kovalt" ] || fail "kovalt is not executable"

# Each tool's whole output is captured before it is searched: under pipefail, a grep -q
# that stops at its first match would fail its producer with SIGPIPE, and the check.
dynamic_symbols=$(objdump -T "$linux/kovalt")
# The guides promise glibc 2.28 and later: kovalt may ask for no newer version.
glibc_promised=2.28
glibc_needed=$(grep -o 'GLIBC_[0-9.]*' <<<"$dynamic_symbols" | cut -c7- | sort -V | tail -1)
[ "$(printf '%s\n' "$glibc_needed" "$glibc_promised" | sort -V | tail -1)" = "$glibc_promised" ] ||
    fail "kovalt needs glibc $glibc_needed, newer than the $glibc_promised the guides promise"
grep -qF "glibc $glibc_promised" docs/guide-en.txt && grep -qF "glibc $glibc_promised" docs/guide-ja.txt ||
    fail "the guides do not state glibc $glibc_promised"

# The hardening Debian's own packages get: full RELRO, a stack protector, fortified
# calls, control-flow protection (endbr64 at the tool's own functions).
segments=$(readelf -lW "$linux/kovalt")
dynamic=$(readelf -d "$linux/kovalt")
grep -q GNU_RELRO <<<"$segments" && grep -q 'FLAGS.*BIND_NOW' <<<"$dynamic" || fail "kovalt lacks full RELRO"
for symbol in __stack_chk_fail __snprintf_chk; do
    grep -qw "$symbol" <<<"$dynamic_symbols" || fail "kovalt does not call $symbol"
done
run_tool_start=$(objdump -d --no-show-raw-insn "$linux/kovalt" | grep -A1 '<_Z7runToolv>:$')
grep -q endbr64 <<<"$run_tool_start" || fail "kovalt is built without control-flow protection"
# And Kovalt.exe's: ASLR (DYNAMIC_BASE), HIGH_ENTROPY_VA and NX_COMPAT.
characteristics=$(x86_64-w64-mingw32-objdump -p "$windows/Kovalt.exe" | sed -n 's/^DllCharacteristics\s*//p')
(( (0x$characteristics & 0x160) == 0x160 )) || fail "Kovalt.exe's DllCharacteristics are $characteristics"

# What Explorer shows under Properties, Details, and how Windows starts the program.
resources=$(x86_64-w64-mingw32-windres -i "$windows/Kovalt.exe" -O rc)
for value in "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
             '"OriginalFilename", "Kovalt.exe"' 'requestedExecutionLevel level=""asInvoker""' \
             '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' '35138b9a-5d96-4fbd-8e2d-a2440225f93a'; do
    grep -qF "$value" <<<"$resources" || fail "Kovalt.exe's resources lack $value"
done
imports=$(x86_64-w64-mingw32-objdump -p "$windows/Kovalt.exe" | sed -n 's/^\tDLL Name: //p' | sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "Kovalt.exe imports $imports"

# Notepad from Windows 7 on: UTF-8 with a byte-order mark, CR LF, in the zip. Each
# guide says how to check a download (that it lists every message, the unit tests check).
for guide in guide-ja.txt guide-en.txt; do
    [ "$(head -c 3 "$windows/$guide" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$guide has no BOM"
    [ "$(grep -c $'\r$' "$windows/$guide")" = "$(wc -l <"$windows/$guide")" ] || fail "$guide: not CR LF"
    for text in "certutil -hashfile kovalt-$version-windows-x64.zip SHA256" 'Get-FileHash' 'sha256sum -c SHA256SUMS' \
                "Kovalt $version" 'Kovalt.html'; do
        grep -qF "$text" "$linux/$guide" || fail "$guide does not mention: $text"
    done
done

# One synthetic save, reset by each program: both outputs alike, and apart from the
# input only where the format allows, with both reset-state bytes cleared.
build/package/make_sample 7 "$work/savedata.sav"
for program in linux windows; do
    mkdir "$work/run-$program"
    cp "$work/savedata.sav" "$work/run-$program/"
done
(cd "$work/run-linux" && setsid "$linux/kovalt" </dev/null >dialogue) || fail "kovalt failed"
# And once more with the older C library it was built against, loaded from its root.
sysroot=$(sed -n 's/^KOVALT_LINUX_SYSROOT:PATH=//p' "$package/CMakeCache.txt")
mkdir "$work/run-older-glibc"
cp "$work/savedata.sav" "$work/run-older-glibc/"
(cd "$work/run-older-glibc" && setsid "$sysroot/lib64/ld-linux-x86-64.so.2" \
    --library-path "$sysroot/lib/x86_64-linux-gnu:$sysroot/usr/lib/x86_64-linux-gnu" \
    "$linux/kovalt" </dev/null >dialogue) || fail "kovalt failed with the glibc of $sysroot"
cmp "$work/run-linux/output.sav" "$work/run-older-glibc/output.sav" ||
    fail "the outputs differ with the older glibc"
export WINEPREFIX=$work/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
"$wine" wineboot --init >/dev/null 2>&1
(cd "$work/run-windows" && setsid "$wine" "$windows/Kovalt.exe" </dev/null >dialogue) ||
    fail "Kovalt.exe failed"
"${wine%64}server64" -k 2>/dev/null || "${wine%/*}/wineserver" -k 2>/dev/null || true
cmp "$work/run-linux/output.sav" "$work/run-windows/output.sav" || fail "the outputs differ"
changed=$({ cmp -l "$work/savedata.sav" "$work/run-linux/output.sav" || true; } | awk '{print $1 - 1, $3}')
awk '$1 != 7359 && $1 != 81635 && $1 != 74272 && $1 != 74273 && $1 != 148548 && $1 != 148549 {
         exit 1 }' <<<"$changed" || fail "bytes changed outside the four fields: $changed"
grep -q '^7359 0$' <<<"$changed" && grep -q '^81635 0$' <<<"$changed" ||
    fail "the reset-state bytes are not cleared: $changed"
echo "package: both archives check out"
