#!/usr/bin/env bash
# Runs every test of Kelvane on a Debian machine: installs what is missing, builds the native
# rules (with sanitizers) and the Windows program (cross-compiled), and runs all suites, the
# Windows ones under Wine on a private X display, then the release checks (scripts/release-checks.sh:
# a build without GoogleTest, the package built twice with identical bytes). Exits nonzero when
# anything fails. Arguments go to ctest, for example `-R dialog` to run only the tests whose names
# contain "dialog"; with arguments the release checks are left out.
set -uo pipefail
source "$(dirname "$0")/common.sh"
cd "$KELVANE_ROOT" || exit 1

ensure_packages "${KELVANE_BUILD_PACKAGES[@]}" || exit 1

status=0
cmake --preset native >/dev/null && cmake --build --preset native || exit 1
cmake --preset windows-cross >/dev/null && cmake --build --preset windows-cross || exit 1

prefix="$KELVANE_ROOT/build/windows/wineprefix"
cleanup() {
    stop_wineserver "$prefix"
    stop_private_display
}
trap cleanup EXIT
start_private_display || exit 1
# One wineserver (and with it Wine's explorer, the tray host) for the whole run, instead of one
# started and stopped for every test process.
build/windows/wine-run --prepare
WINEPREFIX="$prefix" "$(find_wineserver)" -p
# Start the desktop process (the tray host) now, with its output going nowhere: started later by
# a test, it would inherit that test's output pipe and hold it open after the test ends. The
# keeper's hidden window keeps it alive between tests until the wineserver is stopped.
WINEPREFIX="$prefix" WINEDEBUG=-all "$(find_wine)" build/windows/bin/desktop_keeper.exe \
    >/dev/null 2>&1 &

echo "== native rules (ASan, UBSan)"
ctest --preset native -j"$(nproc)" "$@" || status=1
echo "== Windows program under Wine"
ctest --preset windows-cross -j"$(nproc)" "$@" || status=1
if [ $# -eq 0 ]; then
    scripts/release-checks.sh || status=1
fi
exit $status
