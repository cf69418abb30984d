#!/usr/bin/env bash
# The README's two commands, exactly as written, on a fresh Debian machine: a minbase root
# of the release with only git and ca-certificates added, this commit cloned into it, the
# demo run with a key fed to it, then every test. As root, one release at a time:
#   bash tests/check_fresh_root.sh bookworm|trixie
# The bare root is made once and kept in KOVALT_ROOTS (default /var/cache/kovalt-roots),
# never in the clone; each check runs in a copy of it, thrown away after.
set -euo pipefail
release=${1:-}
case "$release" in bookworm | trixie) ;; *) echo "usage: $0 bookworm|trixie" >&2; exit 2 ;; esac
[ "$(id -u)" = 0 ] || { echo "check_fresh_root: run it as root" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "check_fresh_root: needs debootstrap" >&2; exit 2; }
top=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$top" rev-parse HEAD)
roots=${KOVALT_ROOTS:-/var/cache/kovalt-roots}
bare=$roots/$release

mirror=$(bash "$top/cmake/debian_mirror.sh")
if [ ! -e "$bare/.made" ]; then
    rm -rf "$bare.partial"
    mkdir -p "$roots"
    debootstrap --variant=minbase --include=ca-certificates,git "$release" "$bare.partial" ${mirror:+"$mirror"}
    # As an installed system has it: the release with its updates and security fixes.
    main=$(sed -n -E 's/^deb +([^ ]+) .*/\1/p' "$bare.partial/etc/apt/sources.list" | head -n 1)
    security=${main%/debian}/debian-security
    cat >"$bare.partial/etc/apt/sources.list" <<EOF
deb $main $release main
deb $main $release-updates main
deb $security $release-security main
EOF
    touch "$bare.partial/.made"
    mv "$bare.partial" "$bare"
fi

root=$(mktemp -d "/var/tmp/kovalt-$release.XXXXXX")
unmount() {
    # Whatever the tests left running in the root (a wineserver, Xvfb) goes first.
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -9 "${proc#/proc/}" 2>/dev/null
    done
    sleep 1
    for point in dev/pts dev/shm dev sys proc; do
        mountpoint -q "$root/$point" && umount -l "$root/$point"
    done
    if ! findmnt -R "$root" >/dev/null; then
        rm -rf --one-file-system "$root"
    else
        echo "check_fresh_root: $root is still mounted; left as it is" >&2
    fi
}
trap unmount EXIT
cp -a "$bare/." "$root/"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
# A /dev of its own, so that nothing mounted in the root can reach the machine's.
mount -t tmpfs -o mode=0755 dev "$root/dev"
for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
    IFS=: read -r name major minor <<<"$node"
    mknod -m 666 "$root/dev/$name" c "$major" "$minor"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
ln -s /proc/self/fd "$root/dev/fd"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# As the installer writes it; debootstrap leaves none, and the browsers' drivers are
# reached at localhost.
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
# The certificate authorities that this machine's network needs, as its own clients have
# them (a proxy's, say): the npm client checks the registry's certificate.
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
    cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
    chroot "$root" update-ca-certificates >/dev/null
fi
git clone -q "$top" "$root/root/kovalt"
git -C "$root/root/kovalt" checkout -q "$commit"

environment=(HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=xterm LANG=C.UTF-8
    ${NODE_EXTRA_CA_CERTS:+NODE_EXTRA_CA_CERTS=$NODE_EXTRA_CA_CERTS})
in_root() { chroot "$root" /usr/bin/env -i "${environment[@]}" /bin/bash -c "cd /root/kovalt && $1"; }
# The README's lines, taken from it, so that what is checked is what a newcomer reads.
demo=$(grep -m1 -E '^bash cmake/install_packages.sh demo' "$top/README.md" | sed 's/ *#.*//')
tests=$(grep -m1 -E '^bash cmake/install_packages.sh test' "$top/README.md" | sed 's/ *#.*//')

started=$SECONDS
# The demo waits for a key on its terminal: script gives it one, and the key is typed ahead.
echo "== $release: $demo"
in_root "${demo%%&&*}"
printf 'x' | script -qfec "chroot $root /usr/bin/env -i ${environment[*]} \
    /bin/bash -c 'cd /root/kovalt && ${demo#*&& }'" /dev/null | tee "$root/demo.log"
demo_dir=$root/root/kovalt/build/release/demo
grep -q '終了しました' "$root/demo.log"
differing=$({ cmp -l "$demo_dir/savedata.sav" "$demo_dir/output.sav" || true; } | wc -l)
size=$(stat -c %s "$demo_dir/output.sav")
echo "== $release: demo done in $((SECONDS - started)) s: output.sav $size bytes, $differing bytes differ"
[ "$size" = 262144 ] && [ "$differing" -ge 1 ] && [ "$differing" -le 6 ]

started=$SECONDS
echo "== $release: $tests"
in_root "$tests" | tee "$root/test.log"
echo "== $release: tests done in $((SECONDS - started)) s: $(grep -E 'tests passed' "$root/test.log")"
