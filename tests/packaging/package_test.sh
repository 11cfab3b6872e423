#!/usr/bin/env bash
# The Debian package as a user installs it: built by cpack from this build folder, whatever its install
# prefix, it puts everything under /usr, carries no debug symbols, depends on what the program needs at run
# time, and brings its copyright file, manual pages, desktop entry and AppStream metadata.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -f "$deb" Depends >"$work/depends"

# Everything under /usr.
outside=$(cd "$work/root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "installed outside /usr: $outside"
for f in usr/bin/korvex usr/bin/korvex-render usr/bin/korvex-library usr/share/doc/korvex/copyright \
         usr/share/man/man1/korvex.1.gz usr/share/man/man1/korvex-render.1.gz usr/share/man/man1/korvex-library.1.gz \
         usr/share/applications/org.korvex.Korvex.desktop usr/share/metainfo/org.korvex.Korvex.metainfo.xml \
         usr/share/korvex/picture/orange/font.txt usr/share/korvex/picture/steel/font.txt \
         usr/share/icons/hicolor/256x256/apps/korvex.png; do
    [ -e "$work/root/$f" ] || fail "missing $f"
done

# Stripped.
for exe in korvex korvex-render korvex-library; do
    if readelf -S "$work/root/usr/bin/$exe" | grep -q -E '\.debug_(info|line)'; then fail "$exe carries debug symbols"; fi
done

# What the program needs at run time, beside the libraries it links.
for dep in qt6-translations-l10n fluid-soundfont-gm fonts-noto-cjk qt6-qpa-plugins libqt6widgets6; do
    grep -q -E "(^|, )$dep( |,|$)" "$work/depends" || fail "Depends lacks $dep: $(cat "$work/depends")"
done

# The manual pages read as manual pages, and the installed player runs.
zcat "$work/root/usr/share/man/man1/korvex.1.gz" | grep -q '^\.TH KORVEX 1' || fail "korvex.1 is not a manual page"
zcat "$work/root/usr/share/man/man1/korvex-render.1.gz" | grep -q '^\.TH KORVEX-RENDER 1' || fail "korvex-render.1"
zcat "$work/root/usr/share/man/man1/korvex-library.1.gz" | grep -q '^\.TH KORVEX-LIBRARY 1' || fail "korvex-library.1"
"$work/root/usr/bin/korvex" --version | grep -q "^korvex [0-9]" || fail "the installed player does not run"
echo "1 passed, 0 failed"
