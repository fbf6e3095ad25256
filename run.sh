#!/usr/bin/env bash
# Installs what is missing, builds and starts the program.
source "$(dirname "$0")/scripts-common.sh"
install_missing
build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Нет графического дисплея. Запустите в сеансе рабочего стола или так: xvfb-run -a ./build/vesk"
    exit 0
fi
exec ./build/vesk "$@"
