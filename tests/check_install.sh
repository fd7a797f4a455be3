#!/usr/bin/env bash
# Installs a build into a staging folder and checks what a desktop expects of it, then builds the
# Debian package and checks its dependencies and contents.
# Usage: check_install.sh BUILD_DIR QT_MAJOR     (exit 77: a needed tool is missing, the test is
# skipped)
set -euo pipefail

build=$1
qt=$2
case $qt in
5) other=6 qt_packages=(libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5) ;;
6) other=5 qt_packages=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6) ;;
*) echo "unknown Qt major version: $qt"; exit 1 ;;
esac
id=org.verantis.VerantisTerminal

for tool in desktop-file-validate appstreamcli cpack dpkg-deb; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/test installs it)"
        exit 77
    fi
done

stage=$(mktemp -d)
trap 'rm -rf -- "$stage"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_file() {
    [ -f "$1" ] || fail "missing: ${1#"$stage"}"
}

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
root=$stage/root/usr

[ -x "$root/bin/VerantisTerminal" ] || fail "bin/VerantisTerminal is missing or not executable"
desktop=$root/share/applications/$id.desktop
metainfo=$root/share/metainfo/$id.metainfo.xml
svg=$root/share/icons/hicolor/scalable/apps/$id.svg
png=$root/share/icons/hicolor/256x256/apps/$id.png
man=$root/share/man/man1/VerantisTerminal.1.gz
for file in "$desktop" "$metainfo" "$svg" "$png" "$man"; do
    expect_file "$file"
done
if [ -f "$man" ]; then
    [[ "$(gzip -dc "$man")" == *".TH VERANTISTERMINAL 1 "* ]] || fail "the manual page is not VerantisTerminal(1)"
fi

if [ -f "$desktop" ]; then
    # Hints count too: a category a menu doesn't know hides the entry in a catch-all section.
    if ! report=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$report" ]; then
        fail "desktop-file-validate: $report"
    fi
    grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
    grep -qx "Exec=VerantisTerminal" "$desktop" || fail "the desktop entry does not start bin/VerantisTerminal"
fi
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects ${metainfo#"$root/"}"
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo id is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
        || fail "the metainfo does not launch $id.desktop"
fi
if [ -f "$png" ]; then
    # Width and height stand in the PNG header at bytes 16 to 23.
    size=$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')
    [ "$size" = "0000010000000100" ] || fail "the PNG icon is not 256x256 (header: $size)"
fi
if [ -f "$svg" ]; then
    grep -q "<svg" "$svg" || fail "the scalable icon is not an SVG"
fi
if [ -x "$root/bin/VerantisTerminal" ]; then
    libraries=$(ldd "$root/bin/VerantisTerminal")
    if grep -q "not found" <<<"$libraries"; then
        fail "the installed executable misses libraries: $(grep "not found" <<<"$libraries")"
    fi
    # One Qt only: a second one in the same process would clash at run time.
    grep -q "libQt${qt}Core\.so" <<<"$libraries" || fail "the executable is not linked against Qt $qt"
    if grep -q "libQt${other}" <<<"$libraries"; then
        fail "the executable is linked against Qt $other as well: $(grep -o "libQt${other}[A-Za-z]*" <<<"$libraries" | sort -u | tr '\n' ' ')"
    fi
fi

# The package, built from the same install rules.
if ! report=$(cd "$build" && cpack -G DEB -B "$stage/package" 2>&1); then
    fail "cpack -G DEB failed: $report"
fi
debs=("$stage"/package/*.deb)
if [ ! -f "${debs[0]}" ]; then
    fail "cpack made no .deb"
else
    deb=${debs[0]}
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    # Package names only, without versions and with alternatives ("a (>= 1) | b") split up.
    names=$(tr ',|' '\n' <<<"$depends" | awk '{print $1}')
    for pkg in "${qt_packages[@]}"; do
        grep -qx -- "$pkg" <<<"$names" || fail "the package does not depend on $pkg"
    done
    if grep -q "^libqt${other}" <<<"$names"; then
        fail "the package depends on Qt $other as well"
    fi
    [ "$(dpkg-deb -f "$deb" Package)" = verantis-terminal ] || fail "the package is not verantis-terminal"
    [ "$(dpkg-deb -f "$deb" Section)" = comm ] || fail "the package's section is not comm"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "the package names no maintainer"
    contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
    for path in ./usr/bin/VerantisTerminal ./usr/share/applications/$id.desktop \
        ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg \
        ./usr/share/icons/hicolor/256x256/apps/$id.png ./usr/share/man/man1/VerantisTerminal.1.gz; do
        grep -qx -- "$path" <<<"$contents" || fail "the package lacks $path"
    done
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install and package checks passed"
