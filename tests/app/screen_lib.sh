# What the screen tests share, sourced by each after it has set `art` (its
# artifacts folder): a scratch folder `tmp`, the background processes in
# `pids` and the program in `app` (ended before its X server at exit),
# `fail`, `within`, `ended` (the program), `win` and `shown` (a window by
# its title), `viewable`, `menus` and `menus_open` (the program's menus
# held open), and the X server with, when asked, a window manager.
# Needs Xvfb, xdotool and ImageMagick's import: the test is skipped (77)
# where any is missing.
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null || exit 77
mkdir -p "$art"
tmp=$(mktemp -d)
pids=()
app=
cleanup() {
  if [ -n "$app" ] && kill "$app" 2>/dev/null; then
    for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$app" 2>/dev/null
  fi
  kill "${pids[@]}" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
ended() { ! kill -0 "$app" 2>/dev/null; }
win() { xwininfo -root -tree 2>/dev/null | grep "\"$1\"" | awk '{print $1}' | head -1; }
shown() { [ -n "$(win "$1")" ]; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
# The menus held open: the program's windows at the top of the screen's
# tree with neither name nor class (the menu pulled down, and its title
# drawn over the bar).
menus() {
  local n=0 id client
  client=$(($(win 'Tavrin!') & ~0x1fffff))
  for id in $(xwininfo -root -children | awk '/\(has no name\): \(\)/{print $1}'); do
    [ $((id & ~0x1fffff)) = "$client" ] && viewable "$id" && n=$((n + 1))
  done
  echo "$n"
}
menus_open() { [ "$(menus)" -gt 0 ]; }
fail() {
  echo "FAIL: $*"
  [ -s "$tmp/app.out" ] && { echo "--- the program said:"; tail -20 "$tmp/app.out"; }
  exit 1
}

# Runs "$@" in place of the shell it is called in, started in the
# background by this one: it is killed when this shell ends, however it
# ends (killed too, when no trap runs), so that nothing of the test
# outlives it or holds its output.
ends_with_test() { exec setpriv --pdeathsig KILL "$@"; }

# Runs "$@" until it succeeds; false after LIMIT seconds.
within() {
  local limit=$1 end
  shift
  end=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# The server picks a free display itself and names it once it is ready. It
# does not reset when its last client goes (-noreset): a program started
# right after the one before would find it gone for a moment. A screen of
# 1280x1024, or of the size given first ("1024x768"); what follows is the
# server's own ("-extension MIT-SHM").
start_x() {
  rm -f "$tmp/display"
  ends_with_test Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp -noreset "${@:2}" 3>"$tmp/display" \
    >/dev/null 2>&1 &
  pids+=($!)
  within 10 test -s "$tmp/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$tmp/display")"
}

# openbox where it is installed; `managed` says whether one runs.
managed=no
start_window_manager() {
  command -v openbox >/dev/null || return 0
  ends_with_test openbox >/dev/null 2>&1 &
  pids+=($!)
  within 10 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && managed=yes
}
