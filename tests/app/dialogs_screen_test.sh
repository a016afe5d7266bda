#!/usr/bin/env bash
# Dialogs and the keys that end the program, on a real X server (Xvfb) with
# a window manager when one is installed (openbox), driven by real mouse and
# key presses:
# - the "No video signal" box at start-up is titled with the program's name
#   and wraps its text, no window is untitled, and SIGTERM ends the program
#   within 2 s while the box waits for a person;
# - the file dialogs are GTK's file chooser: a capture of every 30th frame
#   (one a second, nine of them) of a numbered 30-frame-a-second clip goes
#   on while Choose Folder's dialog is open for 3 s (then a folder is typed
#   in) and, in a second capture, while Grab Now's is open for 3 s (then
#   Escape): the
#   grabs keep coming, the time code keeps counting behind the dialog, and
#   the saved frames are exactly 30 clip frames apart; neither dialog prints
#   anything (screenshots of both are kept);
# - the same capture keeps its steps of 30, the time code counting, with
#   each of these held open for 3 s: the File menu, the palette's Open with
#   popup and the port popup of Deck Control Settings (FLTK runs a loop of
#   its own while one is open, and the program's loop runs in it);
# - Ctrl+Q with the Controls palette in front quits, idle and mid-capture,
#   and so does SIGINT with the file chooser open (the frames grabbed are
#   saved first).
# Nothing is printed for a normal use of a dialog. The program runs on a
# session bus of its own, as on a desktop (GTK keeps its settings through it).
# Usage: dialogs_screen_test.sh <bin folder> <artifacts folder>
set -uo pipefail
bin=$(cd "$1" && pwd)
art=$2
source "$(dirname "$0")/screen_lib.sh"
command -v dbus-daemon >/dev/null || exit 77
# Room for a file dialog clear of the main window.
start_x 2560x1600
start_window_manager

ends_with_test dbus-daemon --session --nofork --print-address 3 3>"$tmp/bus" >/dev/null 2>&1 &
pids+=($!)
within 10 test -s "$tmp/bus" || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$tmp/bus")
export HOME=$tmp/home
mkdir -p "$tmp/prefs" "$tmp/frames" "$tmp/run" "$HOME"
# 20 s of numbered frames, small enough for the X server of a busy machine
# to draw the preview at full rate.
"$bin/testclip" make "$tmp/clip.avi" 600 480 360 30 || fail "could not make the clip"

