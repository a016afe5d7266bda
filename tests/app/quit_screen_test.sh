#!/usr/bin/env bash
# The quit road on a real X server (Xvfb, with openbox when installed),
# driven by real mouse presses, in the states only a screen has:
# - a capture of every 30th frame, until 9, of a 3 s clip: the clip ends
#   after two or three grabs, the capture ends there and its frames are
#   saved, the grab's "no video" box shows once and Enable Video is
#   enabled; SIGTERM with that box open ends the program within 5 s;
# - the same clip's end with a menu of the main window held open (File,
#   Settings, Help): the box shows over the menu; once it is answered (OK
#   or Return) the menu holds the mouse again and a click outside it
#   closes it; SIGTERM, with the box open, with the menu held after it, or
#   after the click, ends the program within 5 s with every grabbed frame
#   on disk;
# - SIGTERM mid-capture with the main window's File menu held open ends the
#   program within 5 s with every grabbed frame saved;
# - frames the capture's folder could not take (their names are taken by
#   folders there, as a full disk refuses them) stay in memory, and Ctrl+Q,
#   and then in a second run the main window's close box, saves them in a
#   new folder of the user's data before the program ends with status 0.
# Usage: quit_screen_test.sh <bin folder> <artifacts folder>
set -uo pipefail
bin=$(cd "$1" && pwd)
art=$2
source "$(dirname "$0")/screen_lib.sh"
start_x
start_window_manager

mkdir -p "$tmp/prefs" "$tmp/frames" "$tmp/run"
"$bin/testclip" make "$tmp/clip.avi" 90 720 480 30 || fail "could not make the clip"

