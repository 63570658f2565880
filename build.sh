#!/usr/bin/env bash
# ./build.sh run   - install what is missing, build and start Quillon
# ./build.sh test  - install what is missing, build and run every test
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev qt6-charts-dev qt6-translations-l10n
    qt6-webengine-dev
    libsqlite3-dev
    libgtest-dev
    libcurl4-openssl-dev libgmime-3.0-dev libgsf-1-dev libytnef0-dev
    pxlib-dev libshp-dev shapelib python3-dbf python3-vobject
    libxlsxwriter-dev libfreexl-dev python3-openpyxl
    python3-aiosmtpd dovecot-pop3d openssl php-cli php-gd
    libopendkim-dev python3-dkim
    xvfb xauth desktop-file-utils libxml2-utils nodejs
)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installiere fehlende Pakete: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
    fi
}

# npm packages the tests run as independent writers of file formats, into the build tree.
install_test_fixtures() {
    if ! command -v npm >/dev/null; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq npm
    fi
    local dir=build/test-npm
    mkdir -p "$dir"
    if [ ! -d "$dir/node_modules" ] || ! cmp -s tests/fixtures/npm/package-lock.json "$dir/package-lock.json"; then
        cp tests/fixtures/npm/package.json tests/fixtures/npm/package-lock.json "$dir/"
        (cd "$dir" && npm ci --no-audit --no-fund --silent)
    fi
}

configure_and_build() {
    local werror=OFF
    [ "${CI:-}" = "true" ] || [ "${QUILLON_WERROR:-}" = "1" ] && werror=ON
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=$werror
    cmake --build build -j "$(nproc)"
}

case "${1:-}" in
run)
    install_missing
    configure_and_build
    exec ./build/src/app/quillon
    ;;
test)
    install_missing
    install_test_fixtures
    configure_and_build
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
    ;;
*)
    echo "Aufruf: ./build.sh run | ./build.sh test" >&2
    exit 2
    ;;
esac
