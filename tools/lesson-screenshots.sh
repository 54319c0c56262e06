#!/bin/bash
# The lesson screenshots in docs/: the real program under Xvfb (1280 x 1024)
# with openbox, maximised, set up through its profile and played with PC keys.
#   tools/lesson-screenshots.sh BUILD_DIR [OUT_DIR]
# Needs Xvfb, openbox, xdotool, wmctrl and ImageMagick's import.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
out=$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

exec {xfd}<> <(:)
Xvfb -displayfd "$xfd" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
read -r -t 20 display <&"$xfd" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
sleep 1

# One run of the program with a profile; "$@" the profile's [View] lines.
start() {
    export XDG_CONFIG_HOME="$work/config-$1"
    mkdir -p "$XDG_CONFIG_HOME/Morvessa"
    shift
    {
        echo "[View]"
        printf '%s\n' "$@"
        echo "[ToolBars2]"
        echo "StatusBar=1"
    } >"$XDG_CONFIG_HOME/Morvessa/Kelvora.conf"
    "$build/kelvora" --midi-backend=loopback >"$work/kelvora.log" 2>&1 &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --all --pid "$pid" --name 'Kelvora$' | head -1)
    wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
    sleep 2.5 # maximised, and the large signs loaded after their second
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
}
stop() {
    kill -TERM "$pid"
    wait "$pid" || true
}
shot() {
    sleep 0.4
    import -window root "$out/$1"
    echo "wrote $out/$1"
}

# Movable do in G, the chromatic signs on: C then C# (R, 5) reads fi.
start g "Def=3" "Tonic=7" "Chromat=1"
xdotool keydown r; sleep 0.2; xdotool keydown 5
shot lesson-movable-do-g.png
xdotool keyup 5 keyup r
stop

# Letters on the held keys, G major's G B D F# (I, P, T, 8), pictures fitted.
start names "Def=1" "Tonic=7" "KeyName=1" "FitPict=1"
for k in i p t 8; do xdotool keydown $k; done
shot lesson-key-names.png
for k in i p t 8; do xdotool keyup $k; done
stop

# The beat mark in the hand-sign pane, fitted, on the accent and on a weak
# pulse: frames grabbed one after another while the metronome runs, the first one of
# each kind kept (read from a pixel of the lamp, left of its number).
start beat "Def=3" "FitPict=1"
xdotool keydown i
xdotool key ctrl+m
for i in $(seq 1 40); do import -window root "$work/f$i.png"; done
xdotool key ctrl+m
xdotool keyup i
stop
accent="" weak=""
for i in $(seq 1 40); do
    pixel=$(convert "$work/f$i.png" -format '%[fx:int(255*p{1185,134}.r)],%[fx:int(255*p{1185,134}.g)]' info:)
    r=${pixel%,*} g=${pixel#*,}
    if [ -z "$accent" ] && [ "$r" -gt 180 ] && [ "$g" -lt 100 ]; then accent=$i; fi
    if [ -z "$weak" ] && [ "$r" -gt 180 ] && [ "$g" -ge 100 ] && [ "$g" -lt 200 ]; then weak=$i; fi
done
[ -n "$accent" ] && cp "$work/f$accent.png" "$out/lesson-beat-accent.png" && echo "wrote $out/lesson-beat-accent.png"
[ -n "$weak" ] && cp "$work/f$weak.png" "$out/lesson-beat-weak.png" && echo "wrote $out/lesson-beat-weak.png"
[ -n "$accent" ] && [ -n "$weak" ] || { echo "no lit frame of each kind caught"; exit 1; }
