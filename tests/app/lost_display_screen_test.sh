#!/usr/bin/env bash
# The X server goes away mid-capture (a logout, a crashed server, a lost
# ssh -X): the program does not die with it. Each case starts an X server
# of its own (Xvfb, with openbox when installed), starts a capture of every
# 30th frame until 20 of the test pattern, and kills the server (SIGKILL,
# as a crash) once three frames are grabbed:
# - the capture alone: it stops, every frame grabbed is in its folder,
#   standard error says that the display went away and where the frames
#   are, and the program ends with status 0;
# - the same with the main window's File menu held open (FLTK's own loop
#   runs the program's), with Choose Folder's file chooser open (GTK's
#   connection goes too), and with a message box of its own open;
# - frames the capture's folder could not take (their names are folders
#   there), held in memory: they go to a new folder of the user's data, and
#   with the user's data unable to take them the status is 1 and standard
#   error says they are lost.
# Usage: lost_display_screen_test.sh <bin folder> <artifacts folder>
set -uo pipefail
bin=$(cd "$1" && pwd)
art=$2
source "$(dirname "$0")/screen_lib.sh"
command -v dbus-daemon >/dev/null || exit 77
ends_with_test dbus-daemon --session --nofork --print-address 3 3>"$tmp/bus" >/dev/null 2>&1 &
pids+=($!)
within 10 test -s "$tmp/bus" || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$tmp/bus")
export HOME=$tmp/home
mkdir -p "$tmp/prefs" "$tmp/run" "$HOME"

start_app() {
  printf '%s' "$1" >"$tmp/script"
  (cd "$tmp/run" && TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" XDG_DATA_HOME="$tmp/data" \
    TAVRIN_AVC_UNITS=0 TAVRIN_VIDEO_SOURCE="videotestsrc ! video/x-raw,width=320,height=240,framerate=30/1" \
    exec "$bin/tavrin") >"$tmp/app.out" 2>&1 &
  app=$!
  pids+=("$app")
}
# capture_script <until> <prefix> <folder>: the capture, then 30 s of dumps.
capture_script() {
  printf 'type controlwindow framecount %s\ntype controlwindow nameprefix %s\nanswer folder %s\n' "$1" "$2" "$3"
  printf 'click controlwindow BevelButton1\nanswer ok\nclick controlwindow capturebutton\n'
  for _ in $(seq 300); do printf 'wait 100\ndump controlwindow\n'; done
}
grabbed() { grep -q "ProgressBar1 .* value=$1 max=" "$tmp/app.out"; }
# The X server of the case: started with its window manager, and its pid.
server=
start_server() {
  start_x
  server=${pids[-1]}
  start_window_manager
}
# Kills the server; the program ends within 10 s, its status in $status.
kill_server() {
  kill -KILL "$server"
  { wait "$server"; } 2>/dev/null
  within 10 ended || fail "the program did not end when the display went away ($1)"
  wait "$app"
  status=$?
}
# numbered <folder> <prefix> <n>: the folder holds <prefix>000.tif to n-1, no more.
numbered() {
  local i want=
  for ((i = 0; i < $3; i++)); do want+=$(printf '%s%03d.tif ' "$2" "$i"); done
  [ "$(ls "$1" | tr '\n' ' ')" = "$want" ]
}
# lost_mid_capture <case> [<what is open>]: the capture, three grabs, the
# function named (if any) opens something, the server goes.
lost_mid_capture() {
  local name=$1 open=${2:-}
  rm -rf "$tmp/frames" && mkdir -p "$tmp/frames"
  start_server
  start_app "$(capture_script 20 lost "$tmp/frames")"
  within 20 grabbed 3 || fail "$name: no frames grabbed"
  if [ -n "$open" ]; then "$open"; fi
  kill_server "$name"
  [ "$status" = 0 ] || fail "$name: the program ended with $status"
  grep -qx 'tavrin: the display went away' "$tmp/app.out" || fail "$name: it did not say the display went away"
  n=$(sed -n "s|^tavrin: \([0-9]*\) frames\? saved in $tmp/frames, quitting\$|\1|p" "$tmp/app.out")
  [ -n "$n" ] && [ "$n" -ge 3 ] || fail "$name: it did not say where the frames are"
  numbered "$tmp/frames" lost "$n" || fail "$name: $n frames said, $(ls "$tmp/frames" | tr '\n' ' ') on disk"
  grep -q 'Segmentation\|Abort\|XIO' "$tmp/app.out" && fail "$name: the program said it crashed"
  said+="$name: $n frames saved; "
}
said=

lost_mid_capture "capturing"

file_menu() {
  xdotool mousemove --window "$(win 'Tavrin!')" 15 10 click 1
  within 5 menus_open || fail "the File menu did not open"
  import -window root "$art/file-menu-open.png"
}
lost_mid_capture "File menu open" file_menu

choose_folder() {
  xdotool mousemove --window "$(win Controls)" 70 157 click 1
  within 10 shown 'Select Images Folder' || fail "Choose Folder's dialog did not open"
  sleep 0.5
  import -window root "$art/chooser-open.png"
}
lost_mid_capture "file chooser open" choose_folder

# Two viewable windows of that title: the main window and a box over it.
two_titled() {
  local id n=0
  for id in $(xwininfo -root -tree | awk -v t="\"$1\"" 'index($0, t) {print $1}'); do
    xwininfo -id "$id" | grep -q IsViewable && n=$((n + 1))
  done
  [ "$n" -ge 2 ]
}
# Help > Documentation says that the help file is gone, in a box of ours.
help_box() {
  xdotool mousemove --window "$(win 'Tavrin!')" 165 10 click 1
  within 5 menus_open || fail "the Help menu did not open"
  xdotool key Down Return
  within 5 two_titled 'Tavrin!' || fail "the help file's box did not open"
  sleep 0.5
  import -window root "$art/message-box-open.png"
}
lost_mid_capture "message box open" help_box

# Frames 0 and 1 of 0 to 2 held for another folder, then the server goes.
lost_with_frames_held() {
  rm -rf "$tmp/full"
  for taken in held000.tif held001.tif; do mkdir -p "$tmp/full/$taken" && touch "$tmp/full/$taken/someone's"; done
  start_server
  start_app "$(capture_script 2 held "$tmp/full")"
  within 20 grep -q 'mymessage .*text="2 frames could not be saved: choose another folder"' "$tmp/app.out" ||
    fail "the frames were not held for another folder"
  kill_server "frames held"
  grep -qx 'tavrin: the display went away' "$tmp/app.out" || fail "frames held: it did not say the display went away"
}
rm -rf "$tmp/data"
lost_with_frames_held
[ "$status" = 0 ] || fail "frames held: the program ended with $status"
heldIn=$(sed -n 's/^tavrin: 2 frames saved in \(.*\), quitting$/\1/p' "$tmp/app.out")
[ "$(dirname "$heldIn")" = "$tmp/data/tavrin" ] && numbered "$heldIn" held 2 ||
  fail "the held frames are not in the user's data ('$heldIn': $(ls "$heldIn" 2>&1))"
said+="frames held: saved in the user's data; "

rm -rf "$tmp/data" && echo "a file where the folder would be" >"$tmp/data"
lost_with_frames_held
[ "$status" = 1 ] || fail "frames held, nowhere to go: the program ended with $status"
grep -q '^tavrin: 2 of 2 frames could not be saved in .*; they are lost$' "$tmp/app.out" ||
  fail "frames held, nowhere to go: it did not say they are lost"

echo "ok: ${said}nowhere to save them: status 1"
