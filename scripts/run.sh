#!/usr/bin/env bash
# Builds Kelvane and runs it under Wine on the simulated driver, for a person to watch:
#
#   ./scripts/run.sh [--reset]
#
# Kelvane runs in a Wine virtual desktop (1024x768) whose taskbar shows its number icons, in a Wine
# prefix of its own (build/windows/demo-prefix) that keeps Kelvane's settings and history from one
# run to the next; --reset starts from no settings and no history. The driver plays
# tools/nvapi-sim/scenarios/demo.ini.
#
# With a DISPLAY the desktop opens there and the command runs until Kelvane's window is closed.
# Without one it uses a private Xvfb: after the first samples it saves a screenshot of the desktop,
# prints its path, and stops everything it started.
set -uo pipefail
source "$(dirname "$0")/common.sh"
cd "$KELVANE_ROOT" || exit 1

reset=0
for arg in "$@"; do
    case "$arg" in
    --reset) reset=1 ;;
    -h | --help)
        sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "run.sh: unknown option $arg (see --help)" >&2
        exit 2
        ;;
    esac
done

ensure_packages "${KELVANE_BUILD_PACKAGES[@]}" || exit 1
# Only what runs here: the program, the simulated driver and the launcher, not the test programs.
cmake --preset windows-cross >/dev/null &&
    cmake --build --preset windows-cross --target Kelvane nvapi64 kelvane_launcher || exit 1

build="$KELVANE_ROOT/build/windows"
export KELVANE_WINEPREFIX="$build/demo-prefix"
# Its windows are managed by the window manager of the display they appear on.
export KELVANE_WINE_MANAGED=1
scenario="$KELVANE_ROOT/tools/nvapi-sim/scenarios/demo.ini"
sim_log="$build/demo-sim.log"
screenshot="$build/demo-screenshot.png"
desktop="Kelvane,1024x768"
[ -f "$scenario" ] || { echo "run.sh: missing $scenario" >&2; exit 1; }

# The simulated driver reads both files by their Unix paths.
export NVAPI_SIM_SCENARIO="$scenario"
export NVAPI_SIM_LOG="$sim_log"

# Windows path of a file of this machine (Wine maps the Unix root to drive Z:).
windows_path() {
    local path="$1"
    echo "Z:${path//\//\\}"
}

# Thermal readings the driver has answered so far.
thermal_reads() {
    local count
    count=$(grep -c "^NvAPI_GPU_GetThermalSettings " "$sim_log" 2>/dev/null)
    echo "${count:-0}"
}

cleanup() {
    stop_wineserver "$KELVANE_WINEPREFIX"
    stop_private_display
}
trap cleanup EXIT

headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    start_private_display 1024x768x24 || exit 1
    echo "No DISPLAY: running on a private Xvfb ($DISPLAY)."
fi

# The first run creates and boots the prefix (about 20 seconds) and installs the simulated driver
# where the real one lives; every run brings the driver up to date.
[ -f "$KELVANE_WINEPREFIX/.kelvane-ready" ] || echo "Preparing the demo Wine prefix $KELVANE_WINEPREFIX ..."
"$build/wine-run" --prepare || { echo "run.sh: the Wine prefix cannot be prepared" >&2; exit 1; }

data_folder="$KELVANE_WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Ostrel-Tools/Kelvane"
if [ "$reset" -eq 1 ]; then
    rm -rf "$data_folder"
    echo "Reset: Kelvane starts without settings and history."
fi
if [ ! -e "$data_folder/Kelvane.ini" ]; then
    # A short interval makes the graph move while you watch; Kelvane's own default is 60 s.
    mkdir -p "$data_folder"
    printf '[Settings]\r\nInterval=4\r\n' >"$data_folder/Kelvane.ini"
    echo "New demo settings: one sample every 4 seconds (the 'Update speed' slider changes it)."
fi
echo "Kelvane keeps its demo settings and history in $data_folder"

rm -f "$sim_log"
launcher=$(windows_path "$build/bin/kelvane_launcher.exe")
if [ "$headless" -eq 0 ]; then
    echo "Starting Kelvane on $DISPLAY; close its window to end."
    "$build/wine-run" explorer "/desktop=$desktop" "$launcher" --show
    exit 0
fi

"$build/wine-run" explorer "/desktop=$desktop" "$launcher" --show &
desktop_job=$!
# Start-up reads each GPU once; wait for a few samples after that.
for _ in $(seq 1800); do
    [ "$(thermal_reads)" -ge 5 ] && break
    kill -0 "$desktop_job" 2>/dev/null || break
    sleep 0.1
done
echo "The driver answered $(thermal_reads) thermal readings."
if import -window root "$screenshot"; then
    echo "Screenshot of the desktop: $screenshot"
else
    echo "run.sh: no screenshot taken" >&2
fi
# Close Kelvane the way its close button does, so it saves its history, then stop the rest.
"$build/wine-run" explorer "/desktop=$desktop" "$launcher" --close >/dev/null 2>&1
for _ in $(seq 600); do
    kill -0 "$desktop_job" 2>/dev/null || break
    sleep 0.1
done
