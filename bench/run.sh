#!/usr/bin/env bash
# Runs every benchmark of a build and prints one table of all their figures, each with its goal and
# whether it was met, in Markdown for the README, headed by the date, the machine, and how busy
# other processes kept it meanwhile. Each benchmark's own output is kept beside it.
#   bench/run.sh BUILD_DIR
# The benchmarks run under a private Xvfb, so that the window's figures are those of a real display.
set -u
build=$(realpath "${1:-build}")
logs="$build/bench/output"
mkdir -p "$logs"

# CPU time in clock ticks: all CPUs busy, all CPUs in total (from /proc/stat).
cpu_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 + $9, $2 + $3 + $4 + $5 + $6 + $7 + $8 + $9 }' /proc/stat; }
# CPU seconds used so far by the benchmarks (children that have ended) and by our X server.
our_seconds() {
    local line xvfb=0
    line=$(times | sed -n 2p)
    [ -n "$xvfb_pid" ] && xvfb=$(awk -v hz="$(getconf CLK_TCK)" '{ sub(/.*\) /, ""); print ($12 + $13) / hz }' \
        "/proc/$xvfb_pid/stat" 2>/dev/null)
    awk -v l="$line" -v x="${xvfb:-0}" 'BEGIN {
        n = split(l, t, " ");
        for (i = 1; i <= n; i++) { split(t[i], p, "m"); s += p[1] * 60 + p[2] }
        print s + x }'
}

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null; }
trap cleanup EXIT
fifo=$(mktemp -u /tmp/rk-bench-XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
display=""
read -r -t 60 display <"$fifo"
rm -f "$fifo"
if [ -n "$display" ]; then
    export DISPLAY=":$display"
else
    echo "Xvfb does not start: the window's figures come from SDL's offscreen driver" >&2
    unset DISPLAY
    xvfb_pid=""
fi

read -r busy0 total0 < <(cpu_ticks)
ours0=$(our_seconds)
# The order of the table: the engine, the start, the window, pictures, sound, then the rest.
order=(bench_engine bench_startup bench_archive bench_window bench_picture bench_sound bench_author bench_hostile)
for b in "$build"/bench/bench_*; do
    name=$(basename "$b")
    [[ " ${order[*]} " == *" $name "* ]] || order+=("$name")
done
for name in "${order[@]}"; do
    [ -x "$build/bench/$name" ] || continue
    echo "running $name" >&2
    "$build/bench/$name" >"$logs/$name.txt" 2>&1 || echo "$name ended with status $?" >&2
done
read -r busy1 total1 < <(cpu_ticks)
ours1=$(our_seconds)
others=$(awk -v b="$((busy1 - busy0))" -v t="$((total1 - total0))" -v o="$ours0" -v p="$ours1" \
    -v hz="$(getconf CLK_TCK)" 'BEGIN { x = (b / hz - (p - o)) / (t / hz) * 100; printf "%.0f", x < 0 ? 0 : x }')
# The same line between quiet and busy as bench_startup draws.
load="quiet"
((others >= 10)) && load="busy"

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
memory=$(awk '/^MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo)
system=$(. /etc/os-release && echo "$PRETTY_NAME")
echo "Measured on $(date +%Y-%m-%d) on $cpu, $(nproc) CPUs, $memory of memory, $system; $load: other"
echo "processes kept ${others}% of the CPUs busy meanwhile. Each benchmark's output: $logs/."
echo
echo "| Figure | Measured | Goal | Met |"
echo "|---|---|---|---|"
for name in "${order[@]}"; do
    [ -f "$logs/$name.txt" ] || continue
    awk -F' [|] ' '/^figure [|] / { printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }' "$logs/$name.txt"
done
