#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# cmake --install puts the programs, the desktop entry, the icons and the AppStream file where
# a desktop finds them, the two descriptions pass their validators, and the installed
# program runs.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/korva-config bin/korva-sim share/applications/org.korva.config.desktop \
         share/metainfo/org.korva.config.metainfo.xml; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done
for size in 16 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/korva-config.png"
    [ -f "$icon" ] || fail "no ${size}x${size} icon"
    # PNG width and height: big-endian words at bytes 16 and 20.
    dims="$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')"
    [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "the ${size}x${size} icon is $dims"
done

desktop="$prefix/share/applications/org.korva.config.desktop"
grep -qx 'Exec=korva-config' "$desktop" || fail "the desktop entry does not start korva-config"
grep -qx 'Icon=korva-config' "$desktop" || fail "the desktop entry names another icon"
grep -q '^Categories=Settings;HardwareSettings;' "$desktop" || fail "not a settings utility"
metainfo="$prefix/share/metainfo/org.korva.config.metainfo.xml"
version="$("$prefix/bin/korva-config" --version | head -n 1)"
grep -q "<release version=\"${version#korva-config }\"" "$metainfo" ||
    fail "the AppStream release is not $version"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
    echo "note: desktop-file-validate is not installed; the desktop entry was not validated"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --pedantic --no-net "$metainfo" || fail "appstreamcli validate"
else
    echo "note: appstreamcli is not installed; the AppStream file was not validated"
fi
echo "PASS: installed into $prefix and validated"