start_app() {
  printf '%s' "$1" >"$tmp/script"
  (cd "$tmp/run" && TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" XDG_DATA_HOME="$tmp/data" \
    TAVRIN_AVC_UNITS=0 exec "$bin/tavrin") >"$tmp/app.out" 2>&1 &
  app=$!
  pids+=("$app")
}
# capture_script <until> <prefix> [<folder>]: the capture, then 30 s of dumps.
capture_script() {
  printf 'type controlwindow framecount %s\ntype controlwindow nameprefix %s\nanswer folder %s\n' "$1" "$2" "${3:-$tmp/frames}"
  printf 'click controlwindow BevelButton1\nanswer ok\nclick controlwindow capturebutton\n'
  for _ in $(seq 300); do printf 'wait 100\ndump controlwindow\ndump CaptureWindow\n'; done
}
said() { grep -c "$1" "$tmp/app.out"; }
# The message boxes shown: the program's windows narrower than its main one.
box_ids() {
  local id
  for id in $(xwininfo -root -tree | awk '/"Tavrin!"/{print $1}'); do
    viewable "$id" && [ "$(xwininfo -id "$id" | awk '/Width:/{print $2}')" -lt 600 ] && echo "$id"
  done
}
boxes() { box_ids | wc -l; }
# Clicks the box's OK button, at its bottom right.
click_ok() {
  local box w h
  box=$(box_ids | head -1)
  w=$(xwininfo -id "$box" | awk '/Width:/{print $2}')
  h=$(xwininfo -id "$box" | awk '/Height:/{print $2}')
  xdotool mousemove --window "$box" $((w - 60)) $((h - 28)) click 1
}
menus_closed() { [ "$(menus)" = 0 ]; }
one_box() { [ "$(boxes)" = 1 ]; }
boxes_closed() { [ "$(boxes)" = 0 ]; }
# Ends within 5 s of the signal; the time it took in $tookMs.
term_within_5s() {
  local t0 t1
  t0=$(date +%s%N)
  kill -TERM "$app"
  within 5 ended || fail "SIGTERM did not end the program $1"
  t1=$(date +%s%N)
  wait "$app"
  status=$?
  tookMs=$(((t1 - t0) / 1000000))
  [ "$status" = 0 ] || fail "SIGTERM $1: the program ended with $status"
}

# ---- the clip ends mid-capture: one box; SIGTERM while it is open ----
TAVRIN_VIDEO_SOURCE="filesrc location=$tmp/clip.avi ! decodebin" start_app "$(capture_script 9 end)"
ended_() { grep -q 'mymessage .*text="[0-9]* frames\? saved: the video ended"' "$tmp/app.out"; }
within 20 ended_ || fail "the capture did not say the video ended"
sleep 1
[ "$(boxes)" = 1 ] || fail "$(boxes) message boxes open, not one"
import -window root "$art/video-ended-box.png"
grep 'checkvideobutton' "$tmp/app.out" | tail -1 | grep -q disabled && fail "Enable Video is not enabled"
grep -q 'text="Done"' "$tmp/app.out" && fail "the palette said Done"
saved=$(grep -o 'text="[0-9]* frames\? saved: the video ended"' "$tmp/app.out" | tail -1 | grep -o '[0-9]*' | head -1)
term_within_5s "with the capture's box open"
boxMs=$tookMs
[ "$saved" -ge 2 ] && [ "$(ls "$tmp/frames" | wc -l)" = "$saved" ] || fail "saved '$saved': $(ls "$tmp/frames")"

# ---- the clip ends with a menu held open: the box over it ----
# The box takes the menu's hold on the mouse and keys while it waits, and
# gives it back once answered: the menu closes as a menu does, and a quit
# ends the box, the menu's loop and the program.
# clip_end_under_menu <then> <menu> <its x on the bar>: the box shows over
# the menu held open; then "box-open": SIGTERM with the box open; "held":
# the box answered (its OK clicked), SIGTERM with the menu still held;
# "click": the box answered (Return), a click on the video closes the
# menu, SIGTERM.
clip_end_under_menu() {
  local main shot="$art/$2-$1"
  rm -f "$tmp"/frames/*
  TAVRIN_VIDEO_SOURCE="filesrc location=$tmp/clip.avi ! decodebin" start_app "$(capture_script 20 under)"
  within 20 grep -q "ProgressBar1 .* value=1 max=20" "$tmp/app.out" || fail "$2 $1: no frame grabbed from the clip"
  main=$(win 'Tavrin!')
  xdotool mousemove --window "$main" "$3" 10 click 1
  within 5 menus_open || fail "$2 $1: the $2 menu did not open"
  within 20 ended_ || fail "$2 $1: the capture did not say the video ended, the $2 menu open"
  within 5 one_box || fail "$2 $1: $(boxes) message boxes over the $2 menu, not one"
  sleep 0.5
  menus_open || fail "$2 $1: the $2 menu closed when the box showed"
  import -window root "$shot-box-over-menu.png"
  if [ "$1" != box-open ]; then
    if [ "$1" = held ]; then click_ok; else xdotool key Return; fi
    within 5 boxes_closed || fail "$2 $1: the box over the $2 menu was not answered"
    sleep 0.5
    import -window root "$shot-menu-after-box.png"
    menus_open || fail "$2 $1: the $2 menu closed with the box"
  fi
  if [ "$1" = click ]; then
    xdotool mousemove --window "$main" 400 400 click 1  # the video
    within 5 menus_closed || fail "a click on the video did not close the $2 menu held under the box"
    import -window root "$shot-menu-clicked-off.png"
  fi
  underSaved=$(grep -o 'text="[0-9]* frames\? saved: the video ended"' "$tmp/app.out" | tail -1 | grep -o '[0-9]*' |
    head -1)
  case $1 in
    box-open) term_within_5s "with the box open over the $2 menu" ;;
    held) term_within_5s "with the $2 menu held after the box" ;;
    click) term_within_5s "once the box and the $2 menu were closed" ;;
  esac
  [ "$underSaved" -ge 2 ] && [ "$(ls "$tmp/frames" | wc -l)" = "$underSaved" ] ||
    fail "$2 $1: saved '$underSaved' with the box over the $2 menu: $(ls "$tmp/frames")"
  underSaid="$underSaid $2 $1: $underSaved frames, $tookMs ms;"
}
underSaid=
for then in click held box-open; do clip_end_under_menu "$then" File 15; done
clip_end_under_menu held Settings 110
clip_end_under_menu click Help 164

# ---- SIGTERM with the File menu held open mid-capture ----
# FLTK's pulldown menu runs a loop of its own, which runs the runtime's
# (where the signal is read): the quit closes the menu and saves.
rm -f "$tmp"/frames/*
TAVRIN_VIDEO_SOURCE="videotestsrc ! video/x-raw,width=320,height=240,framerate=30/1" start_app "$(capture_script 100 menu)"
within 20 grep -q "ProgressBar1 .* value=2 max=100" "$tmp/app.out" || fail "no frames grabbed"
main=$(win 'Tavrin!')
xdotool mousemove --window "$main" 15 10 click 1  # File
sleep 0.5
import -window root "$art/file-menu-open.png"
term_within_5s "with the File menu open"
menuMs=$tookMs
menuSaved=$(sed -n 's/^tavrin: \([0-9]*\) frames\? saved, quitting$/\1/p' "$tmp/app.out")
[ -n "$menuSaved" ] && [ "$menuSaved" -ge 2 ] && [ "$(ls "$tmp/frames" | wc -l)" = "$menuSaved" ] ||
  fail "saved '$menuSaved': $(ls "$tmp/frames")"

# ---- frames held for another folder: Ctrl+Q, then the close box ----
ctrl_q() { xdotool windowfocus --sync "$1" key ctrl+q; }
# The close button at the right end of the window manager's title bar.
close_box() {
  local ax ay w right top
  ax=$(xwininfo -id "$1" | awk '/Absolute upper-left X/{print $4}')
  ay=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/{print $4}')
  w=$(xwininfo -id "$1" | awk '/Width:/{print $2}')
  read -r _ right top _ < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  xdotool mousemove $((ax + w + right - 10)) $((ay - top / 2)) click 1
}
# quit_with_frames_held <how>: frames 0 and 1 of 0 to 2 held, then the quit.
quit_with_frames_held() {
  rm -rf "$tmp/full" "$tmp/data"
  for taken in held000.tif held001.tif; do mkdir -p "$tmp/full/$taken" && touch "$tmp/full/$taken/someone's"; done
  TAVRIN_VIDEO_SOURCE="videotestsrc ! video/x-raw,width=320,height=240,framerate=30/1" \
    start_app "$(capture_script 2 held "$tmp/full")"
  within 20 grep -q 'mymessage .*text="2 frames could not be saved: choose another folder"' "$tmp/app.out" ||
    fail "the frames were not held for another folder"
  "$1" "$(win 'Tavrin!')"
  within 5 ended || fail "$1 did not end the program"
  wait "$app"
  status=$?
  [ "$status" = 0 ] || fail "$1 with frames held: the program ended with $status"
  heldIn=$(sed -n 's/^tavrin: 2 frames saved in \(.*\), quitting$/\1/p' "$tmp/app.out")
  [ "$(dirname "$heldIn")" = "$tmp/data/tavrin" ] && [ "$(ls "$heldIn")" = "$(printf 'held000.tif\nheld001.tif')" ] ||
    fail "$1: the held frames are not in the user's data ('$heldIn': $(ls "$heldIn" 2>&1))"
  [ -f "$tmp/full/held002.tif" ] || fail "$1: the capture's folder lost the frame it took"
}
quit_with_frames_held ctrl_q
heldSaid="Ctrl+Q saved the 2 held frames in the user's data"
if [ "$managed" = yes ]; then
  quit_with_frames_held close_box
  heldSaid="$heldSaid, and so did the close box"
fi

echo "ok: the clip ended after $saved frames, one box, SIGTERM with it open ended the program in $boxMs ms;" \
  "the box over a menu: a click closed the menu once the box was answered, and SIGTERM ended the" \
  "program with the frames on disk:$underSaid" \
  "SIGTERM with the File menu open: $menuSaved frames saved, ended in $menuMs ms; $heldSaid"
