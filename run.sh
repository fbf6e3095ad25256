#!/usr/bin/env bash
# Installs what is missing, builds the program (not the tests) and starts it in the folder
# this script was run from.
source "$(dirname "$0")/scripts-common.sh"
program=$ROOT_DIR/build/vesk
display=yes
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    display=
    echo "Нет графического дисплея: программа будет собрана, но не запущена."
fi
install_missing
build vesk
if [ -z "$display" ]; then
    echo "Программа собрана. Запустите её в сеансе рабочего стола или так: xvfb-run -a $program"
    exit 0
fi
cd "$CALLER_DIR"
exec "$program" "$@"
