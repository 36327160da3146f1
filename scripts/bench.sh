#!/usr/bin/env bash
# Measures Kelvane's footprint against the least a Win32 dialog program can be
# (tools/bench/minimal_dialog.cpp, built with the same flags), runs the fuzzers, prints one table
# and writes it with the method into BENCHMARKS.md:
#
#   ./scripts/bench.sh [--quick]
#
# Everything runs under Wine on a private Xvfb, in a Wine prefix of its own
# (build/windows/bench-prefix) with one wineserver for the whole run, against the simulated
# driver. Both programs run side by side and are measured the same way in the same run.
# Benchmarks measure; no figure fails the run (a step that cannot be measured does). Logs of
# every step land in build/windows/bench/.
#
# --quick runs every step with small counts (to try the script) and leaves BENCHMARKS.md alone.
set -uo pipefail
source "$(dirname "$0")/common.sh"
cd "$KELVANE_ROOT" || exit 1

ticks=10000        # sampling ticks per kind of tick, spread over the rounds
rounds=5           # the tick phases alternate in this many rounds
idle_seconds=60    # the minute in the tray
starts=5           # start-up times: median of this many starts of each program
relay_ticks=200    # ticks per phase while Wine logs the graphics calls
relay_idle_seconds=8  # and the wait before them, for the messages Kelvane gets while idle
fuzz_runs=2000000  # executions per fuzz target
write_report=1
for arg in "$@"; do
    case "$arg" in
    --quick)
        ticks=500 idle_seconds=8 starts=2 relay_ticks=20 fuzz_runs=20000 write_report=0
        ;;
    -h | --help)
        sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "bench.sh: unknown option $arg (see --help)" >&2
        exit 2
        ;;
    esac
done

say() { echo "bench: $*" >&2; }

ensure_packages "${KELVANE_BUILD_PACKAGES[@]}" clang || exit 1
say "building the Windows programs (preset windows-cross) and the fuzz targets (preset fuzz)"
{ cmake --preset windows-cross && cmake --build --preset windows-cross; } >/dev/null || {
    echo "bench.sh: the windows-cross build failed" >&2
    exit 1
}
{ cmake --preset fuzz && cmake --build --preset fuzz; } >/dev/null || {
    echo "bench.sh: the fuzz build failed" >&2
    exit 1
}

build="$KELVANE_ROOT/build/windows"
kelvane_exe="$build/bin/Kelvane.exe"
minimal_exe="$build/tools/bench/minimal_dialog.exe"
helper="$build/tools/bench/kelvane_bench.exe"
out="$build/bench"
rm -rf "$out"
mkdir -p "$out"

export KELVANE_WINEPREFIX="$build/bench-prefix"
export WINEPREFIX="$KELVANE_WINEPREFIX"
# Kelvane and the helper take their language from the locale; fix it for comparable runs.
export LC_ALL=C.UTF-8

declare -A M # every figure, by name

# ---- Program files ----

# System DLLs every Windows installation has; anything else imported would have to ship along.
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
    oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll winmm.dll "

for program in kelvane minimal; do
    file=$kelvane_exe
    [ "$program" = minimal ] && file=$minimal_exe
    M[$program.size]=$(stat -c %s "$file")
    M[$program.imports]=$(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/ {print $3}' |
        sort -f | paste -sd' ')
    M[$program.foreign]=""
    for dll in ${M[$program.imports]}; do
        [[ "$system_dlls" == *" ${dll,,} "* ]] || M[$program.foreign]+=" $dll"
    done
done

# ---- The Wine session ----

helper_pid=""
cleanup() {
    [ -n "$helper_pid" ] && kill "$helper_pid" 2>/dev/null
    stop_wineserver "$WINEPREFIX"
    stop_private_display
}
trap cleanup EXIT

start_private_display || exit 1
say "preparing the Wine prefix $WINEPREFIX"
"$build/wine-run" --prepare || { echo "bench.sh: the Wine prefix cannot be prepared" >&2; exit 1; }
# One wineserver and one desktop process (the notification-area host) for the whole run. Wine
# ends the desktop process soon after the last window is gone; the test suite's desktop keeper
# holds a hidden window, so the starts between the measurements all find the same tray host.
"$(find_wineserver)" -p
WINEDEBUG=-all "$(find_wine)" "$build/bin/desktop_keeper.exe" >/dev/null 2>&1 &
# The calls Wine's relay log records in the counting run: graphics, icons and the tray.
WINEDEBUG=-all "$(find_wine)" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /f /d \
    'gdi32.*;user32.CreateIconIndirect;user32.DestroyIcon;user32.DrawTextA;user32.GetDC;user32.ReleaseDC;user32.InvalidateRect;user32.UpdateWindow;shell32.Shell_NotifyIconA' \
    >/dev/null 2>&1

