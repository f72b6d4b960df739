#!/usr/bin/env bash
# The main job: install what is needed and build. On a desktop (an X server or a Wayland
# compositor that answers), start the program. Without one, prepare sample clips from
# installed packages and replay them through the real pipeline (rule-based cleanup).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# A variable alone is not enough: a session left behind by ssh or a terminal multiplexer can
# name a display that is gone.
wayland_answers() {
  [ -n "${WAYLAND_DISPLAY:-}" ] || return 1
  local socket=$WAYLAND_DISPLAY
  [[ $socket == /* ]] || socket=${XDG_RUNTIME_DIR:-/nonexistent}/$socket
  python3 -c 'import socket, sys; s = socket.socket(socket.AF_UNIX); s.settimeout(2); s.connect(sys.argv[1])' \
    "$socket" 2>/dev/null
}
x11_answers() {
  [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1
}

bash scripts/install-deps.sh
bash scripts/build.sh build -DTALVO_WERROR=ON
if wayland_answers || x11_answers; then
  exec ./build/talvo
fi
bash scripts/prepare-samples.sh samples
./build/talvo --replay samples --no-ai
echo "No display here. To dictate, run build/talvo in a desktop session (X11 or Wayland)."
