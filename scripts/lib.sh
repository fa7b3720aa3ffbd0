# Shared by the scripts in this folder: package installation and paths.

BRINVALE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages given that are not installed yet.
ensure_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if [ -z "${BRINVALE_APT_UPDATED:-}" ]; then
    $sudo apt-get update -qq
    export BRINVALE_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

BRINVALE_BUILD_PACKAGES=(cmake ninja-build g++ make pkg-config libblkid-dev libgtest-dev libgmock-dev googletest
  libbenchmark-dev xz-utils zlib1g-dev libbz2-dev liblzma-dev)

# The desktop program: Qt 6 Widgets and its run-time layouts (UiTools needs
# the OpenGL widgets package to be found at all), the media player's
# GStreamer back end (a player crashes without the base and good plug-ins),
# PDF pages and archives for the preview, and fonts for the shipped
# languages (without a CJK font Chinese texts render as boxes).
BRINVALE_DESKTOP_PACKAGES=(qt6-base-dev qt6-tools-dev libqt6opengl6-dev qt6-multimedia-dev
  libpoppler-qt6-dev libarchive-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  fonts-dejavu-core fonts-wqy-zenhei)

# Building and checking the Debian package: dpkg-shlibdeps names the
# libraries the programs link; the desktop entry and polkit action are
# validated when the tools are there.
BRINVALE_PACKAGE_PACKAGES=(dpkg-dev file desktop-file-utils libxml2-utils)
