# SPDX-License-Identifier: GPL-3.0-or-later
# tools/lib.sh - shared steps of the tools: install missing packages, build.
# Sourced, not run.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"

# Installs exactly the packages of tools/packages.txt that are not installed yet; a no-op when
# all are there, so it costs one dpkg query on every run.
ensure_packages() {
    # shellcheck disable=SC2046 # one package name a word
    install_missing $(sed -e 's/#.*//' "$root/tools/packages.txt" | awk 'NF { print $1 }')
}

# Installs those of the named packages that are not installed yet.
install_missing() {
    local missing=() p
    for p in "$@"; do
        if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != installed ]; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing missing packages: ${missing[*]}" >&2
    "${sudo[@]}" apt-get update -q >&2 || return 1
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}" >&2
}

build() {
    if [ ! -f "$build_dir/build.ninja" ]; then
        cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2 || return 1
    fi
    cmake --build "$build_dir" >&2
}
