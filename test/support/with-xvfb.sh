#!/usr/bin/env bash
# with-xvfb.sh COMMAND...: runs COMMAND on an X server of its own (Xvfb, 1280x1024, 24 bits,
# no window manager) on a display number the server picks itself, so that tests running
# side by side never share one; the server ends with the command.
set -u
if ! command -v Xvfb >/dev/null; then
    echo "with-xvfb: Xvfb is not installed (package xvfb; ./test.sh installs it)" >&2
    exit 1
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/vesk-xvfb.XXXXXX") || exit 1
fifo=$dir/display
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" 2>"$dir/log" &
server=$!
stop() {
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
    rm -rf "$dir"
}
trap stop EXIT
trap 'exit 143' TERM INT
display=
read -r -t 30 display <"$fifo"
if [ -z "$display" ]; then
    echo "with-xvfb: the X server did not start:" >&2
    cat "$dir/log" >&2
    exit 1
fi
export DISPLAY=:$display QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
