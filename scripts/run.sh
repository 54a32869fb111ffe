#!/usr/bin/env bash
# Installs what is missing, builds Stanzel and starts it.
#
# Stanzel keeps its data (poems.dmp, poems/, settings.ini, lang/) beside its
# executable. So that a clean rebuild can never take the poems with it, the
# program is copied out of the build tree into a program directory, by default
# ~/Stanzel (STANZEL_HOME overrides it), and started from there. Under sudo
# that is the calling user's home, and the program runs as that user.
set -euo pipefail

program_dir=${STANZEL_HOME:-}
if [[ -n $program_dir && $program_dir != /* ]]; then
    program_dir=$PWD/$program_dir
fi
repo=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)
cd "$repo"

bash scripts/install-deps.sh

as_user=()
user_home=$HOME
if ((EUID == 0)) && [[ -n ${SUDO_USER:-} && $SUDO_USER != root ]]; then
    as_user=(sudo -u "$SUDO_USER" -H)
    user_home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
fi

build=${STANZEL_BUILD_DIR:-build}
generator=()
if [[ ! -f $build/CMakeCache.txt ]]; then
    generator=(-G Ninja)
fi
"${as_user[@]}" cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# Ninja lists "stanzel: phony", Makefiles "... stanzel".
targets=$("${as_user[@]}" cmake --build "$build" --target help)
if ! grep -Eq '^(\.\.\. )?stanzel(:|$)' <<<"$targets"; then
    echo "The Stanzel window is not built yet: the build has no 'stanzel' program to start."
    exit 0
fi
"${as_user[@]}" cmake --build "$build" --target stanzel -j "$(nproc)"

executable=$(find "$build" -type f -name stanzel -perm -u+x -printf '%T@ %p\n' | sort -nr |
    head -n 1 | cut -d' ' -f2-)
if [[ -z $executable ]]; then
    echo "run.sh: the build finished but no 'stanzel' program was found in $build" >&2
    exit 1
fi

program_dir=${program_dir:-$user_home/Stanzel}
"${as_user[@]}" mkdir -p "$program_dir"
program_dir=$(cd "$program_dir" && pwd -P)
case "$program_dir/" in
"$(cd "$build" && pwd -P)/"*)
    echo "run.sh: STANZEL_HOME ($program_dir) lies inside the build tree; choose a directory outside it" >&2
    exit 1
    ;;
esac

# The program is replaced by renaming a fresh copy over it, which works even
# while an older copy is running; language files the user already has stay.
"${as_user[@]}" cp "$executable" "$program_dir/.stanzel.new"
"${as_user[@]}" mv -f "$program_dir/.stanzel.new" "$program_dir/stanzel"
for lang_dir in lang resources/lang; do
    if compgen -G "$lang_dir/*.lng" >/dev/null; then
        "${as_user[@]}" mkdir -p "$program_dir/lang"
        "${as_user[@]}" cp -n "$lang_dir"/*.lng "$program_dir/lang/"
    fi
done

echo "Starting Stanzel from $program_dir"
cd "$program_dir"
if ((${#as_user[@]})); then
    # sudo keeps DISPLAY and XAUTHORITY but not what a Wayland session needs.
    uid=$(id -u "$SUDO_USER")
    display_env=(XAUTHORITY="${XAUTHORITY:-$user_home/.Xauthority}")
    [[ -n ${DISPLAY:-} ]] && display_env+=(DISPLAY="$DISPLAY")
    [[ -n ${WAYLAND_DISPLAY:-} ]] && display_env+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
    [[ -d /run/user/$uid ]] && display_env+=(XDG_RUNTIME_DIR="/run/user/$uid")
    [[ -n ${QT_QPA_PLATFORM:-} ]] && display_env+=(QT_QPA_PLATFORM="$QT_QPA_PLATFORM")
    exec "${as_user[@]}" env "${display_env[@]}" ./stanzel "$@"
fi
exec ./stanzel "$@"
