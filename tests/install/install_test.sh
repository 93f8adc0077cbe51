#!/usr/bin/env bash
# A real installation: `cmake --install` into a temporary prefix, then the
# installed program is started from another folder and must find its
# characters and help there; the desktop entry, the AppStream metadata and
# both manual pages must pass their validators; gabblet-send must need no GUI
# library. Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
prefix=$(realpath "$prefix")
app_id=io.github.gabblet.Gabblet

for f in bin/gabblet bin/gabblet-send \
    share/gabblet/characters/Bramble.acs share/gabblet/characters/Nib.act \
    share/gabblet/help/index.html share/gabblet/help/characters.md \
    share/icons/hicolor/scalable/apps/gabblet.svg \
    share/icons/hicolor/48x48/apps/gabblet.png share/icons/hicolor/256x256/apps/gabblet.png \
    share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
    share/man/man1/gabblet.1.gz share/man/man1/gabblet-send.1.gz; do
    [ -f "$prefix/$f" ] || fail "$f was not installed"
done
# Nothing else: no test programs, benchmarks or static libraries.
unexpected=$(cd "$prefix" && find . -type f | grep -vE '^\./(bin/gabblet(-send)?|share/(gabblet|icons|applications|metainfo|man)/.*)$' || true)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

desktop-file-validate "$prefix/share/applications/$app_id.desktop" >"$work/desktop.log" 2>&1 ||
    fail "desktop-file-validate: $(cat "$work/desktop.log")"
[ ! -s "$work/desktop.log" ] || fail "desktop-file-validate warns: $(cat "$work/desktop.log")"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/$app_id.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || fail "appstreamcli validate: $(cat "$work/appstream.log")"

for page in gabblet gabblet-send; do
    if ! MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$prefix/share/man/man1/$page.1.gz" \
        >"$work/$page.txt" 2>"$work/$page.err"; then
        fail "man -l $page.1: $(cat "$work/$page.err")"
    fi
    [ ! -s "$work/$page.err" ] || fail "man -l $page.1 warns: $(cat "$work/$page.err")"
    grep -q "^SYNOPSIS" "$work/$page.txt" || fail "$page.1 rendered without a SYNOPSIS"
    grep -q "^EXIT STATUS" "$work/$page.txt" || fail "$page.1 has no EXIT STATUS"
done

# gabblet-send is QtCore and QtNetwork only.
gui=$(ldd "$prefix/bin/gabblet-send" | grep -E 'libQt6(Gui|Widgets|Multimedia)|espeak' || true)
[ -z "$gui" ] || fail "gabblet-send links GUI libraries: $gui"
"$prefix/bin/gabblet-send" --version | grep -q "^gabblet-send (Gabblet) " ||
    fail "gabblet-send --version"

# The installed program, started from an unrelated folder with a fresh home.
home=$work/home
mkdir -p "$home" "$work/elsewhere"
printf 'version=0.34\r\nport=0\r\n' >"$home/gabblet.ini"
: >"$home/rec.txt"
cd "$work/elsewhere"
printf 'wait 500\ntrigger HelpContents\ndump Combo3\ntrigger SetOptions\ndump CPath\nclick Cancel\nquit\n' |
    GABBLET_HOME=$home GABBLET_NONINTERACTIVE=1 GABBLET_FAST_SPEECH=1 QT_QPA_PLATFORM=offscreen \
        timeout 60 "$prefix/bin/gabblet" >"$work/run.out" 2>"$work/run.err" ||
    fail "the installed program did not end well ($?): $(tail -n 20 "$work/run.err")"
grep -qxF "gabblet: help: $prefix/share/gabblet/help/index.html" "$work/run.err" ||
    fail "the help was not found in the installation: $(cat "$work/run.err")"
grep -qxF "dump Combo3: Bramble" "$work/run.out" ||
    fail "the characters were not found: $(cat "$work/run.out")"
grep -qxF "dump CPath: $prefix/share/gabblet/characters/" "$work/run.out" ||
    fail "the character folder is not the installed one: $(cat "$work/run.out")"

[ "$failures" -eq 0 ] || exit 1
echo "installation in $prefix passed"
