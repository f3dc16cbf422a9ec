#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPack builds a Debian package whose dependencies dpkg-shlibdeps found; it holds what
# cmake --install installs, under /usr, and the program in it runs.
set -euo pipefail
build="$1"
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (apt-get install dpkg-dev)"; exit 77; }
done
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; fail "cpack"; }
debs=("$out"/korva-config_*.deb)
[ -f "${debs[0]}" ] || fail "no korva-config_*.deb in $(ls "$out")"
deb="${debs[0]}"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
[[ "$depends" == *libc6* ]] || fail "libc6 is missing from Depends"
[[ "$depends" =~ libqt[56]serialport ]] || fail "the serial-port library is missing from Depends"
[[ "$depends" =~ libqt[56]widgets|libqt6widgets ]] || fail "Qt Widgets is missing from Depends"

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for f in ./usr/bin/korva-config ./usr/bin/korva-sim ./usr/share/applications/org.korva.config.desktop \
         ./usr/share/metainfo/org.korva.config.metainfo.xml \
         ./usr/share/icons/hicolor/48x48/apps/korva-config.png; do
    grep -qx -- "$f" <<<"$contents" || fail "$f is not in the package"
done

dpkg-deb -x "$deb" "$out/root"
version="$(env -u DISPLAY -u WAYLAND_DISPLAY "$out/root/usr/bin/korva-config" --version | head -n 1)"
[ "$version" = "korva-config $(dpkg-deb -f "$deb" Version)" ] || fail "the packaged program says '$version'"

for program in korva-config korva-sim korva-cli; do
    page="$out/root/usr/share/man/man1/$program.1.gz"
    [ -f "$page" ] || fail "no manual page for $program"
    zcat "$page" | grep -q 'Displays help' || fail "the manual page of $program does not describe --help"
done
[ -f "$out/root/usr/share/bash-completion/completions/korva-cli" ] || fail "no bash completion for korva-cli"

# Debian's own judgement of the package: no errors and no warnings, pedantic tags included.
if command -v lintian >/dev/null; then
    report="$(lintian --pedantic "$deb" 2>&1 | grep -v 'running with root privileges' || true)"
    echo "$report"
    ! grep -q '^[EW]:' <<<"$report" || fail "lintian reports errors or warnings"
else
    fail "lintian is missing (apt-get install lintian)"
fi
echo "PASS: $(basename "$deb") holds the programs and runs"
