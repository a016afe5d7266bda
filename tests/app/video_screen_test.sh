#!/usr/bin/env bash
# The live video on a real X server (Xvfb), as a person sees it, in
# screenshots (kept): the test pattern and a numbered clip at full size, and
# at half size where the source does not fit the screen, each the whole
# picture: the bars at their places out to the right and bottom edges, the
# clip's frames one after another. The frames go through a shared-memory
# segment (MIT-SHM) where the server offers it, and through the connection
# on a server without the extension, where the picture is the same.
# Usage: video_screen_test.sh <bin folder> <artifacts folder>
set -uo pipefail
bin=$(cd "$1" && pwd)
art=$2
source "$(dirname "$0")/screen_lib.sh"

mkdir -p "$tmp/prefs"
start_app() {
  printf 'wait 60000\n' >"$tmp/script"
  TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" TAVRIN_UPDATE_SERVER=http://127.0.0.1:9 \
    TAVRIN_AVC_UNITS=0 "$bin/tavrin" >"$tmp/app.out" 2>&1 &
  app=$!
  pids+=("$app")
}
stop_app() {
  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
  app=
}
size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
# The colour at (x, y) of a screenshot, RRGGBB.
at() { convert "$1" -format "%[hex:u.p{$2,$3}]" info:; }
# The program's shared-memory segments of at least BYTES, mapped.
segments() {
  local n=0 range path
  while read -r range _ _ _ _ path; do
    [[ "$path" == *SYSV* ]] && [ $((16#${range#*-} - 16#${range%-*})) -ge "$1" ] && n=$((n + 1))
  done <"/proc/$app/maps"
  echo "$n"
}

# The video area starts below the 25-pixel menu bar and the 100-pixel strip.
top=125
# Takes the main window's screenshot to $1 once the video is in it (the
# pixel at $2,$3 is not the window's grey).
shot() {
  main=$(win "Tavrin!")
  [ -n "$main" ] && import -window "$main" "$1" 2>/dev/null && [ "$(at "$1" "$2" "$3")" != C0C0C0 ]
}
# Where a point (x, y) of the 720x480 test pattern is in a picture of
# $pw x $ph.
px() { echo $(($1 * pw / 720)); }
py() { echo $((top + $1 * ph / 480)); }
# The bars of the test pattern shown $pw x $ph: white, yellow, cyan, green,
# magenta, red, blue across the top, the last at the right edge; blue again
# in the strip below them at the left; the bottom row's dark blue at the
# bottom-left corner.
bars() {
  local img=$1 x colour i=0
  for colour in FFFFFF FFFF00 00FFFF 00FF00 FF00FF FF0000 0000FF; do
    x=$(px $((i * 720 / 7 + 360 / 7)))
    [ "$(at "$img" "$x" "$(py 100)")" = "$colour" ] || { echo "bar $i at $x is $(at "$img" "$x" "$(py 100)")"; return 1; }
    i=$((i + 1))
  done
  [ "$(at "$img" "$(px 717)" "$(py 100)")" = 0000FF ] || { echo "right edge"; return 1; }
  [ "$(at "$img" "$(px 51)" "$(py 340)")" = 0000FF ] || { echo "the strip below"; return 1; }
  [ "$(at "$img" "$(px 20)" "$(py 475)")" = "$(at "$img" "$(px 60)" "$(py 400)")" ] &&
    [ "$(at "$img" "$(px 20)" "$(py 475)")" != 000000 ] || { echo "bottom edge"; return 1; }
}
# The strip of controls of a window $2 wide keeps its grey: the video is
# drawn below it only.
strip_clean() { [ "$(at "$1" 5 105)" = C0C0C0 ] && [ "$(at "$1" $(($2 - 10)) 35)" = C0C0C0 ]; }
# The clip frame a screenshot shows in its middle, the same colour out to
# its corners.
clip_frame() {
  local img=$1 w=$2 h=$3 mid
  mid=$(at "$img" $((w / 2)) $((top + h / 2)))
  for corner in "1 $((top + 1))" "$((w - 2)) $((top + 1))" "1 $((top + h - 2))" "$((w - 2)) $((top + h - 2))"; do
    # shellcheck disable=SC2086
    [ "$("$bin/testclip" colour "$(at "$img" $corner)")" = "$("$bin/testclip" colour "$mid")" ] || { echo -1; return; }
  done
  "$bin/testclip" colour "$mid"
}

# Frame $3 of the 10-frame clip shown at $t2 (ns) after frame $2, shown at
# $1: as many frames later as the time since says, give or take what the
# real clock and the screenshots move it (the preview follows every 50 ms).
steps_since() {
  local expected=$(((t2 - $1) / 100000000))
  second=$3
  why="frame $2, then $3 with $expected frames' time between"
  [ "$3" -ge $(($2 + expected - 4)) ] && [ "$3" -le $(($2 + expected + 2)) ]
}

# Shot 1 of the clip at size $1 ($2 x $3) once it plays (its first frame
# waits while the program starts): the frame in $first, the time in $t1.
playing() {
  import -window "$main" "$art/clip-$1-1.png" && t1=$(date +%s%N) &&
    first=$(clip_frame "$art/clip-$1-1.png" "$2" "$3") && [ "$first" -ge 3 ]
}

"$bin/testclip" make "$tmp/clip.avi" 125 720 480 10 || fail "could not make the clip"
clip="filesrc location=$tmp/clip.avi ! decodebin"

# at_size <label> <picture size> <window size> [X server args]: the test
# pattern, then the clip, shown at that size, through shared memory.
at_size() {
  local label=$1 window=$3 w=${2%x*} h=${2#*x}
  pw=$w ph=$h
  shift 3
  start_x "$@"
  start_app
  within 10 shot "$art/pattern-$label.png" "$(px 51)" "$(py 100)" || fail "no video in the $label-size window"
  [ "$(size "$main")" = "$window" ] || fail "the $label-size window is $(size "$main")"
  sleep 0.2
  import -window "$main" "$art/pattern-$label.png" || fail "screenshot"
  why=$(bars "$art/pattern-$label.png") || fail "the test pattern at $label size: $why"
  strip_clean "$art/pattern-$label.png" "$w" || fail "video in the strip of controls at $label size"
  [ "$(segments $((w * h * 4)))" -ge 1 ] || fail "no shared-memory segment of a frame's size at $label size"
  stop_app

  TAVRIN_VIDEO_SOURCE=$clip start_app
  within 10 shot "$art/clip-$label-1.png" $((w / 2)) $((top + h / 2)) || fail "no clip in the $label-size window"
  within 10 playing "$label" "$w" "$h" || fail "the clip at $label size does not play (frame $first)"
  sleep 1
  import -window "$main" "$art/clip-$label-2.png"
  t2=$(date +%s%N)
  steps_since "$t1" "$first" "$(clip_frame "$art/clip-$label-2.png" "$w" "$h")" || fail "the clip at $label size: $why"
  strip_clean "$art/clip-$label-2.png" "$w" || fail "the clip in the strip of controls at $label size"
  stop_app
}

at_size full 720x480 720x605
# A screen of 1024x768 takes 720x480 at half its size, 360x240, in a window
# as wide as the strip of controls (421 pixels): the picture keeps its shape.
at_size half 421x280 421x405 1024x768

# ---- a server without shared memory: the same picture, through the connection ----
start_x 1280x1024 -extension MIT-SHM
start_app
within 10 shot "$art/pattern-no-shm.png" 51 $((top + 100)) || fail "no video without shared memory"
sleep 0.2
import -window "$main" "$art/pattern-no-shm.png"
pw=720 ph=480
why=$(bars "$art/pattern-no-shm.png") || fail "the test pattern without shared memory: $why"
strip_clean "$art/pattern-no-shm.png" 720 || fail "video in the strip of controls without shared memory"
[ "$(segments 0)" = 0 ] || fail "a shared-memory segment on a server without the extension"
stop_app

echo "ok: the test pattern and the clip (at half size frame $first, then $second) at full and half size, and without shared memory"
