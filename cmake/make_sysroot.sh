#!/usr/bin/env bash
# Makes the Debian 11 root that the Linux release is built against, so that kovalt
# needs no newer C library than the one there (glibc 2.31): its compiler (GCC 10), C
# library and C++ runtime, from Debian's archive. Once per machine, as root:
#   bash cmake/make_sysroot.sh [FOLDER]     (default /opt/kovalt-sysroot)
set -euo pipefail
root=${1:-/opt/kovalt-sysroot}
if [ -x "$root/usr/bin/g++-10" ]; then
    echo "sysroot: $root is there"
    exit 0
fi
command -v debootstrap >/dev/null || { echo "make_sysroot: needs debootstrap (apt-get install debootstrap)" >&2; exit 1; }
mirror=$(bash "$(dirname "$0")/debian_mirror.sh")
rm -rf "$root.partial"
debootstrap --variant=minbase --include=g++-10,libc6-dev bullseye "$root.partial" ${mirror:+"$mirror"}
# The linker looks for the libraries a sysroot's scripts name inside the sysroot, so the
# links that point at / must point within it.
(cd "$root.partial" && find . -xdev -type l -lname '/*' | while read -r link; do
    ln -sfnr "$PWD$(readlink "$link")" "$link"
done)
mv "$root.partial" "$root"
echo "sysroot: made $root"
