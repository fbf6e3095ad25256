#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
source "$(dirname "$0")/scripts-common.sh"
install_missing
build
# The sound tests play and record through a PulseAudio daemon of their own (null sink and
# source); ctest's sound_server test starts it too, this only makes it visible early.
tools/sound/sound-server.sh start
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir build --output-on-failure -j"$(nproc)"
