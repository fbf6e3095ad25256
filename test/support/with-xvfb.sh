#!/usr/bin/env bash
# with-xvfb.sh COMMAND...: runs COMMAND on an X server of its own (Xvfb, 1280x1024, 24 bits,
# no window manager) on a display number the server picks itself, so that tests running
# side by side never share one; the server ends with the command.
set -u
if ! command -v Xvfb >/dev/null; then
    echo "with-xvfb: Xvfb is not installed (package xvfb; ./test.sh installs it)" >&2
    exit 1
fi
# The server's log is kept only while it starts: the file is gone once it answers, so a run
# killed later leaves nothing behind.
log=$(mktemp "${TMPDIR:-/tmp}/vesk-xvfb.XXXXXX") || exit 1
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>"$log"; }
server=$XVFB_PID
child=
trap 'kill $child "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
trap 'exit 143' TERM INT
display=
read -r -t 30 display <&"${XVFB[0]}"
if [ -z "$display" ]; then
    echo "with-xvfb: the X server did not start:" >&2
    cat "$log" >&2
    rm -f "$log"
    exit 1
fi
rm -f "$log"
export DISPLAY=:$display QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
# In the background, so that a TERM ends the command and the server at once.
"$@" &
child=$!
wait "$child"
