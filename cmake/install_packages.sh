#!/usr/bin/env bash
# Installs from Debian's (or Ubuntu's) archive what this machine lacks for one task:
#   bash cmake/install_packages.sh demo      the tool and its demo
#   bash cmake/install_packages.sh test      every test, in every browser engine
#   bash cmake/install_packages.sh release   every test, and the release archives
# Needs root, or sudo. The browsers come from the archive, never from a tool's download.
set -euo pipefail
cd "$(dirname "$0")/.."
task=${1:-test}
case "$task" in demo | test | release) ;; *) echo "usage: $0 demo|test|release" >&2; exit 2 ;; esac

missing=()
command_or() { command -v "$1" >/dev/null || missing+=("$2"); }
package() { dpkg -s "$1" >/dev/null 2>&1 || missing+=("$1"); }
command_or cmake cmake
command_or g++ g++
command_or ninja ninja-build
if [ "$task" != demo ]; then
    command_or clang-format clang-format
    package libgtest-dev
    command_or x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
    package wine64
    command_or strace strace
    command_or em++ emscripten
    command_or chromium chromium
    command_or chromedriver chromium-driver
    package python3-selenium
    command_or firefox-esr firefox-esr
    command_or WebKitWebDriver webkit2gtk-driver
    command_or xvfb-run xvfb
    command_or xauth xauth
    command_or npm npm
    [ -e /usr/share/i18n/charmaps/EUC-JP.gz ] && command -v localedef >/dev/null || missing+=(locales)
fi
if [ "$task" = release ]; then
    command_or zip zip
    command_or unzip unzip
    command_or debootstrap debootstrap
fi
if ((${#missing[@]})); then
    sudo=()
    [ "$(id -u)" = 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    # Ubuntu 24.04 has Chromium and Firefox only as snaps, a download of their own, or not
    # at all: for the tests, their page tests then skip and say so. A release needs them.
    kept=()
    for name in "${missing[@]}"; do
        if [ "$task" = test ] && [[ $name =~ ^(chromium|chromium-driver|firefox-esr)$ ]] &&
            [[ ! $(apt-cache policy "$name") =~ Candidate:\ [^\(] ]]; then
            echo "not in this system's archive: $name; the page tests that need it will skip"
            continue
        fi
        kept+=("$name")
    done
    if ((${#kept[@]})); then
        echo "installing: ${kept[*]}"
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${kept[@]}"
    fi
fi

# The page tests' driver for Firefox and their accessibility rules, at the versions the
# lock file pins, in the ignored node_modules: the two modules that come from the npm
# registry, not Debian's archive. Only those two tests need them, so without them the rest
# still builds and runs, and those skip and say why.
if [ "$task" != demo ] && [ ! -d node_modules/puppeteer-core ]; then
    npm ci --no-audit --no-fund --loglevel=error ||
        echo "npm could not install puppeteer-core and axe-core: the Firefox page test and the accessibility check will skip" >&2
fi
