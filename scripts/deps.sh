# Sourced by the run and test scripts: installs, with apt-get, whatever of
# the project's Debian packages this machine lacks.
VELORA_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxfixes-dev libgl-dev libgl1-mesa-dri libglx-mesa0 libjpeg62-turbo-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick locales
  xscreensaver xscreensaver-gl dpkg-dev lintian man-db
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
