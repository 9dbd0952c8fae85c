# Sourced by the run and test scripts: installs, with apt-get, whatever of
# the project's Debian packages this machine lacks.
VELORA_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxfixes-dev libgl-dev libgl1-mesa-dri libglx-mesa0 libjpeg62-turbo-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick locales
)

velora_install_deps() {
  local missing=()
  for pkg in "${VELORA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The Windows build (scripts/build-windows, the windows stage of scripts/test):
# the MinGW-w64 cross compilers, Wine to run the tests (with the X libraries
# and fonts it only recommends), icoutils and librsvg2-bin for the icon and
# the resource test, dpkg-dev for apt-get source.
VELORA_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  libxrandr2 libxinerama1 libxrender1 libxcursor1 libxi6 libxcomposite1 libxxf86vm1 fonts-wine
  icoutils librsvg2-bin dpkg-dev
)

velora_install_windows_deps() {
  local base=("${VELORA_PACKAGES[@]}")
  VELORA_PACKAGES+=("${VELORA_WINDOWS_PACKAGES[@]}")
  velora_install_deps
  VELORA_PACKAGES=("${base[@]}")
}
