#!/usr/bin/env bash
# Builds the package for Windows users:
#
#   ./scripts/package.sh
#
# writes into dist/:
#   Kelvane-<version>-win64.zip   Kelvane.exe, LICENSE.txt and README.txt (docs/README.txt)
#   Kelvane.exe                   the same program, on its own
#   SHA256SUMS                    checksums of both, for `sha256sum -c SHA256SUMS`
# <version> is the file version of the program's version block (res/kelvane.rc).
#
# The program is the one the tests run: Kelvane.exe of the windows-cross build, built or brought
# up to date here with that preset's flags. The bytes depend only on the sources: the program
# carries no link time and no build folder, and the zip's entries carry the time of the last
# commit (SOURCE_DATE_EPOCH instead, when it is set) in a fixed order with fixed permissions. So
# two packages built from the same commit, anywhere and at any time, are byte-identical.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$KELVANE_ROOT"

ensure_packages "${KELVANE_PROGRAM_PACKAGES[@]}" python3

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
        echo "package.sh: not a git checkout: set SOURCE_DATE_EPOCH to the commit time" >&2
        exit 1
    }
fi
version=$(kelvane_version)
[ -n "$version" ] || { echo "package.sh: no FileVersion in res/kelvane.rc" >&2; exit 1; }

cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross --target Kelvane

# Windows users read the texts with Notepad: CRLF line ends.
stage="$KELVANE_ROOT/build/package"
rm -rf "$stage" dist
mkdir -p "$stage" dist
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' docs/README.txt >"$stage/README.txt"
cp build/windows/bin/Kelvane.exe dist/Kelvane.exe

zip="Kelvane-$version-win64.zip"
python3 scripts/release_zip.py "dist/$zip" "$SOURCE_DATE_EPOCH" Kelvane.exe=dist/Kelvane.exe \
    LICENSE.txt="$stage/LICENSE.txt" README.txt="$stage/README.txt"
(cd dist && sha256sum "$zip" Kelvane.exe >SHA256SUMS)

echo "Package of Kelvane $version in $KELVANE_ROOT/dist:"
(cd dist && cat SHA256SUMS)
