#!/usr/bin/env bash
# Checks what a Windows user and a Windows developer rely on, beyond the test suites (run by
# scripts/test.sh after them):
#
# 1. Without GoogleTest the project still configures and builds: the Windows presets' cache values
#    with a GoogleTest location that does not exist give Kelvane.exe and no tests. Those presets
#    leave warnings as warnings for users with newer compilers; here they stay errors.
# 2. The package is reproducible: built here and again from a copy of the sources in another
#    folder, later, it has the same bytes; and its checksums check.
set -uo pipefail
source "$(dirname "$0")/common.sh"
cd "$KELVANE_ROOT" || exit 1

failed=0
fail() {
    echo "release check FAILED: $*" >&2
    failed=1
}

# Cache variables of a configure preset, as -D options.
preset_cache_options() {
    python3 - "$1" <<'EOF'
import json, sys
presets = {p["name"]: p for p in json.load(open("CMakePresets.json"))["configurePresets"]}
for name, value in presets[sys.argv[1]].get("cacheVariables", {}).items():
    print(f"-D{name}={value}")
EOF
}

echo "== configure and build without GoogleTest (windows-mingw preset's values)"
nogtest="$KELVANE_ROOT/build/no-googletest"
rm -rf "$nogtest"
mapfile -t options < <(preset_cache_options windows-mingw)
if cmake -S . -B "$nogtest" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake "${options[@]}" \
    -DKELVANE_WERROR=ON -DKELVANE_GTEST_SOURCE="$nogtest/no-such-googletest" >"$nogtest.log" 2>&1; then
    grep -q "no GoogleTest found" "$nogtest.log" || fail "configure did not say it builds no tests"
    grep -q -- "-Werror" "$nogtest/build.ninja" || fail "warnings are not errors in this build"
    if cmake --build "$nogtest" >>"$nogtest.log" 2>&1; then
        [ -f "$nogtest/bin/Kelvane.exe" ] || fail "no Kelvane.exe without GoogleTest"
        [ -z "$(cd "$nogtest" && ctest -N | grep 'Test *#')" ] || fail "tests registered without GoogleTest"
    else
        fail "build without GoogleTest (see $nogtest.log)"
    fi
else
    fail "configure without GoogleTest (see $nogtest.log)"
fi

echo "== package, twice, in two folders"
epoch=$(git log -1 --format=%ct)
SOURCE_DATE_EPOCH="$epoch" scripts/package.sh || fail "package.sh"
(cd dist && sha256sum -c SHA256SUMS) || fail "checksums of dist/"
# The sources as they are now, committed or not, in a folder of another name and length.
copy=$(mktemp -d /tmp/kelvane-reproduce.XXXXXXXX)
git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$copy"
if SOURCE_DATE_EPOCH="$epoch" "$copy/scripts/package.sh" >"$copy.log" 2>&1; then
    for file in dist/*; do
        cmp "$file" "$copy/$file" || fail "$file differs between two builds of the same sources"
    done
    [ "$(ls dist)" = "$(ls "$copy/dist")" ] || fail "the two packages hold different files"
else
    fail "package.sh in $copy (see $copy.log)"
fi
rm -rf "$copy" "$copy.log"

[ "$failed" -eq 0 ] && echo "== release checks passed: the package's bytes depend on the sources only"
exit "$failed"
