#!/usr/bin/env bash
# Installs what building and testing Zelbrin Client needs on Debian 12.
# Run as root (or as a user with sudo). A second run only checks and returns.
#
# The tests run their own private cupsd (tests/env/testenv.sh); the system's
# CUPS daemon is not needed, so it is kept from starting at all.

set -euo pipefail

PACKAGES=(
    # Build tools
    build-essential cmake ninja-build pkg-config git
    # Qt 6 (Widgets, Network, DBus, Test, translations tools); libgl-dev for Qt6Gui's OpenGL target
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools libgl-dev
    # lupdate/lrelease for the program's translations, and Qt's own translations (its dialogs)
    qt6-l10n-tools qt6-translations-l10n
    # Printing: libcups for the agent, cups/filters for the private test cupsd
    libcups2-dev cups cups-client cups-filters cups-ipp-utils ghostscript
    # Libraries
    libqpdf-dev libpugixml-dev libssl-dev libxcb1-dev libxcb-xfixes0-dev
    # Tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # The fuzz targets: clang with libFuzzer and the sanitizer runtimes
    clang libclang-rt-14-dev
    # A headless X server and clipboard tools for the integration tests
    xvfb xauth xclip x11-utils
    python3
    # The install test validates the desktop entry and the AppStream metainfo, and runs lintian
    # on the Debian package
    desktop-file-utils appstream lintian
    # Draws the icons again from their SVG (packaging/icons/render.sh); the build does not need it
    librsvg2-bin
    # Files on Windows shares: GIO and GVfs for the agent, a private Samba server for the tests
    libglib2.0-dev gvfs gvfs-backends gvfs-fuse dbus fuse3 samba smbclient
    # Wayland: the client library and wayland-scanner for the agent, Qt's Wayland platform, and a
    # headless sway with XWayland and clipboard tools for the tests (xhost lets them into XWayland)
    libwayland-dev libwayland-bin qt6-wayland sway xwayland wl-clipboard x11-xserver-utils
)

if [[ $EUID -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "install-deps: run this as root (sudo is not available)." >&2
    exit 1
fi

# One dpkg-query call keeps a second run fast.
declare -A installed=()
while read -r pkg status; do
    [[ "$status" == installed ]] && installed[${pkg%%:*}]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${PACKAGES[@]}" 2>/dev/null || true)
missing=()
for pkg in "${PACKAGES[@]}"; do
    [[ -n "${installed[$pkg]:-}" ]] || missing+=("$pkg")
done

if (( ${#missing[@]} == 0 )); then
    echo "install-deps: all ${#PACKAGES[@]} packages are installed already."
    exit 0
fi

# Must exist before cups is unpacked: its maintainer scripts would otherwise
# start a system cupsd on port 631. Exit code 101 means "action not allowed".
if [[ ! -f /usr/sbin/policy-rc.d ]] || ! grep -qx 'exit 101' /usr/sbin/policy-rc.d; then
    echo "install-deps: writing /usr/sbin/policy-rc.d so no system service starts"
    printf '#!/bin/sh\nexit 101\n' | "${as_root[@]}" tee /usr/sbin/policy-rc.d >/dev/null
    "${as_root[@]}" chmod 755 /usr/sbin/policy-rc.d
fi

"${as_root[@]}" apt-get update

# A name this release does not know would make apt-get refuse everything.
available=()
unknown=()
for pkg in "${missing[@]}"; do
    policy=$(apt-cache policy "$pkg" 2>/dev/null || true)
    if [[ "$policy" =~ Candidate:\ [^\(] ]]; then
        available+=("$pkg")
    else
        unknown+=("$pkg")
    fi
done

if (( ${#available[@]} > 0 )); then
    echo "install-deps: installing ${available[*]}"
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${available[@]}"
fi
if (( ${#unknown[@]} > 0 )); then
    echo "install-deps: no package of these names in the configured sources: ${unknown[*]}" >&2
    exit 1
fi
echo "install-deps: done."
