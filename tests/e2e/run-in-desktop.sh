#!/usr/bin/env bash
# Runs a Windows test program inside a Wine virtual desktop of its own (800x600), whose taskbar
# shows the notification area the way a user sees it:
#
#   run-in-desktop.sh WINE_RUN PROGRAM.exe [ARGS...]
#
# The default desktop of a test prefix shows notification icons in a separate "Wine System Tray"
# window that draws a new icon over the old one without erasing it, so a number that changed
# cannot be read there; the taskbar of a virtual desktop erases first. Windows of one desktop
# cannot be found from another, so the whole test program runs inside it, and every program it
# starts inherits the desktop.
#
# Listing the tests (--gtest_list_tests) needs no desktop. Wine's explorer does not pass the
# program's exit code on, so the result is read from GoogleTest's summary lines: passed only when
# it reports passed tests and no failed ones (a crash reports neither).
set -uo pipefail

wine_run=$1
program=$2
shift 2

for arg in "$@"; do
    if [ "$arg" = "--gtest_list_tests" ]; then
        exec "$wine_run" "$program" "$@"
    fi
done

# Explorer starts the program by its Windows path (Wine maps the Unix root to drive Z:).
windows_program="Z:${program//\//\\}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$wine_run" explorer "/desktop=KelvaneTray$$,800x600" "$windows_program" "$@" 2>&1 | tee "$log"

grep -q '^\[  PASSED  \] [1-9]' "$log" && ! grep -q '^\[  FAILED  \]' "$log"
