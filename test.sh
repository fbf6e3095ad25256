#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
source "$(dirname "$0")/scripts-common.sh"
install_missing
build
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir build --output-on-failure -j"$(nproc)"
