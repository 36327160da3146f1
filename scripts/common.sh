# Shared by the scripts: packages, the Wine loader and a private X display.
# shellcheck shell=bash

KELVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# ensure_packages PKG...: installs the Debian packages that are missing, and only those.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# What the Windows program alone needs to build; the tests and the demo need the rest.
KELVANE_PROGRAM_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools
    binutils-mingw-w64-x86-64)
KELVANE_BUILD_PACKAGES=("${KELVANE_PROGRAM_PACKAGES[@]}" g++ googletest wine64 fonts-wine xvfb
    xdotool imagemagick python3)

# kelvane_version: the file version of the program's version block, as Windows shows it.
kelvane_version() {
    sed -n 's/^ *VALUE "FileVersion", "\([^"]*\)".*/\1/p' "$KELVANE_ROOT/res/kelvane.rc"
}

# find_wine: prints the path of Debian's wine64 loader, which is not on PATH.
find_wine() {
    local candidate
    for candidate in "$(command -v wine64 2>/dev/null)" /usr/lib/wine/wine64 \
        "$(dpkg -L wine64 2>/dev/null | grep -m1 '/wine64$')"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

# find_wineserver: the wineserver next to the loader.
find_wineserver() {
    local dir
    dir=$(dirname "$(find_wine)")
    if [ -x "$dir/wineserver64" ]; then echo "$dir/wineserver64"; else echo "$dir/wineserver"; fi
}

# start_private_display [WxHxD]: starts Xvfb on a free display number and exports DISPLAY;
# KELVANE_XVFB_PID holds its process id for stop_private_display.
start_private_display() {
    local geometry=${1:-1280x1024x24} n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -nolisten tcp -screen 0 "$geometry" >/dev/null 2>&1 &
        KELVANE_XVFB_PID=$!
        for _ in $(seq 200); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.05
        done
        export DISPLAY=":$n"
        return 0
    done
    echo "no free X display number" >&2
    return 1
}

stop_private_display() {
    if [ -n "${KELVANE_XVFB_PID:-}" ]; then
        kill "$KELVANE_XVFB_PID" 2>/dev/null || true
        wait "$KELVANE_XVFB_PID" 2>/dev/null || true
        KELVANE_XVFB_PID=""
    fi
}

# stop_wineserver PREFIX: ends every Wine process of that prefix.
stop_wineserver() {
    WINEPREFIX="$1" "$(find_wineserver)" -k 2>/dev/null || true
}