windows_path() {
    local path="$1"
    echo "Z:${path//\//\\}"
}

# unix_pid NAME: the Linux process of this prefix whose program file is NAME (Wine shows a
# Windows program's path as the first word of its command line).
unix_pid() {
    local name=${1,,} dir first base
    for dir in /proc/[0-9]*; do
        first=$(tr '\0' '\n' 2>/dev/null <"$dir/cmdline" | head -n 1)
        first=${first%"${first##*[! ]}"}
        base=${first##*[\\/]}
        [ "${base,,}" = "$name" ] || continue
        tr '\0' '\n' 2>/dev/null <"$dir/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        echo "${dir#/proc/}"
        return 0
    done
    return 1
}

# CPU time of a process in nanoseconds: the time its threads spent on a CPU (schedstat).
cpu_ns() {
    [ -n "${1:-}" ] || { echo 0; return; }
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%.0f\n", s}'
}
rss_kb() { awk '/^VmRSS:/ {print $2}' /proc/"$1"/status 2>/dev/null; }
# Private memory: the pages the process has written itself (Private_Dirty). Private_Clean is
# left out: it counts file pages that no other process maps at that moment, which depends on
# whatever else runs on the machine.
private_kb() { awk '/^Private_Dirty:/ {print $2}' /proc/"$1"/smaps_rollup 2>/dev/null; }

# The processes measured: the programs (found when the helper names them) and the session's
# shared ones: the notification-area host (explorer.exe), the wineserver and the X server.
declare -A P
P[tray]=""
P[server]=""
P[x]=$KELVANE_XVFB_PID

# sample LABEL: memory and CPU time of every measured process.
sample() {
    local who
    for who in kelvane minimal helper; do
        [ -n "${P[$who]:-}" ] || continue
        M[$who.$1.cpu]=$(cpu_ns "${P[$who]}")
        M[$who.$1.rss]=$(rss_kb "${P[$who]}")
        M[$who.$1.private]=$(private_kb "${P[$who]}")
    done
    for who in tray server x; do
        M[$who.$1.cpu]=$(cpu_ns "${P[$who]}")
    done
    if [ "$1" = startup ]; then
        cp /proc/"${P[kelvane]}"/smaps "$out/kelvane-startup.smaps"
        cp /proc/"${P[minimal]}"/smaps "$out/minimal-startup.smaps"
    fi
}

# run_helper RUN MODE ARGS...: runs kelvane_bench ARGS and answers its measuring points. MODE
# "timed" samples the processes there; "relay" runs it under Wine's relay log and only answers.
# Its results land in M[RUN.KEY], several of the same key separated by ';'.
run_helper() {
    local run="$1" mode="$2" line word key rest status=0 who
    shift 2
    local log="$out/$run"
    # The helper's input and output go through two named pipes: it waits on its input at each
    # measuring point.
    local to_helper="$out/to-helper" from_helper="$out/from-helper" to from
    rm -f "$to_helper" "$from_helper"
    mkfifo "$to_helper" "$from_helper"
    if [ "$mode" = relay ]; then
        WINEDEBUG=+pid,+relay "$build/wine-run" "$helper" "$@" <"$to_helper" >"$from_helper" \
            2>"$log.stderr" &
    else
        "$build/wine-run" "$helper" "$@" <"$to_helper" >"$from_helper" 2>"$log.stderr" &
    fi
    helper_pid=$!
    exec {to}>"$to_helper" {from}<"$from_helper"
    while IFS= read -r -u "$from" line; do
        line=${line%$'\r'}
        echo "$line" >>"$log.out"
        read -r word key rest <<<"$line"
        case "$word" in
        target)
            case "$key" in
            Kelvane.exe) who=kelvane ;;
            minimal_dialog.exe) who=minimal ;;
            *) who=helper ;;
            esac
            P[$who]=$(unix_pid "$key")
            M[$run.winpid.$who]=$rest
            P[tray]=$(unix_pid explorer.exe)
            P[server]=$(unix_pid wineserver64 || unix_pid wineserver)
            ;;
        measure)
            [ "$mode" = timed ] && sample "$key"
            echo >&"$to"
            ;;
        result)
            M[$run.$key]="${M[$run.$key]:+${M[$run.$key]};}$rest"
            ;;
        error)
            echo "bench.sh: $run: $key $rest" >&2
            status=1
            ;;
        esac
    done
    exec {to}>&- {from}<&-
    wait "$helper_pid" || status=1
    helper_pid=""
    rm -f "$to_helper" "$from_helper"
    P[kelvane]="" P[minimal]="" P[helper]=""
    return $status
}

