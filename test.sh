#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
source "$(dirname "$0")/scripts-common.sh"
install_missing
build
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# The sound tests play and record through a PulseAudio daemon of their own (null sink and
# source); ctest's sound_server test starts it too, this only makes it visible early. A
# daemon started here is stopped after the tests; one that already answered is left alone.
exec tools/sound/sound-server.sh run ctest --test-dir build --output-on-failure -j"$(nproc)"
