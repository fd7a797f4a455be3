# Sourced by the other scripts: installs the Debian packages that are missing.
# Usage: vt_install_missing pkg...

vt_sudo() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

vt_install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    vt_sudo apt-get update -qq
    vt_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# What building the program needs: Qt 6, which scripts/run and the Debian package use.
VT_BUILD_PACKAGES=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
    libsqlite3-dev)
# What building it against Qt 5.15 needs on top; scripts/test builds and tests both.
VT_QT5_BUILD_PACKAGES=(qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev)
# What running it needs on top: a font with the control-picture symbols the log shows for CR and
# LF (the usual DejaVu fonts lack them).
VT_RUN_PACKAGES=(fonts-symbola)
# What `scripts/run --demo` needs on top: socat plays the simulated serial device.
VT_DEMO_PACKAGES=(socat)
# What the tests need on top: a private X server for the start-up test, X11 headers for it, the
# packages for running and for the demo, the desktop-file and AppStream validators, and dpkg-shlibdeps for the package.
# Mesa's GL drivers too, as every desktop has them: the start-up test then runs the program the
# way it runs there, GLX included.
VT_TEST_PACKAGES=(xvfb xauth libx11-dev "${VT_RUN_PACKAGES[@]}" "${VT_DEMO_PACKAGES[@]}"
    desktop-file-utils appstream dpkg-dev libgl1-mesa-dri libglx-mesa0)
