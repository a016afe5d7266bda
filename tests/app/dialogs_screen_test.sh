#!/usr/bin/env bash
# Dialogs and the keys that end the program, on a real X server (Xvfb) with
# a window manager when one is installed (openbox), driven by real mouse and
# key presses:
# - the "No video signal" box at start-up is titled with the program's name
#   and wraps its text, no window is untitled, and SIGTERM ends the program
#   within 2 s while the box waits for a person;
# - a capture of every 30th frame (one a second) of a numbered clip goes on
#   while Grab Now's file chooser is open for 3 s: the grabs keep coming and
#   the time code keeps counting behind the chooser, and the saved frames
#   are about one second of the clip apart (the real clock allows no exact
#   steps; the test on the runtime clock, dialogs_test.cpp, checks those);
# - Ctrl+Q with the Controls palette in front quits, idle and mid-capture,
#   and so does SIGINT with the file chooser open (the frames grabbed are
#   saved first).
# Nothing is printed for a normal use of a dialog.
# Usage: dialogs_screen_test.sh <bin folder> <artifacts folder>
set -uo pipefail
bin=$(cd "$1" && pwd)
art=$2
source "$(dirname "$0")/screen_lib.sh"
start_x
start_window_manager

mkdir -p "$tmp/prefs" "$tmp/frames" "$tmp/run"
"$bin/testclip" make "$tmp/clip.avi" 125 720 480 10 || fail "could not make the clip"

start_app() {
  printf '%s' "$1" >"$tmp/script"
  (cd "$tmp/run" && TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" \
    TAVRIN_UPDATE_SERVER=http://127.0.0.1:9 exec "$bin/tavrin") >"$tmp/app.out" 2>&1 &
  app=$!
  pids+=("$app")
}
ended() { ! kill -0 "$app" 2>/dev/null; }
win() { xwininfo -root -tree 2>/dev/null | grep "\"$1\"" | awk '{print $1}' | head -1; }
shown() { [ -n "$(win "$1")" ]; }
width() { xwininfo -id "$1" | awk '/Width:/{print $2}'; }
# The top-level windows the window manager manages (or, without one, the
# mapped children of the root).
clients() {
  if [ "$managed" = yes ]; then
    xprop -root _NET_CLIENT_LIST | sed 's/.*# //; s/,//g'
  else
    xwininfo -root -children | awk '/^ +0x/ {print $1}' | while read -r id; do
      xwininfo -id "$id" | grep -q 'IsViewable' && echo "$id"
    done
  fi
}
untitled() {
  for id in $(clients); do
    name=$(xprop -id "$id" WM_NAME 2>/dev/null)
    case "$name" in *'= "'?*) ;; *) echo "$id" ;; esac
  done
}

# ---- no video: the box at start-up, then SIGTERM ----
TAVRIN_NO_VIDEO=1 start_app $'wait 60000\n'
boxShown() {
  for id in $(clients); do
    xprop -id "$id" WM_NAME 2>/dev/null | grep -q '"Tavrin!"' || continue
    [ "$(width "$id")" -lt 600 ] && box=$id && return 0
  done
  return 1
}
within 10 boxShown || fail "no titled, narrow box at start-up"
import -window root "$art/no-video-box.png"
[ -z "$(untitled)" ] || fail "untitled windows: $(untitled)"
boxWidth=$(width "$box")
t0=$(date +%s%N)
kill -TERM "$app"
within 5 ended || fail "SIGTERM did not end the program while the box was open"
t1=$(date +%s%N)
wait "$app"
status=$?
tookMs=$(((t1 - t0) / 1000000))
[ "$tookMs" -le 2000 ] || fail "SIGTERM took $tookMs ms"
[ "$status" = 0 ] || fail "the program ended with $status"

# ---- Grab Now's chooser open 3 s during a capture of the clip ----
TAVRIN_VIDEO_SOURCE="filesrc location=$tmp/clip.avi ! decodebin" start_app "type controlwindow framecount 5
type controlwindow nameprefix clip
answer folder $tmp/frames
click controlwindow BevelButton1
answer ok
click controlwindow capturebutton
$(for i in $(seq 200); do printf 'wait 100\ndump controlwindow\n'; done)
"
within 10 shown 'Tavrin!' || fail "no main window"
main=$(win 'Tavrin!')
progress() { sed -n 's/.*ProgressBar1 .* value=\([0-9]*\) max=5.*/\1/p' "$tmp/app.out" | tail -1; }
grabbed() { [ "$(progress)" -ge "$1" ] 2>/dev/null; }
within 10 grabbed 1 || fail "no first grab"
xdotool mousemove --window "$main" 138 41 click 1  # Grab Now
within 5 shown 'Save Image' || fail "no file chooser"
chooser=$(win 'Save Image')
xdotool windowmove "$chooser" 800 600
[ -z "$(untitled)" ] || fail "untitled windows: $(untitled)"
opened=$(progress)
openedAt=$(date +%s%N)
sleep 0.3
timecode() { import -window "$main" "$1" && convert "$1" -crop 105x20+303+72 +repage "$1"; }
timecode "$art/timecode-1.png"
# Two more grabs while the chooser stays open (one a second).
within 6 grabbed $((opened + 2)) || fail "the capture stood still behind the chooser (progress $opened, then $(progress))"
during=$(progress)
timecode "$art/timecode-2.png"
import -window root "$art/chooser-open.png"
shown 'Save Image' || fail "the chooser closed by itself"
# Open 3 s in all.
left=$((3000 - ($(date +%s%N) - openedAt) / 1000000))
[ "$left" -gt 0 ] && sleep "$(printf '%d.%03d' $((left / 1000)) $((left % 1000)))"
xdotool windowactivate --sync "$chooser" 2>/dev/null || xdotool windowfocus --sync "$chooser"
xdotool key Escape
within 5 sh -c "! xwininfo -root -tree | grep -q '\"Save Image\"'" || fail "the chooser did not close on Escape"
[ "$(compare -metric AE "$art/timecode-1.png" "$art/timecode-2.png" null: 2>&1)" != 0 ] ||
  fail "the time code stood still behind the chooser"
