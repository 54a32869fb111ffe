#!/usr/bin/env bash
# Checks Stanzel as a Debian package: validates the desktop entry and the
# AppStream metainfo, builds the .deb from a build directory, checks its
# control data and file list, installs it with dpkg into a scratch root, and
# starts the installed program twice without a display: once as a copy it may
# write beside (the collection stays in the program's folder) and once as a
# system-wide install it may not write to (the collection goes to the user's
# data folder, with the shipped language files copied there).
#
# Usage: packaging/check-package.sh [build-dir]      (default: build-pkg)
# A build directory that does not exist yet is configured without tests.
# The package is left in the build directory; everything else is removed.
set -euo pipefail

repo=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)
cd "$repo"
build=${1:-build-pkg}
app_id=org.stanzel_notebook.Stanzel
desktop=packaging/$app_id.desktop
metainfo=packaging/$app_id.metainfo.xml

fail() {
    echo "check-package.sh: $*" >&2
    exit 1
}
step() { echo "--- $*"; }

require() {
    local tool=$1 package=$2
    command -v "$tool" >/dev/null || fail "'$tool' is missing: install the Debian package $package"
}
require desktop-file-validate desktop-file-utils
require appstreamcli appstream
require dpkg-shlibdeps dpkg-dev
require cpack cmake
require timeout coreutils
if ((EUID == 0)); then
    require setpriv util-linux
