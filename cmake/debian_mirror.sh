#!/usr/bin/env bash
# Prints the Debian mirror that this machine's apt already uses, for debootstrap: the one
# KOVALT_DEBIAN_MIRROR names, or the first .../debian source (another program's archive
# listed first has no older releases), or nothing, and debootstrap takes its own default.
set -euo pipefail
if [ -n "${KOVALT_DEBIAN_MIRROR:-}" ]; then
    echo "$KOVALT_DEBIAN_MIRROR"
    exit 0
fi
sed -n -E 's/^URIs: *([^ ]+).*/\1/p; s/^deb +(\[[^]]*\] +)?([^ ]+) .*/\2/p' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
    grep -E '/debian/?$' | head -n 1 || true
