#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR with the prefix /usr, as the Debian package does, and
# checks what lands there: exactly the expected files, a desktop entry that desktop-file-validate
# accepts and whose Exec and Icon name installed files, man pages that groff reads without a
# warning and that carry the programs' version, and programs that start from their new place.
# It also checks that scripts/install-deps.sh installs every package the programs need at run
# time (the ones the package depends on beside the libraries dpkg-shlibdeps finds).
#
#   tst_install.sh CMAKE BUILD_DIR SOURCE_DIR RUNTIME_PACKAGE...
set -euo pipefail
cmake=$1 build=$2 source=$3
shift 3
runtime_packages=("$@")

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

dest=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$dest" "$log"' EXIT

if ! DESTDIR="$dest" "$cmake" --install "$build" --prefix /usr > "$log" 2>&1; then
    cat "$log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
fi

expected='/usr/bin/meterlink
/usr/bin/meterlog
/usr/bin/metersim
/usr/lib/udev/rules.d/70-meterlink-hid.rules
/usr/share/applications/meterlink.desktop
/usr/share/icons/hicolor/scalable/apps/meterlink.svg
/usr/share/man/man1/meterlink.1
/usr/share/man/man1/meterlog.1
/usr/share/man/man1/metersim.1'
installed=$(cd "$dest" && find . ! -type d | sed 's|^\.||' | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
    fail "the installed files differ from the expected ones (< expected, > installed):"
    diff <(echo "$expected") <(echo "$installed") >&2 || true
fi

desktop=$dest/usr/share/applications/meterlink.desktop
if [ -f "$desktop" ]; then
    if ! command -v desktop-file-validate > /dev/null; then
        fail "desktop-file-validate is missing (package desktop-file-utils; scripts/install-deps.sh installs it)"
    elif ! desktop-file-validate "$desktop" >&2; then
        fail "desktop-file-validate rejects meterlink.desktop"
    fi
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    icon_name=$(sed -n 's/^Icon=//p' "$desktop")
    [ -x "$dest/usr/bin/$exec_name" ] || fail "Exec=$exec_name names no installed program"
    [ -f "$dest/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] \
        || fail "Icon=$icon_name names no installed icon"
fi

for program in meterlink meterlog metersim; do
    if ! "$dest/usr/bin/$program" --help > /dev/null 2>&1; then
        fail "the installed $program does not start (--help)"
    fi
done

version=$("$dest/usr/bin/meterlink" --version 2> /dev/null || true)
for page in "$dest"/usr/share/man/man1/*.1; do
    name=$(basename "$page")
    warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff cannot read $name"
    [ -z "$warnings" ] || fail "groff warns about $name: $warnings"
    grep -q "^\.TH .*\"$version\"" "$page" || fail "$name does not carry the version \"$version\""
done

for package in "${runtime_packages[@]}"; do
    grep -qE "(^|[[:space:]])$package([[:space:]]|\$)" "$source/scripts/install-deps.sh" \
        || fail "scripts/install-deps.sh does not install $package, which the programs need"
done

if [ $failures -ne 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "installed as expected: $(echo "$installed" | wc -l) files"
