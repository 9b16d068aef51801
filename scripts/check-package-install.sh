#!/usr/bin/env bash
# Installs a package into a throw-away Debian 12 with only its dependencies from apt, checks
# that both programs run there and that removing the package removes every file it brought.
# Never installs anything on this machine.
#   scripts/check-package-install.sh build-package/tarvik_*.deb
# Needs root (debootstrap, chroot, mounts); without it, it says so and skips. The bare system
# and the downloaded packages are kept between runs in $TARVIK_PACKAGE_CACHE
# (~/.cache/tarvik-package-check); each run works on an overlay of them that is dropped at
# the end, and every mount lives in a private namespace that goes with the run.
set -euo pipefail

deb="$(realpath "$1")"
if [ "$(id -u)" -ne 0 ]; then
    echo "install check skipped: it needs root (debootstrap, chroot, mounts)"
    exit 0
fi
scripts_dir="$(dirname "$(realpath "$0")")"
"$scripts_dir/deps.sh" debootstrap

suite=bookworm
cache="${TARVIK_PACKAGE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvik-package-check}"
base="$cache/$suite"
mkdir -p "$cache/archives/partial"
exec 9>"$cache/lock"
flock 9 # one run at a time: they share the bare system and apt's download folder

if [ ! -e "$base/.complete" ]; then
    echo "Making a bare Debian $suite in $base (once; a few minutes)"
    sources="$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Identifier: Packages' |
        awk -v s="$suite" '$2 ~ "^" s "(-updates|-security)?$"' | sort -u)"
    mirror="$(awk -v s="$suite" '$2 == s { print $1; exit }' <<<"$sources")"
    if [ -z "$mirror" ]; then
        echo "install check: apt knows no source of Debian $suite here" >&2
        exit 1
    fi
    rm -rf --one-file-system "$base"
    debootstrap --variant=minbase --cache-dir="$cache/archives" "$suite" "$base" "$mirror"
    # Debian's own sources as this machine reaches them (its proxy and date checks too).
    awk '{ print "deb " $1 " " $2 " main" }' <<<"$sources" >"$base/etc/apt/sources.list"
    apt-config dump | grep -E '^Acquire::(https?::|Check-)' >"$base/etc/apt/apt.conf.d/00host" || true
    touch "$base/.complete"
fi

run="$(mktemp -d /tmp/tarvik-package-check-XXXXXX)"
trap 'rm -rf --one-file-system "$run"' EXIT
mkdir -p "$run/upper" "$run/work" "$run/root"
cp "$deb" "$run/package.deb"
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$' >"$run/files"

# Runs in new mount and process namespaces: the mounts vanish with it, and so does anything
# the programs under test leave running.
unshare --mount --pid --fork --propagation private /bin/bash -euo pipefail -s \
    "$base" "$run" "$cache/archives" <<'INNER'
base="$1" run="$2" archives="$3"
root="$run/root"
mount -t overlay overlay -o "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" "$root"
mount -t proc proc "$root/proc"
mount -t devpts -o newinstance devpts "$root/dev/pts"
mount --bind "$archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" # no service starts here
chmod +x "$root/usr/sbin/policy-rc.d"
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io" # a throw-away system needs no fsync
mkdir "$root/check"
mkdir -m 700 "$root/check/run"
cp "$run/package.deb" "$run/files" "$root/check/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/check/home \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
fail() { echo "install check: $*" >&2; exit 1; }

in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends /check/package.deb >/dev/null
echo "installed with: $(in_root dpkg-query -W -f '${Depends}' tarvik)"

in_root tarvik-scan --help | grep -q '^Usage: tarvik-scan' || fail "tarvik-scan --help"
# The translations from where the package puts them: German on a German system.
[ -f "$root/usr/share/tarvik/translations/tarvik_de.qm" ] || fail "no German translation installed"
in_root env LANG=de_DE.UTF-8 tarvik-scan --help | grep -q '^Aufruf: tarvik-scan' ||
    fail "tarvik-scan --help is not German in a German locale"
in_root sh -c 'mkdir -p /check/tree/a /check/tree/b && echo same >/check/tree/a/x &&
    echo same >/check/tree/b/y && tarvik-scan /check/tree' >"$run/groups"
[ "$(grep -c . "$run/groups")" = 2 ] || fail "tarvik-scan did not find the copy"

# The window with the offscreen platform: it must still be up after a few seconds, with its
# settings store made through the SQLite plug-in.
status=0
in_root timeout 5 env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/check/run tarvik \
    2>"$run/window.err" || status=$?
sed 's/^/tarvik said: /' "$run/window.err"
[ "$status" = 124 ] || { cat "$run/window.err" >&2; fail "tarvik ended with $status"; }
[ -s "$root/check/home/.local/share/tarvik/registry.db" ] ||
    { cat "$run/window.err" >&2; fail "tarvik made no settings store"; }
! grep -iE 'not loaded|could not (load|find)|cannot find' "$run/window.err" ||
    fail "tarvik could not load a plug-in or font"
# On a desktop Qt starts the xcb platform plug-in: its libraries must be there too.
xcb="$(in_root sh -c 'ls /usr/lib/*/qt5/plugins/platforms/libqxcb.so')"
! in_root ldd "$xcb" | grep 'not found' || fail "the xcb platform plug-in lacks a library"

in_root dpkg -r tarvik >/dev/null
left=0
while read -r path; do
    if [ -e "$root$path" ] || [ -L "$root$path" ]; then
        # A folder may stay while another package or file still uses it.
        if [ -d "$root$path" ] && { in_root dpkg -S "$path" >/dev/null 2>&1 ||
            [ -n "$(ls -A "$root$path")" ]; }; then
            continue
        fi
        echo "left behind after dpkg -r: $path" >&2
        left=1
    fi
done <"$run/files"
[ "$left" = 0 ] || fail "dpkg -r left files behind"
echo "install check passed: installs with its dependencies, both programs run, removal is clean"
INNER