else
    require fakeroot fakeroot
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/stanzel-package.XXXXXX")
cleanup() {
    # The system-wide run makes the scratch tree read-only when not root.
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

step "desktop entry and AppStream metainfo"
output=$(desktop-file-validate "$desktop" 2>&1) || {
    echo "$output"
    fail "$desktop does not validate"
}
# Hints are advice; errors and warnings are what desktops trip over.
if grep -Eq ': (error|warning):' <<<"$output"; then
    echo "$output"
    fail "$desktop has errors or warnings"
fi
[[ -n $output ]] && echo "$output"
# --strict fails on warnings and infos as well; only pedantic remarks pass.
appstreamcli validate --no-net --strict "$metainfo" ||
    fail "$metainfo does not validate"

step "build and package ($build)"
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DSTANZEL_BUILD_TESTS=OFF >/dev/null
fi
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
[[ $(cache_value STANZEL_BUILD_UI) != OFF ]] || fail "$build is configured without the window"
[[ $(cache_value STANZEL_SANITIZE) != ON ]] ||
    fail "$build is a sanitizer build, which needs the sanitizer runtimes: package another one"
cmake --build "$build" --target stanzel -j "$(nproc)"
project_version=$(cache_value CMAKE_PROJECT_VERSION)
[[ -n $project_version ]] || fail "no project version in $build/CMakeCache.txt"

cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    fail "cpack failed"
}
shopt -s nullglob
debs=("$work"/cpack/*.deb)
shopt -u nullglob
if ((${#debs[@]} != 1)); then
    fail "cpack made ${#debs[@]} .deb files, expected one"
fi
deb=$build/$(basename "${debs[0]}")
cp "${debs[0]}" "$deb"
deb=$(readlink -f "$deb")

step "control data"
dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
    local actual
    actual=$(field "$1")
    [[ $actual == "$2" ]] || fail "$1 is '$actual', expected '$2'"
}
expect_field Package stanzel
expect_field Version "$project_version"
expect_field Architecture "$(dpkg --print-architecture)"
expect_field Maintainer "Stanzel developers <hello@stanzel-notebook.org>"
expect_field Homepage "https://stanzel-notebook.org/"
expect_field Section editors
depends=$(field Depends)
# One package name a line, without versions or alternatives.
depends_names=$(sed 's/ *([^)]*)//g; s/ *[,|] */\n/g' <<<"$depends")
# The Qt, Hunspell and uchardet libraries come from dpkg-shlibdeps; the SVG
# plugins and Qt's translations nothing links.
for package in libqt6svg6 qt6-translations-l10n libqt6widgets6 libqt6gui6 libqt6printsupport6 libstdc++6 libhunspell-1.7-0 libuchardet0; do
    grep -Fqx "$package" <<<"$depends_names" || fail "Depends lacks $package: $depends"
done
recommends_names=$(field Recommends | sed 's/ *([^)]*)//g; s/ *[,|] */\n/g')
for package in hunspell-en-us hunspell-de-de hunspell-hu; do
    grep -Fqx "$package" <<<"$recommends_names" || fail "Recommends lacks $package"
done
release=$(grep -o -m1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
[[ $release == "$project_version" ]] ||
    fail "the newest release in $metainfo is '$release' but the package is $project_version"

# Every dependency must be a package Debian has: a misspelt name would make
# the package uninstallable. apt resolves against the system's own lists.
if command -v apt-get >/dev/null; then
    apt-get install --simulate -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 || {
        cat "$work/apt.log"
        fail "apt cannot satisfy the package's dependencies"
    }
fi

step "file list"
expected=(
    usr/bin/stanzel
    "usr/share/applications/$app_id.desktop"
    "usr/share/metainfo/$app_id.metainfo.xml"
    usr/share/icons/hicolor/scalable/apps/stanzel.svg
    usr/share/doc/stanzel/copyright
    usr/share/stanzel/english-syllables.txt
)
for png in resources/icons/hicolor/*/apps/stanzel.png; do
    expected+=("usr/share/icons/${png#resources/icons/}")
done
for language in lang/*.lng; do
    expected+=("usr/share/stanzel/lang/${language#lang/}")
done
dpkg-deb -c "$deb" >"$work/contents"
sed -n 's#^[-l][^ ]* .* \./##p' "$work/contents" | sort >"$work/files"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
diff -u "$work/expected" "$work/files" >"$work/files.diff" || {
    cat "$work/files.diff"
    fail "the package's files differ from the expected list (- missing, + unexpected)"
}
# Built as root or not, the package must hand its files to root, with the
# modes dpkg expects on a system: programs and folders 755, data 644.
awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' "$work/contents" ||
    fail "files above are not owned by root"
awk '{ mode = $1; path = $NF }
     path == "./usr/bin/stanzel" { if (mode != "-rwxr-xr-x") { print; bad = 1 }; next }
     mode ~ /^d/ { if (mode != "drwxr-xr-x") { print; bad = 1 }; next }
     mode != "-rw-r--r--" { print; bad = 1 }
     END { exit bad }' "$work/contents" || fail "files above have the wrong mode"

step "unpacked files match the sources"
tree=$work/extracted
dpkg -x "$deb" "$tree"
same() { cmp -s "$1" "$tree/$2" || fail "$2 in the package differs from $1"; }
same "$desktop" "usr/share/applications/$app_id.desktop"
same "$metainfo" "usr/share/metainfo/$app_id.metainfo.xml"
same resources/icons/stanzel.svg usr/share/icons/hicolor/scalable/apps/stanzel.svg
same packaging/copyright usr/share/doc/stanzel/copyright
same "$build/share/stanzel/english-syllables.txt" usr/share/stanzel/english-syllables.txt
for png in resources/icons/hicolor/*/apps/stanzel.png; do
    same "$png" "usr/share/icons/${png#resources/icons/}"
done
for language in lang/*.lng; do
    same "$language" "usr/share/stanzel/lang/${language#lang/}"
done
# The menu entry, the icon and the software centre point at each other by name.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
launchable=$(sed -n 's#.*<launchable type="desktop-id">\(.*\)</launchable>.*#\1#p' "$metainfo")
[[ -x $tree/usr/bin/$exec_name ]] || fail "Exec=$exec_name is not an installed program"
[[ -f $tree/usr/share/icons/hicolor/scalable/apps/$icon_name.svg ]] ||
    fail "Icon=$icon_name has no installed icon"
[[ -f $tree/usr/share/applications/$launchable ]] ||
    fail "the metainfo launches $launchable, which is not installed"

step "dpkg -i into a scratch root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The scratch root holds none of the libraries, so dependencies cannot be met
# there; apt has checked them against the system above.
as_root=()
((EUID == 0)) || as_root=(fakeroot)
"${as_root[@]}" dpkg --root="$root" --log="$work/dpkg.log" --force-depends --force-not-root \
    -i "$deb" >"$work/dpkg.out" 2>&1 || {
    cat "$work/dpkg.out"
    fail "dpkg -i failed"
}
status=$(dpkg --root="$root" -s stanzel | sed -n 's/^Status: //p')
[[ $status == "install ok installed" ]] || fail "dpkg reports the package as '$status'"
[[ -x $root/usr/bin/stanzel ]] || fail "dpkg installed no /usr/bin/stanzel"

# Starts a program for three seconds without a display, in a clean
# environment with its own home. Still running when stopped means it started.
run_for_a_moment() {
    local label=$1 program=$2 home=$3
    shift 3
    local status=0
    "$@" env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen timeout 3 "$program" >"$work/$label.log" 2>&1 || status=$?
    if ((status != 124)); then
        cat "$work/$label.log"
        fail "$label: the installed program ended with status $status instead of running"
    fi
}
# The one folder below the home that holds a collection.
user_data_folder() {
    local found
    found=$(find "$1/.local/share" -mindepth 2 -maxdepth 3 -type d -name poems 2>/dev/null)
    [[ -n $found && $(wc -l <<<"$found") == 1 ]] && dirname "$found"
}

step "start the unpacked program as a copy it may write beside"
home=$work/home-portable
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
run_for_a_moment portable "$tree/usr/bin/stanzel" "$home"
if [[ -d $tree/usr/bin/poems ]]; then
    echo "collection in the program's folder"
elif folder=$(user_data_folder "$home"); then
    echo "collection in the user's data folder ${folder#"$home"/}"
else
    fail "portable: no collection (poems/) beside the program or in the user's data folder"
fi

step "start the dpkg-installed program as a system-wide install"
home=$work/home-system
as_user=()
if ((EUID == 0)); then
    # root may write anywhere; the install is for ordinary users, so run it as nobody.
    uid=$(id -u nobody) || fail "no user 'nobody' to run the installed program as"
    gid=$(id -g nobody)
    chmod 755 "$work"
    install -d -o "$uid" -g "$gid" -m 755 "$home"
    install -d -o "$uid" -g "$gid" -m 700 "$home/runtime"
    as_user=(setpriv --reuid="$uid" --regid="$gid" --clear-groups)
else
    mkdir -p "$home/runtime"
    chmod 700 "$home/runtime"
    chmod -R a-w "$root/usr"
fi
run_for_a_moment system "$root/usr/bin/stanzel" "$home" "${as_user[@]}"
folder=$(user_data_folder "$home") ||
    fail "system: no collection (poems/) in the user's data folder below $home/.local/share"
echo "collection in the user's data folder ${folder#"$home"/}"
for language in lang/*.lng; do
    cmp -s "$language" "$folder/$language" ||
        fail "system: the shipped $language was not copied into the user's data folder"
done

echo "Package checked: $deb"