failed=0
kelvane_win=$(windows_path "$kelvane_exe")
minimal_win=$(windows_path "$minimal_exe")

say "start-up times: $starts starts of each program, taking turns"
for _ in $(seq "$starts"); do
    run_helper start timed startup kelvane "$kelvane_win" || failed=1
    run_helper start timed startup minimal "$minimal_win" || failed=1
done
say "both programs side by side: start-up, ${idle_seconds} s idle, $ticks ticks of each kind in $rounds rounds"
run_helper session timed session "$kelvane_win" "$minimal_win" "$ticks" "$rounds" \
    "$idle_seconds" || failed=1
say "again under Wine's relay log: ${relay_idle_seconds} s idle, $relay_ticks ticks of each kind, counting calls"
run_helper relay relay session "$kelvane_win" "$minimal_win" "$relay_ticks" 1 "$relay_idle_seconds" ||
    failed=1

stop_wineserver "$WINEPREFIX"
stop_private_display

# ---- Fuzzing ----

fuzz_targets=()
for fuzzer in "$KELVANE_ROOT"/build/fuzz/tests/fuzz/*_fuzz; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    fuzz_targets+=("$name")
    say "fuzzing $name: $fuzz_runs executions"
    begin=$(date +%s.%N)
    (cd "$out" && "$fuzzer" -runs="$fuzz_runs" -seed=1 >"$name.log" 2>&1)
    code=$?
    end=$(date +%s.%N)
    M[fuzz.$name.seconds]=$(awk -v a="$begin" -v b="$end" 'BEGIN {printf "%.1f", b - a}')
    M[fuzz.$name.runs]=$(awk '/^Done [0-9]+ runs/ {print $2}' "$out/$name.log")
    M[fuzz.$name.cov]=$(awk '/DONE/ {for (i = 1; i < NF; i++) if ($i == "cov:") c = $(i + 1)}
        END {print c}' "$out/$name.log")
    if [ "$code" -eq 0 ] && [ "${M[fuzz.$name.runs]:-0}" = "$fuzz_runs" ]; then
        M[fuzz.$name.result]="met: no failure"
    else
        M[fuzz.$name.result]="FAILED (exit $code, build/windows/bench/$name.log)"
        failed=1
    fi
done

# ---- Figures ----

calc() { awk "BEGIN {printf \"$1\", $2}"; }
# Thousands separated by commas.
grouped() { sed -E ':a; s/^([0-9]+)([0-9]{3})/\1,\2/; ta' <<<"$1"; }
cpu_delta() { echo $(( ${M[$1.$3.cpu]:-0} - ${M[$1.$2.cpu]:-0} )); }

# per_tick WHO PHASE [ELSE...]: microseconds of CPU per tick of WHO over the rounds of PHASE,
# as "median min max"; with ELSE, the CPU of those processes instead.
per_tick() {
    local who=$1 phase=$2 round count sum part values=""
    shift 2
    for round in $(seq "$rounds"); do
        count=${M[session.$phase-$round]:-0}
        [ "$count" -gt 0 ] || continue
        sum=0
        for part in "${@:-$who}"; do
            sum=$((sum + $(cpu_delta "$part" "$phase-$round-begin" "$phase-$round-end")))
        done
        values+="$(calc "%.1f" "$sum / $count / 1000") "
    done
    tr ' ' '\n' <<<"$values" | awk 'NF' | sort -n |
        awk '{v[NR] = $1} END {if (!NR) {print "0 0 0"; exit}
            m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%.1f %.1f %.1f\n", m, v[1], v[NR]}'
}
read -r k_rend k_rend_lo k_rend_hi <<<"$(per_tick kelvane rendered)"
read -r k_rend_else _ _ <<<"$(per_tick kelvane rendered tray x)"
read -r k_same k_same_lo k_same_hi <<<"$(per_tick kelvane unchanged)"
read -r k_same_else _ _ <<<"$(per_tick kelvane unchanged tray x)"
read -r m_tick m_tick_lo m_tick_hi <<<"$(per_tick minimal minimal)"
read -r m_tick_else _ _ <<<"$(per_tick minimal minimal tray x)"
read -r driver driver_lo driver_hi <<<"$(per_tick helper driver)"
total_ticks() {
    local round sum=0
    for round in $(seq "$rounds"); do sum=$((sum + ${M[session.$1-$round]:-0})); done
    echo "$sum"
}
k_rend_n=$(total_ticks rendered)
k_same_n=$(total_ticks unchanged)
m_tick_n=$(total_ticks minimal)

# The idle minute: each program alone, and the session's shared processes (same for both).
idle_ms() { calc "%.2f" "$(cpu_delta "$1" idle-begin idle-end) / 1000000"; }
k_idle=$(idle_ms kelvane)
m_idle=$(idle_ms minimal)
shared_idle=$(calc "%.1f" "($(cpu_delta tray idle-begin idle-end) + $(cpu_delta server idle-begin idle-end) + $(cpu_delta x idle-begin idle-end)) / 1000000")
read -r k_idle_ticks m_idle_ticks driver_idle_reads <<<"${M[session.idle_ticks]:-0 0 0}"
driver_idle=$(idle_ms helper)
# Indistinguishable: the difference is below a hundredth of a percent of one CPU core. The
# simulated driver's share is what reading it costs beyond the minimal program's wake-ups.
idle_share=$(calc "%.4f" "($k_idle - $m_idle) / ($idle_seconds * 1000) * 100")
driver_idle_share=$(calc "%.2f" "($driver_idle > $m_idle ? $driver_idle - $m_idle : 0)")
own_idle_share=$(calc "%.4f" "($k_idle - $m_idle - $driver_idle_share) / ($idle_seconds * 1000) * 100")
idle_verdict=$(awk -v s="$idle_share" -v o="$own_idle_share" 'BEGIN {
    printf "%s: %s%.4f %% of one core", (s < 0.01 ? "met" : "missed"), (s < 0 ? "" : "+"), s
    if (s >= 0.01) printf "; without the simulated driver'"'"'s share %s%.4f %%", (o < 0 ? "" : "+"), o
    printf "\n" }')

# Start-up medians over the starts (milliseconds): first window, warning standing, first sample.
start_stat() { # PROGRAM FIELD: "median min max"
    tr ';' '\n' <<<"${M[start.$1_start]:-0 0 0}" | awk -v f="$2" '{print $f}' | sort -n |
        awk '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%.0f %.0f %.0f\n", m, v[1], v[NR]}'
}
read -r k_window k_window_lo k_window_hi <<<"$(start_stat kelvane 1)"
read -r k_warning _ _ <<<"$(start_stat kelvane 2)"
read -r k_sample k_sample_lo k_sample_hi <<<"$(start_stat kelvane 3)"
read -r m_window m_window_lo m_window_hi <<<"$(start_stat minimal 1)"

# Graphics and tray calls Kelvane made in the relay run's phases.
calls_in_phase() { # PHASE: "<graphics calls> <tray calls>"
    awk -v pid="${M[relay.winpid.kelvane]:-none}" -v phase="$1" '
        { sub(/\r$/, "") }
        $0 == "kelvane_bench: phase " phase " 1 begin" { on = 1; next }
        $0 == "kelvane_bench: phase " phase " 1 end" { on = 0; next }
        on && index($0, pid ":") == 1 && match($0, /:Call (gdi32|user32|shell32)\.[A-Za-z0-9_]+/) {
            if (substr($0, RSTART + 6, RLENGTH - 6) == "shell32.Shell_NotifyIconA") tray++
            else graphics++
        }
        END { printf "%d %d\n", graphics, tray }' "$out/relay.stderr"
}
# The messages Kelvane's dialog received while it waited, "WM_TIMER 2" and so on.
idle_messages=$(awk -v pid="${M[relay.winpid.kelvane]:-none}" '
    { sub(/\r$/, "") }
    $0 == "kelvane_bench: phase idle 0 begin" { on = 1; next }
    $0 == "kelvane_bench: phase idle 0 end" { on = 0; next }
    on && index($0, pid ":") == 1 && /:Call dialog proc / && match($0, /msg=[^,)]+/) {
        count[substr($0, RSTART + 4, RLENGTH - 4)]++
    }
    END { for (m in count) printf "%s%s %d", (n++ ? ", " : ""), m, count[m] }' "$out/relay.stderr")
read -r rend_gdi rend_tray <<<"$(calls_in_phase rendered)"
read -r same_gdi same_tray <<<"$(calls_in_phase unchanged)"
relay_rend_n=${M[relay.rendered-1]:-0}
relay_same_n=${M[relay.unchanged-1]:-0}
per_rendered_gdi=$(calc "%.1f" "$rend_gdi / ($relay_rend_n > 0 ? $relay_rend_n : 1)")
per_rendered_tray=$(calc "%.1f" "$rend_tray / ($relay_rend_n > 0 ? $relay_rend_n : 1)")
if [ "$relay_same_n" -gt 0 ] && [ "$same_gdi" -eq 0 ] && [ "$same_tray" -eq 0 ] && [ "$rend_gdi" -gt 0 ]; then
    gdi_verdict="met: none in $relay_same_n unchanged ticks"
else
    gdi_verdict="missed: $same_gdi GDI and $same_tray tray calls in $relay_same_n unchanged ticks"
fi

mib() { calc "%.1f MiB" "${1:-0} / 1024"; }
ratio() { calc "%.2f" "${1:-0} / (${2:-0} > 0 ? ${2:-0} : 1)"; }
at_most() { # VALUE LIMIT: met, or missed by how much
    awk -v v="$1" -v l="$2" 'BEGIN {if (v <= l) print "met"; else printf "missed by %.0f %%\n", (v / l - 1) * 100}'
}
size_verdict=$(at_most "${M[kelvane.size]}" 65536)
if [ -z "${M[kelvane.foreign]}" ]; then imports_verdict="met"; else imports_verdict="missed:${M[kelvane.foreign]}"; fi
for at in startup after-ticks; do
    M[ratio.$at.rss]=$(ratio "${M[kelvane.$at.rss]:-0}" "${M[minimal.$at.rss]:-0}")
    M[ratio.$at.private]=$(ratio "${M[kelvane.$at.private]:-0}" "${M[minimal.$at.private]:-0}")
done

# Memory of the mapped files Kelvane has at start-up and the minimal program has not: resident
# and private (written) KiB per file.
awk '
    FNR == 1 { file++ }
    /^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "[anonymous]"); names[name] = 1; seen[file, name] = 1; next }
    /^Rss:/ { rss[file, name] += $2 }
    /^Private_Dirty:/ { dirty[file, name] += $2 }
    END {
        for (n in names) if (seen[2, n] && !seen[1, n] && rss[2, n] > 0) {
            short = n; sub(/.*\//, "", short)
            printf "%d %d %s\n", rss[2, n], dirty[2, n], short
        }
    }' "$out/minimal-startup.smaps" "$out/kelvane-startup.smaps" 2>/dev/null | sort -rn \
    >"$out/extra-modules.txt"
read -r extra_count extra_kb extra_dirty_kb <<<"$(awk '{n++; r += $1; d += $2} END {print n + 0, r + 0, d + 0}' "$out/extra-modules.txt")"
read -r unix_extra_count unix_extra_kb <<<"$(awk '$3 ~ /\.so/ {n++; r += $1} END {print n + 0, r + 0}' "$out/extra-modules.txt")"
extra_top=$(head -n 6 "$out/extra-modules.txt" | awk '{printf "%s%s %.1f MiB", (NR > 1 ? ", " : ""), $3, $1 / 1024}')

# ---- The table ----

table() {
    local k=kelvane m=minimal name
    echo "| Figure | Kelvane | Minimal dialog program | Kelvane ÷ minimal | Goal | Verdict |"
    echo "|---|---|---|---|---|---|"
    echo "| Program file | $(grouped "${M[$k.size]}") bytes ($(calc "%.1f" "${M[$k.size]} / 1024") KiB) | $(grouped "${M[$m.size]}") bytes ($(calc "%.1f" "${M[$m.size]} / 1024") KiB) | $(ratio "${M[$k.size]}" "${M[$m.size]}") | at most 64 KiB | $size_verdict |"
    echo "| DLLs imported (objdump -p) | ${M[$k.imports]} | ${M[$m.imports]} | | system DLLs only | $imports_verdict |"
    echo "| Resident set (VmRSS) after start-up | $(mib "${M[$k.startup.rss]:-0}") | $(mib "${M[$m.startup.rss]:-0}") | ${M[ratio.startup.rss]} | at most 1.15 | $(at_most "${M[ratio.startup.rss]}" 1.15) |"
    echo "| Resident set after the ticks | $(mib "${M[$k.after-ticks.rss]:-0}") (after $(grouped "$((k_rend_n + k_same_n))") ticks) | $(mib "${M[$m.after-ticks.rss]:-0}") (after $(grouped "$m_tick_n")) | ${M[ratio.after-ticks.rss]} | at most 1.15 | $(at_most "${M[ratio.after-ticks.rss]}" 1.15) |"
    echo "| Private memory after start-up | $(mib "${M[$k.startup.private]:-0}") | $(mib "${M[$m.startup.private]:-0}") | ${M[ratio.startup.private]} | at most 1.15 | $(at_most "${M[ratio.startup.private]}" 1.15) |"
    echo "| Private memory after the ticks | $(mib "${M[$k.after-ticks.private]:-0}") | $(mib "${M[$m.after-ticks.private]:-0}") | ${M[ratio.after-ticks.private]} | at most 1.15 | $(at_most "${M[ratio.after-ticks.private]}" 1.15) |"
    echo "| CPU per tick, icon re-rendered ($(grouped "$k_rend_n") ticks) | $k_rend µs (rounds $k_rend_lo–$k_rend_hi); tray host and X server +$k_rend_else µs | $m_tick µs (rounds $m_tick_lo–$m_tick_hi); +$m_tick_else µs | $(ratio "$k_rend" "$m_tick") | measured | |"
    echo "| CPU per tick, temperature unchanged ($(grouped "$k_same_n") ticks) | $k_same µs (rounds $k_same_lo–$k_same_hi); +$k_same_else µs; the simulated driver's reading alone $driver µs (rounds $driver_lo–$driver_hi) | $m_tick µs | $(ratio "$k_same" "$m_tick") | measured | |"
    echo "| GDI and icon calls per tick (Wine relay log) | re-rendered: $per_rendered_gdi, plus $per_rendered_tray Shell_NotifyIconA; unchanged: $same_gdi and $same_tray in $relay_same_n ticks | none (its tick only counts) | | no GDI work when unchanged | $gdi_verdict |"
    echo "| CPU in the tray over $idle_seconds s at Interval 4 | $k_idle ms ($k_idle_ticks ticks); the simulated driver read as often, alone: $driver_idle ms | $m_idle ms ($m_idle_ticks ticks) | $(ratio "$k_idle" "$m_idle") | indistinguishable | $idle_verdict |"
    echo "| Start to first window (median of $starts) | $k_window ms ($k_window_lo–$k_window_hi; the vendor warning) | $m_window ms ($m_window_lo–$m_window_hi) | $(ratio "$k_window" "$m_window") | measured | |"
    echo "| Start to first sample (median of $starts) | $k_sample ms ($k_sample_lo–$k_sample_hi; warning answered after $k_warning ms) | first window $m_window ms | $(ratio "$k_sample" "$m_window") | measured | |"
    for name in "${fuzz_targets[@]}"; do
        echo "| Fuzzing $name (libFuzzer, ASan, UBSan) | $(grouped "${M[fuzz.$name.runs]:-0}") executions in ${M[fuzz.$name.seconds]} s, ${M[fuzz.$name.cov]:-?} coverage points | | | $(grouped "$fuzz_runs") executions, no failure | ${M[fuzz.$name.result]} |"
    done
}
table >"$out/table.md"
cat "$out/table.md"

[ "$write_report" -eq 1 ] || exit $failed
if [ "$failed" -ne 0 ]; then
    echo "bench.sh: a step failed; BENCHMARKS.md left as it was" >&2
    exit 1
fi

# ---- BENCHMARKS.md ----

k_growth=$(( ${M[kelvane.after-ticks.rss]:-0} - ${M[kelvane.startup.rss]:-0} ))
m_growth=$(( ${M[minimal.after-ticks.rss]:-0} - ${M[minimal.startup.rss]:-0} ))
private_more=$(( ${M[kelvane.startup.private]:-0} - ${M[minimal.startup.private]:-0} ))
rss_verdict=$(at_most "${M[ratio.startup.rss]}" 1.15)
private_verdict=$(at_most "${M[ratio.startup.private]}" 1.15)
memory_why="Kelvane maps $extra_count files at start-up that the minimal program does not; they hold $(calc "%.1f" "$extra_kb / 1024") MiB of its resident set (largest: $extra_top) and $extra_dirty_kb KiB of its private memory, out of the $private_more KiB it has more than the minimal program; $unix_extra_count of them are Linux libraries ($(calc "%.1f" "$unix_extra_kb / 1024") MiB). Kelvane loads \`comdlg32.dll\`, the font chooser's library, only when the chooser first opens: imported at start, it made Wine load its printing support (\`winspool.drv\` with the CUPS client library and GnuTLS, Kerberos, Avahi and D-Bus behind it) as the process started, 4.3 MiB of resident set that put Kelvane at 1.30 times the minimal program."
own_tick=$(calc "%.0f" "$k_same - $driver - $m_tick")
if [ "$own_tick" -gt 0 ]; then
    tick_rest="which leaves about $own_tick µs for Kelvane's own part of the tick (its message loop's shortcut check, the sampling step's fold, history and comparisons)"
else
    tick_rest="which leaves nothing measurable for Kelvane's own step"
fi
idle_diff=$(calc "%.2f" "$k_idle - $m_idle")
idle_why="Both programs waited side by side for the same $idle_seconds s, each woken by its 4-second timer ($k_idle_ticks and $m_idle_ticks ticks), and used $k_idle and $m_idle ms of CPU time."
if awk -v d="$idle_diff" 'BEGIN {exit !(d > 0)}'; then
    idle_why+=" Kelvane's $idle_diff ms more ($idle_share % of one core) go to what its tick does beyond counting, above all the sensor reading: the helper, reading the simulated driver at the same pace over the same stretch ($driver_idle_reads readings, each after 4 s of sleep), took $driver_idle ms, $driver_idle_share ms more than the minimal program's wake-ups; that leaves $own_idle_share % of one core for Kelvane's own step. After seconds of sleep a reading costs far more than in a quick series: the stand-in driver opens and reads its scenario file and appends to its call log each time, every file operation a round trip to the wineserver, with cold caches. A real driver's reading costs what it costs; Kelvane takes one per interval."
else
    idle_why+=" Kelvane used no more than the minimal program."
fi
if [ "${idle_messages%% *}" = WM_TIMER ] && [[ "$idle_messages" != *,* ]]; then
    idle_why+=" Nothing else wakes it: in the relay-logged run its dialog received no message but its timer's while it waited ($idle_messages in $relay_idle_seconds s)."
else
    idle_why+=" In the relay-logged run its dialog received these messages while it waited $relay_idle_seconds s: ${idle_messages:-none}."
fi

cat >BENCHMARKS.md.new <<REPORT
# Benchmarks

Measured on $(date -u +%Y-%m-%d) with \`./scripts/bench.sh\`: $(lscpu | awk -F: '/Model name/ {gsub(/^ +/, "", $2); print $2; exit}'), $(nproc) cores shared with other work, Linux $(uname -r), $("$(find_wine)" --version), $(x86_64-w64-mingw32-g++-posix --version | head -n 1 | sed 's/ (GCC)//'), $(clang --version | head -n 1).

Kelvane means to be tiny and quiet, and to cost nothing while it sits in the tray. Each figure
below stands next to the least a Win32 program can be: \`tools/bench/minimal_dialog.cpp\`, a modeless
dialog from a template with a 4-second window timer and a message loop, built with Kelvane's flags
(\`-Os\`, static, \`-s\`, \`--gc-sections\`, no exceptions, no RTTI), linked to the same system libraries
and carrying the same manifest. Both programs run side by side in one Wine session and are
measured the same way in the same run.

## Results

$(cat "$out/table.md")

CPU figures are CPU time, not wall-clock time. The machine was shared with other work, so each
per-tick figure is the median of $rounds rounds that took turns, with the spread of the rounds beside it.

## Goals

- **Program file, at most 64 KiB: $size_verdict.** Kelvane.exe is $(grouped "${M[kelvane.size]}") bytes. The minimal
  program's $(grouped "${M[minimal.size]}") bytes are the floor for a static mingw-w64 program with this runtime.
- **Nothing imported but system DLLs: $imports_verdict.** The C++ runtime is linked in; \`msvcrt.dll\` is the
  system's C library, which every mingw-w64 program uses.
- **Memory, at most 1.15 times the minimal program: resident set $rss_verdict (${M[ratio.startup.rss]} times after
  start-up, ${M[ratio.after-ticks.rss]} after the ticks); private memory $private_verdict (${M[ratio.startup.private]} and
  ${M[ratio.after-ticks.private]} times).** $memory_why The ticks left nothing behind: Kelvane's resident set
  changed by $k_growth KiB over $(grouped "$((k_rend_n + k_same_n))") ticks, the minimal program's by $m_growth KiB over $(grouped "$m_tick_n").
- **An unchanged temperature costs no GDI work: $gdi_verdict.** Wine's relay log shows no GDI, icon
  or tray call in Kelvane's process during $relay_same_n unchanged ticks, against $per_rendered_gdi GDI and icon calls and
  $per_rendered_tray \`Shell_NotifyIconA\` per re-rendered tick. In CPU time an unchanged tick costs $k_same µs, against
  $m_tick µs for the minimal program's tick, which only counts. The simulated driver's reading alone costs
  $driver µs, $tick_rest. A re-rendered tick costs $k_rend µs in Kelvane and another $k_rend_else µs in Wine's
  notification-area host and the X server, which draw the new icon.
- **CPU in the tray indistinguishable from the minimal program: $idle_verdict.** $idle_why
- **Start-up** (no goal): Kelvane's first window, the vendor warning that every start shows under Wine
  (Wine's display adapter is no NVIDIA one), appears after $k_window ms, the minimal program's dialog after
  $m_window ms; Kelvane's first sample follows at $k_sample ms. The warning comes before the driver is bound,
  so the time up to it goes mostly to loading the DLLs the minimal program does not import.
- **Fuzzing**: each libFuzzer target ran $(grouped "$fuzz_runs") executions from an empty corpus (seed 1) under
  AddressSanitizer and UndefinedBehaviorSanitizer; the table gives the results.

## How each figure is measured

- **Program file and imports**: the size of the stripped program and the \`DLL Name\` lines of
  \`x86_64-w64-mingw32-objdump -p\`. System DLLs are those every Windows installation has.
- **The processes**: \`tools/bench/bench_helper.cpp\` (\`kelvane_bench.exe\`) starts both programs in the
  benchmark's Wine prefix, answers Kelvane's vendor warning with Ignore and names each measuring point
  to the script, which reads the programs' Linux processes from \`/proc\` (the process of this prefix
  whose command line names the program). Kelvane runs hidden in the tray (\`RunHidden=1\`,
  \`Interval=4\`) on one simulated GPU; the minimal program shows its dialog.
- **Memory**: the resident set is \`VmRSS\` from \`/proc/<pid>/status\`: all of the process that is in
  RAM, Wine's DLLs and the Linux libraries it maps included, most of which other processes share.
  Private memory is \`Private_Dirty\` from \`/proc/<pid>/smaps_rollup\`: the pages the process has
  written, its heap and stacks and the data pages of its DLLs. \`Private_Clean\` is left out: it
  counts file pages that no other process happens to map at that moment, which depends on whatever
  else runs on the machine. Both are taken after start-up (after Kelvane's first sample) and after
  all ticks.
- **CPU per tick**: the helper posts \`WM_TIMER\` with id 100 to the dialog, one at a time, the next only
  once the one before was handled (for Kelvane a new thermal reading in the simulated driver's call
  log, for the minimal program its tick counter, read with \`ReadProcessMemory\`), and ends each phase
  with a sent \`WM_NULL\`, which is answered only after the last tick is done. So every tick wakes the
  program as its timer would. CPU time is the sum over the process's threads of the time spent on a
  CPU, in nanoseconds, from \`/proc/<pid>/task/*/schedstat\`, before and after each phase. It includes
  what Wine spends inside the process to deliver a message; the minimal program's tick shows that
  floor. For re-rendered ticks the simulated temperature alternates between 51 and 52 at every
  reading; for unchanged ones it stays at 50. "Tray host and X server" is the CPU time of Wine's
  \`explorer.exe\`, which draws the notification area, and of the Xvfb server over the same phase; the
  wineserver is left out, since the helper's polling runs through it too. The simulated driver's
  share is measured in the helper itself: as many \`ReadGpuThermal\` calls on the same simulated GPU, in
  a phase of their own in every round.
- **GDI work**: a second run under Wine's relay log (\`WINEDEBUG=+pid,+relay\`, \`RelayInclude\` set to
  \`gdi32.*\`, the icon and drawing calls of user32 and \`shell32.Shell_NotifyIconA\`) counts the calls
  made in Kelvane's process between the helper's phase markers, $relay_ticks ticks of each kind. Valgrind's
  callgrind does run Wine programs here, but the relay log counts the calls themselves, so it was not
  needed.
- **Idle**: five seconds after start-up both programs wait $idle_seconds s side by side, Kelvane hidden in the tray at
  \`Interval\` 4 with a steady temperature, the minimal program with its 4-second timer; the CPU time of
  each over the same stretch. Indistinguishable means a difference below 0.01 % of one core (6 ms per
  minute). Wine's shared processes (wineserver, notification-area host, X server) used $shared_idle ms
  together meanwhile.
- **Start-up**: the helper takes the time before \`CreateProcess\` and polls about every millisecond for
  the program's first visible window (Kelvane: the vendor warning; minimal program: its dialog) and
  for Kelvane's first sample, the second thermal reading in the call log (start-up reads GPU 1 once,
  the first tick reads it again). Median of $starts starts of each program, taking turns.
- **Fuzzing**: \`cmake --preset fuzz && cmake --build --preset fuzz\` builds the targets of \`tests/fuzz/\`;
  each runs with \`-runs=$fuzz_runs -seed=1\` and no corpus. "Coverage points" is libFuzzer's final
  \`cov:\` count.

## Reproduce

    ./scripts/bench.sh            # builds what it needs, measures, prints the table, writes this file
    ./scripts/bench.sh --quick    # small counts, to try it; leaves this file alone

It takes about three minutes. Logs of every step are kept in \`build/windows/bench/\`.
REPORT
mv BENCHMARKS.md.new BENCHMARKS.md
say "results written to BENCHMARKS.md"
exit 0
