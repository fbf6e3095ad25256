#!/usr/bin/env bash
# "sound-server.sh run" (what ./test.sh runs the suite with) stops the daemon it started,
# with its folder, and leaves alone one that already answered; the command's code is its own.
#   sound-server-run.sh PATH-OF-sound-server.sh
set -uo pipefail
server=$1
skip=${VESK_SOUND_TESTS:-}
unset VESK_SOUND_TESTS # this test starts a server of its own in any case
top=$(mktemp -d)
export VESK_SOUND_DIR=$top/sound
trap '"$server" stop >/dev/null; rm -rf "$top"' EXIT
# A machine that cannot run a sound server at all: skipped, when that is allowed, with the
# starter's own words.
if ! why=$("$server" start 2>&1); then
    echo "no sound server here: $why"
    [ "$skip" = skip ] && exit 77
    exit 1
fi
failed=0
fail() {
    echo "FAILED: $*"
    failed=1
}
left() { ls -A "$VESK_SOUND_DIR" | tr '\n' ' '; }

# "stop" ends the daemon and leaves nothing of it.
"$server" stop >/dev/null || fail "stop failed"
"$server" check && fail "the daemon still answers after stop"
[ -e "$VESK_SOUND_DIR" ] && fail "stop left its folder: $(left)"
rm -rf "$VESK_SOUND_DIR"

# Started by the run: it answers to the command, and is gone with its folder afterwards.
"$server" run "$server" check || fail "the command did not find the server answering"
"$server" check && fail "the daemon the run started still answers"
[ -e "$VESK_SOUND_DIR" ] && fail "its folder is left: $(left)"

# The command's failure is the run's, and the daemon is stopped all the same.
"$server" run sh -c 'exit 3'
rc=$?
[ $rc -eq 3 ] || fail "the run ended with $rc, not the command's 3"
"$server" check && fail "a failed command left the daemon running"

# A daemon that already answered is left running, folder and all.
"$server" start >/dev/null || fail "the server did not start"
"$server" run true || fail "the run failed with a daemon answering"
"$server" check || fail "the daemon that already answered was stopped"
[ -S "$VESK_SOUND_DIR/native" ] || fail "the folder of a daemon that already answered was touched"

[ $failed -eq 0 ] && echo "passed"
exit $failed
