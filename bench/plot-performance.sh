#!/usr/bin/env bash
# Runs many_paths and segment_scaling and plots cost per frame against the
# number of paths and against the number of segments, for the library and
# cairo, into docs/performance.svg (gnuplot). Without a display it starts a
# private X server. Usage: bench/plot-performance.sh [build dir] [rounds]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
rounds="${2:-5}"
for tool in gnuplot; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install -y gnuplot-nox)" >&2; exit 1; }
done
for bin in many_paths segment_scaling; do
  [[ -x "$build/bin/$bin" ]] || { echo "build $build/bin/$bin first (-DTARQUEL_BUILD_BENCH=ON)" >&2; exit 1; }
done
work="$(mktemp -d)"
xvfb=""
cleanup() {
  [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
  display=":$((RANDOM % 400 + 100))"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  export DISPLAY="$display"
fi
"$build/bin/many_paths" "$rounds" 1 10 100 1000 10000 | tee "$work/paths.txt"
"$build/bin/segment_scaling" "$rounds" 16 1000 10000 100000 1000000 | tee "$work/segments.txt"
# Data rows start with a number: count, ours, cairo (us/frame), ...
grep -E '^ *[0-9]' "$work/paths.txt" > "$work/paths.dat"
grep -E '^ *[0-9]' "$work/segments.txt" > "$work/segments.dat"
gnuplot <<PLOT
set terminal svg size 960,420 dynamic font "sans,12"
set output "$root/docs/performance.svg"
set multiplot layout 1,2
set logscale xy
set grid
set key top left
set ylabel "CPU per frame, ms (whole process)"
set title "Translucent apples a frame"
set xlabel "paths"
plot "$work/paths.dat" using 1:(\$2/1000) with linespoints title "Tarquel", \
     "$work/paths.dat" using 1:(\$3/1000) with linespoints title "cairo + glDrawPixels", \
     "$work/paths.dat" using 1:(\$10/1000) with linespoints dashtype 2 title "one OpenGL draw a path, no coverage"
set title "One path, filled and stroked"
set xlabel "cubic segments"
plot "$work/segments.dat" using 1:(\$2/1000) with linespoints title "Tarquel", \
     "$work/segments.dat" using 1:(\$3/1000) with linespoints title "cairo + glDrawPixels"
unset multiplot
PLOT
echo "wrote $root/docs/performance.svg"