start_app() {
  printf '%s' "$1" >"$tmp/script"
  (cd "$tmp/run" && TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" \
    TAVRIN_UPDATE_SERVER=http://127.0.0.1:9 exec "$bin/tavrin") >"$tmp/app.out" 2>&1 &
  app=$!
  pids+=("$app")
}
# put_at <window> <x> <y>: moves it there, again should the window manager
# place it meanwhile (a busy machine maps it late). The time code of the
# main window is looked at: what is put at x,y stays clear of it.
put_at() {
  local i ax ay
  for i in $(seq 50); do
    xdotool windowmove "$1" "$2" "$3"
    sleep 0.1
    ax=$(xwininfo -id "$1" | awk '/Absolute upper-left X/{print $4}')
    ay=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/{print $4}')
    [ "$ax" -ge "$2" ] && [ "$ax" -le $(($2 + 30)) ] && [ "$ay" -ge "$3" ] && [ "$ay" -le $(($3 + 60)) ] && return 0
  done
  fail "could not move window $1 to $2,$3 (it is at $ax,$ay)"
}
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
    name=$(xprop -id "$id" WM_NAME 2>/dev/null) || continue  # gone meanwhile
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

# ---- each file dialog open 3 s during a capture of the clip ----
progress() { sed -n 's/.*ProgressBar1 .* value=\([0-9]*\) max=8.*/\1/p' "$tmp/app.out" | tail -1; }
grabbed() { [ "$(progress)" -ge "$1" ] 2>/dev/null; }
closed() { ! shown "$1"; }
timecode() { import -window "$main" "$1" && convert "$1" -crop 105x20+303+72 +repage "$1"; }
noise='Gtk|Gdk|GLib|GLib-GIO|dconf|dbind|atk|CRITICAL|WARNING|recently-used'
steps=()
# capture_behind <title> <window> <x> <y> <how it closes> <attempt>: Every
# 30 Until 8 into $tmp/frames; half a second after the first grab the button
# at x,y of the window opens the dialog, which stays open 3 s and is then
# closed by the function named. False when the steps were a few frames off.
capture_behind() {
  local title=$1 window=$2 x=$3 y=$4 close=$5 attempt=$6
  start_capture "$title"
  within 10 grabbed 1 || fail "$title: no first grab"
  sleep 0.5
  xdotool mousemove --window "$(win "$window")" "$x" "$y" click 1
  within 5 shown "$title" || fail "no dialog '$title'"
  dialog=$(win "$title")
  put_at "$dialog" 1000 500
  xprop -id "$dialog" WM_CLASS | grep -q '"tavrin"' || fail "'$title' is not GTK's chooser"
  [ -z "$(untitled)" ] || fail "untitled windows: $(untitled)"
  opened=$(progress)
  openedAt=$(date +%s%N)
  sleep 0.3
  timecode "$art/timecode-1.png"
  # Two more grabs while the dialog stays open (one a second).
  within 6 grabbed $((opened + 2)) || fail "the capture stood still behind '$title' (progress $opened, then $(progress))"
  during=$(progress)
  timecode "$art/timecode-2.png"
  import -window root "$art/$(echo "$title" | tr ' ' -).png"
  shown "$title" || fail "'$title' closed by itself"
  left=$((3000 - ($(date +%s%N) - openedAt) / 1000000))
  [ "$left" -gt 0 ] && sleep "$(printf '%d.%03d' $((left / 1000)) $((left % 1000)))"
  xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
  "$close"
  within 5 closed "$title" || fail "'$title' did not close"
  grep -E "$noise" "$tmp/app.out" && fail "'$title' printed warnings"
  [ "$(compare -metric AE "$art/timecode-1.png" "$art/timecode-2.png" null: 2>&1)" != 0 ] ||
    fail "the time code stood still behind '$title'"
  clip_steps "$title" "$attempt"
}
# clip_steps <title> <attempt>: once the capture is done, its frames' steps
# in `steps`. False when they were a few frames off.
clip_steps() {
  local title=$1 attempt=$2 total off step i
  within 15 grep -q 'mymessage .*text="Done"' "$tmp/app.out" || fail "the capture did not end"
  mapfile -t frames < <("$bin/testclip" frame "$tmp"/frames/clip00{0,1,2,3,4,5,6,7,8}.tif)
  [ "${#frames[@]}" = 9 ] || fail "frames: ${frames[*]}"
  steps=()
  for i in 1 2 3 4 5 6 7 8; do
    # The clip numbers its frames modulo 125.
    steps+=($(((frames[i] - frames[i - 1] + 125) % 125)))
  done
  # Exactly 30 apart, give or take the frame that a busy machine decodes
  # late now and then (the real clock against the clip's): one frame, not
  # more, and the capture as a whole 240 frames long.
  total=0 off=0
  for step in "${steps[@]}"; do
    total=$((total + step))
    [ "$step" -ge 29 ] && [ "$step" -le 31 ] || off=1
  done
  [ "$off" = 0 ] && [ "$total" -ge 239 ] && [ "$total" -le 241 ] && return 0
  # A grab held up behind the dialog comes as late as the dialog is open:
  # 90 frames and more. A few frames are an X server slow to draw on a busy
  # machine: that capture is run again, up to three times.
  for step in "${steps[@]}"; do
    [ "$step" -lt 60 ] || fail "'$title': clip frames ${frames[*]}, steps ${steps[*]}"
  done
  # Under a sanitizer the program draws slowly enough that a few frames
  # come late every time: there only the grab held up behind a dialog fails.
  if [ "$attempt" -ge 3 ] && [ -n "${ASAN_OPTIONS:-}${TSAN_OPTIONS:-}" ]; then
    echo "'$title': clip frames ${frames[*]}, steps ${steps[*]}: a few frames late under the sanitizer"
    return 0
  fi
  [ "$attempt" -lt 3 ] || fail "'$title': clip frames ${frames[*]}, steps ${steps[*]} (three times)"
  echo "'$title': clip frames ${frames[*]}, steps ${steps[*]}: once more"
  return 1
}
# The capture with nothing open before it: a fresh program, Every 30 Until 8.
start_capture() {
  if [ -n "$app" ] && ! ended; then
    kill -TERM "$app"
    within 5 ended || fail "the program before '$1' did not end"
    wait "$app" 2>/dev/null
  fi
  rm -f "$tmp"/frames/*
  TAVRIN_SERIAL_PORTS="Deck A=/dev/null:Deck B=/dev/null" \
    TAVRIN_VIDEO_SOURCE="filesrc location=$tmp/clip.avi ! decodebin" start_app "type controlwindow framecount 8
type controlwindow nameprefix clip
answer folder $tmp/frames
click controlwindow BevelButton1
answer ok
click controlwindow capturebutton
$(for i in $(seq 200); do printf 'wait 100\ndump controlwindow\n'; done)
"
  within 10 shown 'Tavrin!' || fail "no main window"
  main=$(win 'Tavrin!')
}
# The mapped windows of FLTK's menus and popup lists: unnamed, and no window
# manager frames them.
menuShown() {
  local id info
  for id in $(xwininfo -root -children | awk '/^ +0x.*\(has no name\)/ {print $1}'); do
    info=$(xwininfo -id "$id")
    grep -q 'IsViewable' <<<"$info" && grep -q 'Override Redirect State: yes' <<<"$info" && return 0
  done
  return 1
}
menuGone() { ! menuShown; }
# held_behind <name> <window> <x> <y> <attempt>: half a second after the
# first grab a click at x,y of the window opens a menu or popup list, which
# stays open 3 s and until the next grab (the checks on the X server keep
# clear of the grabs), then Escape closes it. False as capture_behind.
held_behind() {
  local name=$1 window=$2 x=$3 y=$4 attempt=$5
  within 10 grabbed 1 || fail "$name: no first grab"
  sleep 0.5
  xdotool mousemove --window "$(win "$window")" "$x" "$y" click 1
  within 3 menuShown || fail "$name: nothing opened"
  opened=$(progress)
  openedAt=$(date +%s%N)
  sleep 0.3
  timecode "$art/held-$name-1.png"
  within 6 grabbed $((opened + 2)) || fail "$name: the capture stood still (progress $opened, then $(progress))"
  timecode "$art/held-$name-2.png"
  import -window root "$art/held-$name.png"
  menuShown || fail "$name: it closed by itself"
  left=$((3000 - ($(date +%s%N) - openedAt) / 1000000))
  [ "$left" -gt 0 ] && sleep "$(printf '%d.%03d' $((left / 1000)) $((left % 1000)))"
  within 3 grabbed $((opened + 3)) || fail "$name: the capture stood still (progress $opened, then $(progress))"
  xdotool key Escape
  within 5 menuGone || fail "$name: it did not close on Escape"
  [ "$(compare -metric AE "$art/held-$name-1.png" "$art/held-$name-2.png" null: 2>&1)" != 0 ] ||
    fail "$name: the time code stood still"
  [ "$name" = port-popup ] && xdotool key Escape  # and Deck Control Settings
  clip_steps "$name" "$attempt"
}
held=()
for attempt in 1 2 3; do
  start_capture 'File menu'
  held_behind file-menu 'Tavrin!' 15 12 $attempt && break
done
held+=("File menu ${steps[*]};")
for attempt in 1 2 3; do
  start_capture 'Open with'
  held_behind open-with Controls 280 156 $attempt && break
done
held+=("Open with ${steps[*]};")
for attempt in 1 2 3; do
  start_capture 'Deck Control Settings'
  # Settings > Deck Control Settings, then its port popup.
  xdotool mousemove --window "$main" 120 12 click 1
  within 3 menuShown || fail "no Settings menu"
  xdotool key Down Down Down Return
  within 5 shown 'Deck Control Settings' || fail "no Deck Control Settings"
  put_at "$(win 'Deck Control Settings')" 100 500
  held_behind port-popup 'Deck Control Settings' 130 142 $attempt && break
done
held+=("port popup ${steps[*]}")

# Choose Folder (at the folder chosen last, the script's): a typed path
# chooses.
type_folder() {
  xdotool type --delay 20 "$tmp/frames/"
  sleep 0.5
  xdotool key Return
}
for attempt in 1 2 3; do capture_behind 'Select Images Folder' Controls 70 157 type_folder $attempt && break; done
folderSteps="${steps[*]}"
# Grab Now (in the capture folder): Escape cancels.
cancel() { xdotool key Escape; }
for attempt in 1 2 3; do capture_behind 'Save Image' 'Tavrin!' 138 41 cancel $attempt && break; done
grabSteps="${steps[*]}"

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
  "clip-frame steps $folderSteps behind Choose Folder and $grabSteps behind Grab Now, time code counting;" \
  "held open: ${held[*]};" \
  "Ctrl+Q from the palette idle, and mid-capture with $saved frames saved;" \
  "SIGINT with the chooser open: frames saved, $interrupted"
