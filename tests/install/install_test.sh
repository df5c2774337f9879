#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and runs the installed programs from there
# with the build tree out of their reach.
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION
# shellcheck disable=SC2016 # '$ORIGIN' is the loader's word, never the shell's
set -uo pipefail

BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
VERSION=$3
APP_ID=com.hadrelloptics.KavrinDemo

TMP=$(mktemp -d "${TMPDIR:-/tmp}/kavrin-install-XXXXXX")
PREFIX=$TMP/prefix
DEMO_PID=
cleanup() {
    [ -n "$DEMO_PID" ] && kill -KILL "$DEMO_PID" 2>/dev/null
    [ -n "${KAVRIN_KEEP_INSTALL_TEST:-}" ] && echo "kept $TMP" && return
    rm -rf "$TMP"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# --- install -----------------------------------------------------------------------------
if ! cmake --install "$BUILD" --prefix "$PREFIX" > "$TMP/install.log" 2>&1; then
    cat "$TMP/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

# --- layout --------------------------------------------------------------------------------
for f in bin/kavrindemo bin/kavrin \
    lib/kavrindemo/libLumoInst.so lib/kavrindemo/libLumoDialog.so \
    lib/kavrindemo/libPemDebug.so lib/kavrindemo/libPemLogWindow.so lib/kavrindemo/libfglib5.so \
    share/applications/$APP_ID.desktop share/metainfo/$APP_ID.metainfo.xml \
    share/icons/hicolor/scalable/apps/$APP_ID.svg share/icons/hicolor/256x256/apps/$APP_ID.png \
    share/man/man1/kavrin.1 share/man/man1/kavrindemo.1; do
    [ -f "$PREFIX/$f" ] || fail "missing $f"
done
for f in bin/kavrindemo bin/kavrin; do
    [ -x "$PREFIX/$f" ] || fail "$f is not executable"
done
# Only the two programs in bin/; only libraries in lib/, all of them in lib/kavrindemo/.
extra_bin=$(find "$PREFIX/bin" -mindepth 1 ! -name kavrindemo ! -name kavrin)
[ -z "$extra_bin" ] || fail "unexpected in bin/: $extra_bin"
extra_lib=$(find "$PREFIX/lib" -mindepth 1 ! -path "$PREFIX/lib/kavrindemo" \
    ! -path "$PREFIX/lib/kavrindemo/lib*.so*")
[ -z "$extra_lib" ] || fail "unexpected in lib/: $extra_lib"
# Nothing of the tests, benchmarks or fuzzers.
stray=$(find "$PREFIX" \( -name 'test_*' -o -name 'bench_*' -o -name 'fuzz_*' \
    -o -name '*_partial*' -o -name '*without_modules*' -o -name '*.a' -o -name '*.h' \))
[ -z "$stray" ] || fail "test, benchmark or build files installed: $stray"
top=$(find "$PREFIX" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | tr '\n' ' ')
[ "$top" = "bin lib share " ] || fail "prefix holds '$top', expected bin lib share"
[ "$failures" -eq 0 ] && pass "layout"

# --- RPATH ---------------------------------------------------------------------------------
# The programs carry none: the grabber library is looked up by name first, and a search path of
# the program's own would find the bundled simulator before a vendor's library.
for program in kavrindemo kavrin; do
    rpath=$(readelf -d "$PREFIX/bin/$program" | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]/\1/p')
    [ -z "$rpath" ] || fail "$program: RPATH '$rpath', expected none"
done
# No installed ELF file may point into the build or source tree, or anywhere but $ORIGIN.
elf_count=0
while IFS= read -r -d '' file; do
    [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
    elf_count=$((elf_count + 1))
    paths=$(readelf -d "$file" | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]/\1/p')
    IFS=: read -r -a entries <<< "$paths"
    for entry in "${entries[@]}"; do
        case "$entry" in
        *"$BUILD"* | *"$SOURCE"*) fail "$file: RPATH into the build tree: $entry" ;;
        '$ORIGIN' | '$ORIGIN/'*) ;;
        *) fail "$file: RPATH outside the installed tree: $entry" ;;
        esac
    done
done < <(find "$PREFIX" -type f -print0)
[ "$elf_count" -ge 6 ] || fail "only $elf_count ELF files installed"
pass "RPATH of $elf_count ELF files"

# --- desktop entry, metainfo, manual pages ---------------------------------------------------
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$PREFIX/share/applications/$APP_ID.desktop" || fail "desktop entry"
else
    echo "skip: desktop-file-validate is missing (scripts/install-deps.sh installs it)"
