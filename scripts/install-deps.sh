#!/usr/bin/env bash
# Installs the Debian packages Gabblet needs to build, run and test, and only
# those that are missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-14-dev # the sanitizer and fuzzer runtimes of clang
    qt6-base-dev qt6-multimedia-dev libgl-dev
    libgtest-dev libgmock-dev
    libespeak-ng-dev espeak-ng espeak-ng-data
    qt6-multimedia-dev libqt6multimedia6 gstreamer1.0-plugins-base
    xvfb xauth python3
    # the POP3 and SMTP servers of the e-mail tests (tests/support/mailservers.py)
    dovecot-core dovecot-pop3d python3-aiosmtpd openssl
    libgmime-3.0-dev # building outgoing e-mail (MIME, RFC 2047 subjects)
    libgumbo-dev # the visible text of web pages (web mail, local mail)
    libhunspell-dev hunspell-en-us # spelling of the e-mail being written
    dbus-daemon # dbus-run-session: the desktop-notification tests run on a private bus
    # the install test and the Debian package (scripts/package.sh): validators
    # of the desktop entry and AppStream data, man to render the manual pages,
    # dpkg-shlibdeps for the package's dependencies
    desktop-file-utils appstream man-db groff-base dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
