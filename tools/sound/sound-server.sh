#!/usr/bin/env bash
# The sound server of the sound tests: a PulseAudio daemon with a null sink ("vesk_sink",
# whose monitor gives the loopback) and a null source ("vesk_source"), reached on its own
# socket, so that a developer's own sound is never touched. One daemon serves every test
# run on the machine: "start" reuses a daemon that answers.
#
#   tools/sound/sound-server.sh start   start it unless it answers (waits until it does)
#   tools/sound/sound-server.sh check   exit 0 when it answers
#   tools/sound/sound-server.sh stop    stop it (waits until it has) and remove its files
#   tools/sound/sound-server.sh env     print the variables a test run exports
#   tools/sound/sound-server.sh run CMD...  start it, run CMD and, when this started it,
#                                       stop it and remove its folder (./test.sh)
#
# VESK_SOUND_DIR moves its folder (default /tmp/vesk-sound-<uid>); VESK_SOUND_TESTS=skip
# lets "start" succeed without a server (the sound tests then skip themselves).
set -euo pipefail

dir=${VESK_SOUND_DIR:-/tmp/vesk-sound-$(id -u)}
socket=$dir/native
export PULSE_SERVER=unix:$socket

answers() { [ -S "$socket" ] && pactl info >/dev/null 2>&1; }

started=

start() {
    if [ "${VESK_SOUND_TESTS:-}" = skip ]; then
        echo "sound-server: VESK_SOUND_TESTS=skip, no sound server started"
        return 0
    fi
    mkdir -p "$dir" && chmod 700 "$dir"
    # One starter at a time: a second run waits and then finds the daemon answering.
    exec 9>"$dir/lock"
    flock -w 30 9
    if answers; then
        echo "sound-server: reusing the daemon on $socket"
        return 0
    fi
    if ! command -v pulseaudio >/dev/null; then
        echo "sound-server: pulseaudio is not installed (./test.sh installs it)" >&2
        return 1
    fi
    rm -f "$socket"
    mkdir -p "$dir/run" "$dir/config" "$dir/state"
    # Its own home and runtime folders: nothing is written into the user's; as root the
    # daemon only warns that it is not meant to run as root and goes on.
    if ! env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS HOME="$dir" XDG_RUNTIME_DIR="$dir/run" \
        XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state" \
        pulseaudio -n --daemonize=yes --use-pid-file=no --exit-idle-time=-1 --realtime=no \
        --high-priority=no --log-target=file:"$dir/log" \
        -L "module-null-sink sink_name=vesk_sink rate=8000 channels=1" \
        -L "module-null-source source_name=vesk_source rate=8000 channels=1 max_latency_msec=128" \
        -L "module-native-protocol-unix socket=$socket auth-anonymous=1" 9>&-; then
        echo "sound-server: pulseaudio did not start; its log:" >&2
        tail -n 20 "$dir/log" >&2 || true
        return 1
    fi
    for _ in $(seq 100); do
        if answers; then
            echo "sound-server: started on $socket"
            started=yes
            return 0
        fi
        sleep 0.1
    done
    echo "sound-server: the daemon did not answer on $socket; its log:" >&2
    tail -n 20 "$dir/log" >&2 || true
    return 1
}

# Asks the daemon to exit and waits until it no longer answers; false when it still does.
exit_daemon() {
    answers || return 0
    pactl exit >/dev/null 2>&1 || true
    for _ in $(seq 50); do
        answers || return 0
        sleep 0.1
    done
    echo "sound-server: the daemon on $socket did not exit" >&2
    return 1
}

# Removes what "start" makes in the folder, and the folder once that has left it empty (a
# folder named by VESK_SOUND_DIR may hold more: that stays).
remove_files() {
    rm -rf "$dir/run" "$dir/config" "$dir/state"
    rm -f "$socket" "$dir/log" "$dir/lock"
    rmdir "$dir" 2>/dev/null || true
}

stop() {
    [ -d "$dir" ] || return 0
    # Not while a starter is at work in the folder.
    exec 9>"$dir/lock"
    if ! flock -w 30 9; then
        echo "sound-server: a start in $dir has not ended in 30 s" >&2
        return 1
    fi
    exit_daemon || return 1
    remove_files
}

# Stops the daemon this script started (a run that reused it meanwhile loses it) and removes
# its files: the whole folder when it was made here.
stop_started() {
    [ -n "$started" ] || return 0
    started=
    exit_daemon || return 0
    if [ -n "$made_dir" ]; then
        rm -rf "$dir"
    else
        remove_files
    fi
    echo "sound-server: stopped the daemon this run started"
}

run() {
    made_dir=
    [ -e "$dir" ] || made_dir=yes
    start
    exec 9>&- # the lock guards starting only
    trap 'stop_started; exit 130' INT
    trap 'stop_started; exit 143' TERM
    trap 'stop_started' EXIT
    local rc=0
    "$@" || rc=$?
    return $rc
}

case ${1:-start} in
start) start ;;
check) answers ;;
stop) stop ;;
run)
    shift
    run "$@"
    ;;
env) echo "PULSE_SERVER=$PULSE_SERVER" ;;
*)
    echo "usage: $0 start|check|stop|env|run CMD..." >&2
    exit 2
    ;;
esac