fi
if command -v appstreamcli > /dev/null; then
    appstreamcli validate --no-net "$PREFIX/share/metainfo/$APP_ID.metainfo.xml" ||
        fail "metainfo"
else
    echo "skip: appstreamcli is missing (scripts/install-deps.sh installs it)"
fi
if command -v groff > /dev/null; then
    for page in kavrin kavrindemo; do
        warnings=$(groff -man -Tutf8 -ww -z "$PREFIX/share/man/man1/$page.1" 2>&1)
        [ -z "$warnings" ] || fail "$page.1: $warnings"
    done
else
    echo "skip: groff is missing"
fi

# --- the installed programs, from the prefix alone ---------------------------------------
mkdir -p "$TMP/home" "$TMP/work"
# No loader path and no KAVRIN_ variable: the programs find their libraries only from where
# they are installed.
clean_env=(env -u LD_LIBRARY_PATH)
for name in $(env | sed -n 's/^\(KAVRIN_[A-Za-z0-9_]*\)=.*/\1/p; s/^\(FGSIM_[A-Za-z0-9_]*\)=.*/\1/p'); do
    clean_env+=(-u "$name")
done
clean_env+=(HOME="$TMP/home" KAVRIN_DATA_HOME="$TMP/home/data"
    KAVRIN_REGISTRY_DIR="$TMP/home/registry" XDG_STATE_HOME="$TMP/home/state"
    XDG_CONFIG_HOME="$TMP/home/config" XDG_DATA_HOME="$TMP/home/share"
    XDG_RUNTIME_DIR="$TMP/runtime")
mkdir -m 700 "$TMP/runtime"
cd "$TMP/work" || exit 1

out=$("${clean_env[@]}" "$PREFIX/bin/kavrin" --version)
[ "$out" = "kavrin $VERSION" ] || fail "kavrin --version printed '$out'"

out=$("${clean_env[@]}" "$PREFIX/bin/kavrin" boards --json)
case "$out" in
*'"available": true'*) ;;
*) fail "kavrin boards: the simulator beside the program is not bound: $out" ;;
esac

out=$("${clean_env[@]}" FGSIM_FPS=500 "$PREFIX/bin/kavrin" grab --camera 0 --buffers 4 \
    --height 16 --single --json -o "$TMP/work/grab.tif")
status=$?
[ "$status" -eq 0 ] || fail "kavrin grab exited with $status: $out"
case "$out" in
*'"grabbed": 4'*) pass "kavrin grab: $out" ;;
*) fail "kavrin grab did not grab 4 images: $out" ;;
esac
# The saved file (written by the installed image library) holds the grab's images.
images=$(sed -n 's/.*"images": \([0-9]*\).*/\1/p' <<< "$out")
out=$("${clean_env[@]}" "$PREFIX/bin/kavrin" info "$TMP/work/grab.tif" --json)
case "$out" in
*"\"frames\": ${images:-none},"*) pass "kavrin info of the grabbed file" ;;
*) fail "kavrin info does not show the ${images:-?} grabbed images: $out" ;;
esac

# kavrindemo offscreen, ended by SIGTERM once its registry store exists.
"${clean_env[@]}" QT_QPA_PLATFORM=offscreen "$PREFIX/bin/kavrindemo" &
DEMO_PID=$!
for _ in $(seq 200); do
    [ -f "$TMP/home/registry/HKEY_CURRENT_USER.db" ] && break
    kill -0 "$DEMO_PID" 2>/dev/null || break
    sleep 0.1
done
[ -f "$TMP/home/registry/HKEY_CURRENT_USER.db" ] || fail "kavrindemo made no registry store"
sleep 0.5
kill -TERM "$DEMO_PID" 2>/dev/null
status=124
for _ in $(seq 200); do
    if ! kill -0 "$DEMO_PID" 2>/dev/null; then
        wait "$DEMO_PID"
        status=$?
        break
    fi
    sleep 0.1
done
DEMO_PID=
[ "$status" -eq 0 ] || fail "kavrindemo ended with status $status after SIGTERM"
ini=$(find "$TMP/home/data" -name KavrinDemo.ini 2> /dev/null | head -n 1)
[ -n "$ini" ] || fail "kavrindemo wrote no KavrinDemo.ini"
# Its logs are written by the installed log library, found beside the program.
[ -f "$TMP/home/state/kavrindemo/Doc debug.log" ] || fail "kavrindemo wrote no log"
[ "$status" -eq 0 ] && [ -n "$ini" ] && pass "kavrindemo ended cleanly on SIGTERM"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install test passed"
