#!/usr/bin/env bash
# The Debian package as a user gets it: made with CPack from the build in
# $1 (default build), checked by lintian, installed with apt, started under
# Xvfb with a window manager and a PulseAudio server (null sink): its window
# shows, its sound stream is there, a key press is heard, a second start
# hands over to it; then it is ended and the package removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# A Kelvora installed from elsewhere is not ours to replace and remove.
if dpkg-query -W -f='${Status}' kelvora 2>/dev/null | grep -q "install ok installed"; then
  echo "kelvora is installed on this machine already: the package check is skipped"
  exit 0
fi

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kelvora_*_amd64.deb)
echo "package: $deb"
dpkg-deb -f "$deb" Depends
lintian --fail-on error,warning "$deb"

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if dpkg-query -W -f='${Status}' kelvora 2>/dev/null | grep -q "install ok installed"; then
    $SUDO apt-get remove -y -q kelvora >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -q "$(realpath "$deb")" >/dev/null
test -x /usr/bin/kelvora
/usr/bin/kelvora --version

# A desktop of our own: X server, window manager, sound server, profile.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config HOME=$work
exec {xfd}<> <(:)
Xvfb -displayfd "$xfd" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 20 display <&"$xfd" || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$display
openbox >/dev/null 2>&1 &
pids+=($!)
pulseaudio -n --daemonize=no --exit-idle-time=-1 --load="module-null-sink sink_name=kvpkg" \
  --load=module-native-protocol-unix >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.2; done
pactl info >/dev/null

/usr/bin/kelvora >"$work/first.log" 2>&1 &
first=$!
pids+=("$first")
window=$(timeout 30 xdotool search --sync --onlyvisible --all --pid "$first" --name 'Kelvora$' | head -1)
echo "window $window: $(xdotool getwindowname "$window")"
for _ in $(seq 50); do pactl list sink-inputs | grep -q 'application.name = "Kelvora"' && break; sleep 0.2; done
pactl list sink-inputs | grep -q 'application.name = "Kelvora"' || { echo "no Kelvora stream"; exit 1; }

# The letter Q plays G: heard at the sink's monitor.
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
parecord --device=kvpkg.monitor --file-format=wav "$work/heard.wav" &
rec=$!
sleep 0.5
xdotool keydown q
sleep 1
xdotool keyup q
sleep 0.3
kill -INT "$rec"
wait "$rec" || true
peak=$(sox "$work/heard.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
echo "peak heard: $peak"
awk -v p="$peak" 'BEGIN { exit !(p > 0.01) }' || { echo "the key was not heard"; exit 1; }

# A second start hands over to the first and ends at once.
timeout 20 /usr/bin/kelvora >"$work/second.log" 2>&1 || { echo "the second start did not end by itself"; cat "$work/second.log"; exit 1; }
kill -0 "$first" || { echo "the first instance ended"; exit 1; }
[ "$(xdotool search --onlyvisible --name ' - Kelvora$' | wc -l)" -eq 1 ] || { echo "not one window after the second start"; exit 1; }
echo "second start handed over"

# Ended as a logout ends it: the window closes, the stream goes.
kill -TERM "$first"
timeout 20 tail --pid="$first" -f /dev/null
wait "$first"
pactl list sink-inputs | grep -q 'application.name = "Kelvora"' && { echo "the stream outlived the program"; exit 1; }

$SUDO apt-get remove -y -q kelvora >/dev/null
test ! -e /usr/bin/kelvora
echo "package installed, started, played, handed over and removed"
