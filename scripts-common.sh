# Shared by run.sh and test.sh (and the fuzzing script): installs what is missing and builds.
set -euo pipefail
# The folder the user ran the script from: the program is started there (its "current
# folder", where Options.dat, params.txt and the hex logs are kept).
CALLER_DIR=$PWD
cd "$(dirname "${BASH_SOURCE[0]}")"
ROOT_DIR=$PWD

PACKAGES=(cmake ninja-build g++ libgtest-dev libbenchmark-dev qt6-base-dev libqt6opengl6-dev
    qt6-charts-dev libqt6sql6-sqlite libasound2-dev libasound2-plugins pulseaudio
    fonts-dejavu-core fonts-liberation2 qt6-translations-l10n poppler-utils sqlite3 xvfb xauth
    libxcb1-dev pkgconf x11-apps)

# install_missing [PACKAGE...]: installs those of the packages named (the scripts' own when
# none are) that are not installed yet.
install_missing() {
    local wanted=("$@")
    [ $# -eq 0 ] && wanted=("${PACKAGES[@]}")
    local missing=()
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Устанавливаются пакеты: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build [TARGET...]: configures build/ and builds the targets named (everything when none).
build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build build -j"$(nproc)" "${targets[@]}"
}
