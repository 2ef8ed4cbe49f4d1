#!/bin/sh
# Runs a test binary as the only client of a private headless Wayland compositor. The binary skips its
# tests itself where Qt's wayland plugin is missing (Qt then falls back to offscreen); a missing
# compositor exits with 77, which ctest reports as skipped.
command -v weston >/dev/null || { echo "weston is missing"; exit 77; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/glbase-wayland-XXXXXX") # 0700, as XDG_RUNTIME_DIR must be
export XDG_RUNTIME_DIR="$dir" WAYLAND_DISPLAY="glbase-test-$$" QT_QPA_PLATFORM="wayland;offscreen"
weston --backend=headless-backend.so --no-config --idle-time=0 --socket="$WAYLAND_DISPLAY" \
    --log="$dir/weston.log" &
weston=$!
tries=0
while [ ! -S "$dir/$WAYLAND_DISPLAY" ] && [ $tries -lt 100 ]; do
    sleep 0.05
    tries=$((tries + 1))
done
if [ -S "$dir/$WAYLAND_DISPLAY" ]; then
    "$@"
    status=$?
else
    cat "$dir/weston.log"
    status=77
fi
# Qt quits the process when its compositor goes away first, so the compositor stops last.
kill "$weston" 2>/dev/null
wait "$weston" 2>/dev/null
rm -rf "$dir"
exit $status
