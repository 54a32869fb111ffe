#!/usr/bin/env bash
# Installs the Debian packages that building, testing and checking Stanzel
# need. Only missing packages are installed, so a second run is quick and
# touches nothing.
set -euo pipefail

packages=(
    # build
    cmake g++ ninja-build qt6-base-dev pkgconf
    # spelling: the library, and the English, German and Hungarian dictionaries the tests check against
    libhunspell-dev hunspell-en-us hunspell-de-de hunspell-hu
    # telling the code page of text from older systems
    libuchardet-dev
    # syllable counts: the CMU pronouncing dictionary the English syllable table is made from
    pocketsphinx-en-us
    # unit tests, benchmarks, sanitizers and the fuzzer (libFuzzer ships with clang's runtime)
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev clang-format
    # window tests: a virtual display, input events, screenshots, fonts for offscreen rendering
    xvfb xauth xdotool imagemagick fonts-dejavu-core
    # checking exported files: Word/RTF, HTML, PDF
    abiword fonts-liberation libxml2-utils w3c-sgml-lib poppler-utils
    # packaging: validating the menu entry and metainfo, building and checking the .deb; SVG icons at run time
    desktop-file-utils appstream dpkg-dev fakeroot libqt6svg6
    # run time: the toolkit's own buttons and dialogs in the interface's language
    qt6-translations-l10n
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [[ $status != "install ok installed" ]]; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"

as_root=()
if ((EUID != 0)); then
    if ! command -v sudo >/dev/null; then
        echo "install-deps.sh: need root (or sudo) to install: ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi

# sudo drops the environment, so the non-interactive frontend goes through env.
apt() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

apt update -q
apt install -y -q --no-install-recommends "${missing[@]}"
