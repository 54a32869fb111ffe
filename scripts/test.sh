#!/usr/bin/env bash
# Installs what is missing, builds Stanzel in build/ and runs every test.
# STANZEL_BUILD_DIR picks another build directory; STANZEL_TEST_JOBS runs
# tests in parallel (they run one at a time by default).
set -euo pipefail

repo=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)
cd "$repo"

bash scripts/install-deps.sh

# Under sudo the build and the tests run as the user who called sudo, so the
# build tree stays theirs and the tests see ordinary file permissions.
as_user=()
if ((EUID == 0)) && [[ -n ${SUDO_USER:-} && $SUDO_USER != root ]]; then
    as_user=(sudo -u "$SUDO_USER" -H)
fi

build=${STANZEL_BUILD_DIR:-build}
generator=()
if [[ ! -f $build/CMakeCache.txt ]]; then
    generator=(-G Ninja)
fi

"${as_user[@]}" cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSTANZEL_BUILD_TESTS=ON
"${as_user[@]}" cmake --build "$build" -j "$(nproc)"
# Qt wants a private runtime directory and complains on every test without one.
runtime_dir=${XDG_RUNTIME_DIR:-}
if [[ -z $runtime_dir ]]; then
    runtime_dir=$("${as_user[@]}" mktemp -d)
    trap 'rm -rf "$runtime_dir"' EXIT
fi
"${as_user[@]}" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime_dir" \
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j "${STANZEL_TEST_JOBS:-1}"