done_() { grep -q 'mymessage .*text="Done"' "$tmp/app.out"; }
within 15 done_ || fail "the capture did not end"
mapfile -t frames < <("$bin/testclip" frame "$tmp"/frames/clip00{0,1,2,3,4,5}.tif)
[ "${#frames[@]}" = 6 ] || fail "frames: ${frames[*]}"
for i in 1 2 3 4 5; do
  step=$((frames[i] - frames[i - 1]))
  # One second of a 10-frame clip, give or take what the real clock and a
  # busy X server move a grab; a grab held up behind the chooser would be
  # seconds late.
  [ "$step" -ge 9 ] && [ "$step" -le 15 ] || fail "frames ${frames[*]}: a step of $step"
done
grep -E 'Gtk|GLib|recently-used' "$tmp/app.out" && fail "the chooser printed warnings"

# ---- Ctrl+Q with the palette in front, idle ----
palette=$(win Controls)
xdotool windowactivate --sync "$palette" 2>/dev/null || xdotool windowfocus --sync "$palette"
xdotool key ctrl+q
within 10 ended || fail "Ctrl+Q from the idle palette did not quit"
wait "$app"
[ $? = 0 ] || fail "Ctrl+Q: the program ended with $?"

# ---- Ctrl+Q with the palette in front, mid-capture ----
rm -f "$tmp"/frames/*
start_app "type controlwindow framecount 100
type controlwindow nameprefix mid
answer folder $tmp/frames
click controlwindow BevelButton1
answer ok
click controlwindow capturebutton
$(for i in $(seq 300); do printf 'wait 200\ndump controlwindow\n'; done)
"
within 20 grep -q "ProgressBar1 .* value=[1-9][0-9]* max=100" "$tmp/app.out" || fail "no frames grabbed"
palette=$(win Controls)
xdotool windowactivate --sync "$palette" 2>/dev/null || xdotool windowfocus --sync "$palette"
xdotool key ctrl+q
within 20 ended || fail "Ctrl+Q from the palette mid-capture did not quit"
wait "$app"
status=$?
[ "$status" = 0 ] || fail "the program ended with $status"
saved=$(sed -n 's/^tavrin: \([0-9]*\) frames\? saved, quitting$/\1/p' "$tmp/app.out")
[ -n "$saved" ] && [ "$saved" -ge 1 ] && [ "$(ls "$tmp/frames" | wc -l)" = "$saved" ] || fail "saved: '$saved'"

# ---- SIGINT with the chooser open mid-capture: the frames are saved first ----
rm -f "$tmp"/frames/*
start_app "type controlwindow framecount 100
type controlwindow nameprefix int
answer folder $tmp/frames
click controlwindow BevelButton1
answer ok
click controlwindow capturebutton
$(for i in $(seq 300); do printf 'wait 200\ndump controlwindow\n'; done)
"
within 20 grep -q "ProgressBar1 .* value=1 max=100" "$tmp/app.out" || fail "no frame grabbed"
main=$(win 'Tavrin!')
xdotool mousemove --window "$main" 138 41 click 1  # Grab Now
within 5 shown 'Save Image' || fail "no file chooser"
kill -INT "$app"
within 20 ended || fail "SIGINT with the chooser open did not end the program"
wait "$app"
status=$?
[ "$status" = 0 ] || fail "SIGINT: the program ended with $status"
interrupted=$(sed -n 's/^tavrin: \([0-9]*\) frames\? saved, quitting$/\1/p' "$tmp/app.out")
[ -n "$interrupted" ] && [ "$interrupted" -ge 1 ] && [ "$(ls "$tmp/frames" | wc -l)" = "$interrupted" ] ||
  fail "SIGINT saved: '$interrupted'"

echo "ok: window manager $managed; the no-video box titled, $boxWidth px wide; SIGTERM ended it in $tookMs ms;" \
  "grabs $opened -> $during behind the chooser, time code counting, frames ${frames[*]};" \
  "Ctrl+Q from the palette idle, and mid-capture with $saved frames saved;" \
  "SIGINT with the chooser open: frames saved, $interrupted"
