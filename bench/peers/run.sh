#!/usr/bin/env bash
# Runs every scene at every size with every library, and llvmpipe's floor (the scene's main
# primitives drawn without a library), alternating programs within each repetition, and prints the
# medians and the ratios ours / theirs (frames per second: above 1 means we are faster; CPU and
# memory: below 1 means we use less).
# Usage: bench/peers/run.sh BUILD_DIR [OUT_DIR] [REPETITIONS] [SECONDS_PER_RUN]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [OUT_DIR] [REPETITIONS] [SECONDS]}
out=${2:-peers-out}
reps=${3:-3}
seconds=${4:-2}
bin=$build/bench/peers
mkdir -p "$out/frames"
results=$out/results.jsonl
: > "$results"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

scenes="trace trace64k step panels waterfall persistence"
sizes="1920x1080 800x600"

# One run: library, mode, scene, size, repetition. Saves the frame on the first repetition.
run_one() {
    local name=$1 mode=$2 scene=$3 size=$4 rep=$5 png=()
    local exe=$bin/${name}_scenes
    [ "$name" = llvmpipe ] && exe=$bin/llvmpipe_floor
    [ -x "$exe" ] || return 0
    [ "$rep" = 1 ] && png=(--png "$out/frames/${scene}_${size}_${name}_${mode}.png")
    local cmd=("$exe" --scene "$scene" --size "$size" --seconds "$seconds" --mode "$mode" "${png[@]}")
    local line
    if [ "$mode" = opengl ]; then
        # The peers' GL widgets need a window system with GL: a virtual X server on Mesa.
        line=$(QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 2048x1200x24" "${cmd[@]}" 2>/dev/null) || true
    else
        line=$("${cmd[@]}" 2>/dev/null) || true
    fi
    [ -n "$line" ] && echo "$line" >> "$results"
    return 0
}

for rep in $(seq 1 "$reps"); do
    for scene in $scenes; do
        for size in $sizes; do
            run_one glbase scanbuffer "$scene" "$size" "$rep"
            run_one qcustomplot raster "$scene" "$size" "$rep"
            run_one qcustomplot opengl "$scene" "$size" "$rep"
            run_one qwt raster "$scene" "$size" "$rep"
            run_one qwt opengl "$scene" "$size" "$rep"
            run_one llvmpipe floor "$scene" "$size" "$rep"
        done
    done
    echo "repetition $rep of $reps done" >&2
done

python3 "$(dirname "$0")/table.py" "$results" "$out"
