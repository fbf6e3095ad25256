# Shared by run.sh and test.sh: installs what is missing and builds.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

PACKAGES=(cmake ninja-build g++ libgtest-dev libbenchmark-dev qt6-base-dev libqt6opengl6-dev
    qt6-serialport-dev qt6-charts-dev libqt6sql6-sqlite libasound2-dev libasound2-plugins pulseaudio
    fonts-dejavu-core fonts-liberation2 qt6-translations-l10n poppler-utils sqlite3 xvfb xauth)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Устанавливаются пакеты: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    local type=${1:-RelWithDebInfo}
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
    cmake --build build -j"$(nproc)"
}
