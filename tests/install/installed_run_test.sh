#!/usr/bin/env bash
# Installs the built game into a temporary DESTDIR and starts it through its link
# usr/games/cratevale, from an unrelated folder, with "/LOG" and a fresh HOME, on the X server
# of $DISPLAY. Escape is pressed until the game ends. Checks: the exit status is 0, the log
# shows the packs read from the install folder and every asset loaded, the game wrote its files
# into the player's folder, and nothing in the installed tree changed.
# Usage: installed_run_test.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  echo "FAIL: no X server: run under xvfb-run (the tests' screen is 1920x1080)" >&2
  exit 1
fi
export LIBGL_ALWAYS_SOFTWARE=${LIBGL_ALWAYS_SOFTWARE:-1} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
tmp=$(mktemp -d)
game_pid=
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

root="$tmp/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log" >&2; echo "FAIL: cmake --install failed" >&2; exit 1; }
root=$(readlink -f "$root")
game_dir="$root/usr/lib/games/cratevale/"
tree_before=$(cd "$root" && find . -printf '%y %m %p %l\n' | sort && find . -type f -exec sha256sum {} + | sort)

home="$tmp/home"
elsewhere="$tmp/elsewhere"
mkdir -p "$home" "$elsewhere"
user_dir="$home/.Torvelin game studio/Cratevale"

# Start through the link, from a folder that has nothing to do with the game.
(cd "$elsewhere" && exec env HOME="$home" LANG=C.UTF-8 "$root/usr/games/cratevale" /LOG \
  >"$tmp/stdout.log" 2>"$tmp/stderr.log") &
game_pid=$!

# The loop starts after the layout lines; from then on each Escape goes back one screen
# (splash, title, main menu) until the main menu's Escape ends the game. Escape is pressed
# every half second until the process is gone, and after 30 seconds even if the log is still
# buffered; the game gets two minutes in all.
started=$SECONDS
while kill -0 "$game_pid" 2>/dev/null; do
  log=$(find "$user_dir" -maxdepth 1 -name 'Log *.log' 2>/dev/null | head -n 1 || true)
  if { [ -n "$log" ] && grep -q '^OffsetY: ' "$log"; } || [ $((SECONDS - started)) -ge 30 ]; then
    xdotool key Escape 2>/dev/null || true
  fi
  if [ $((SECONDS - started)) -ge 120 ]; then
    fail "the game did not end within two minutes of Escapes"
    kill "$game_pid" 2>/dev/null || true
    break
  fi
  sleep 0.5
done
status=0
wait "$game_pid" || status=$?
game_pid=
[ "$status" -eq 0 ] || fail "the game ended with status $status"

logs=("$user_dir"/Log\ *.log)
if [ ${#logs[@]} -ne 1 ] || [ ! -f "${logs[0]}" ]; then
  fail "expected one log file in $user_dir, found: $(ls -A "$user_dir" 2>/dev/null | tr '\n' ' ')"
else
  log=${logs[0]}
  tab=$'\t\t'
  grep -qxF "GameDir:${tab}${game_dir}" "$log" || fail "the log does not show GameDir $game_dir"
  grep -qxF "SaveTo:${tab}${user_dir}/" "$log" || fail "the log does not show SaveTo $user_dir/"
  grep -qE "^Load language \([^)]+\):${tab}OK$" "$log" || fail "the language was not loaded"
  for asset in music1.ogg music2.ogg rollover3.wav click3.wav crate.png idle_left.png \
    idle_right.png idle_up.png idle_down.png push_right.png push_left.png push_up.png \
    push_down.png tile_01.png locked.png titleback_c.png; do
    grep -qxF "Load asset ($asset):${tab}OK" "$log" || fail "the log does not show $asset loaded"
  done
  grep -qE "^Load asset \(title_[0-9x]+\.png\):${tab}OK$" "$log" || fail "no title picture loaded"
  grep -qE "^Load asset \(tgs_[0-9x]+\.png\):${tab}OK$" "$log" || fail "no splash picture loaded"
  if grep -q 'FAILED' "$log"; then
    fail "the log reports failures:"
    grep 'FAILED' "$log" >&2
  fi
fi
[ -f "$user_dir/Cratevale.prefs" ] || fail "no Cratevale.prefs written into the player's folder"
[ -f "$user_dir/Cratevale.scores" ] || fail "no Cratevale.scores written into the player's folder"
[ -z "$(ls -A "$elsewhere")" ] || fail "the game wrote into the folder it was started from"
tree_after=$(cd "$root" && find . -printf '%y %m %p %l\n' | sort && find . -type f -exec sha256sum {} + | sort)
if [ "$tree_before" != "$tree_after" ]; then
  fail "the installed tree changed while the game ran"
  diff <(echo "$tree_before") <(echo "$tree_after") >&2 || true
fi

if [ "$failures" -ne 0 ]; then
  echo "--- game stderr" >&2; tail -n 40 "$tmp/stderr.log" >&2
  [ -n "${log:-}" ] && [ -f "$log" ] && { echo "--- log" >&2; cat "$log" >&2; }
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed game started through its link, loaded everything and ended with Escape"
