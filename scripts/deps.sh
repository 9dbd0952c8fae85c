# Sourced by the run and test scripts: installs, with apt-get, whatever of
# the project's Debian packages (and the extra ones named as arguments) this
# machine lacks, and says so.
VELORA_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxfixes-dev libgl-dev libgl1-mesa-dri libglx-mesa0 libjpeg62-turbo-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick locales xdg-utils
  libwayland-dev libwayland-bin wayland-protocols libegl-dev libxkbcommon-dev
  libsystemd-dev
)
# What only the tests need: the screensaver daemon the Linux saver runs
# under, and the tools that build and check its Debian package.
VELORA_TEST_PACKAGES=(xscreensaver xscreensaver-gl lintian man-db)
# CPack's Debian generator: dpkg-shlibdeps (dpkg-dev) and file.
VELORA_DEB_PACKAGES=(dpkg-dev file)
VELORA_TEST_PACKAGES+=("${VELORA_DEB_PACKAGES[@]}")
# The desktop entries are checked with desktop-file-validate.
VELORA_TEST_PACKAGES+=(desktop-file-utils)
# The house style of the C++ sources is checked with clang-format, on the
# files git lists.
VELORA_TEST_PACKAGES+=(clang-format git)
# The Wayland saver's tests: headless compositors, screenshots, input.
VELORA_TEST_PACKAGES+=(sway swayidle grim wtype weston kwin-wayland)
# The idle mode's tests: GNOME's compositor on a session bus of its own, and
# gio (libglib2.0-bin), which launches the autostart entry as GNOME does.
VELORA_TEST_PACKAGES+=(mutter dbus libglib2.0-bin)
# The command-line fuzzers: clang with its sanitizer and libFuzzer runtimes
# (the runtimes are only recommended by clang, so they are named here, by
# the name that follows the release's default clang).
VELORA_FUZZ_PACKAGES=(clang libclang-rt-dev)

# Prints "==> what" so that each stage of a long script can be told apart.
velora_step() { printf '==> %s\n' "$*"; }

velora_install_deps() {
  local wanted=() missing=()
  for pkg in "${VELORA_PACKAGES[@]}" "$@"; do  # each package once
    [[ " ${wanted[*]} " == *" $pkg "* ]] || wanted+=("$pkg")
  done
  for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    velora_step "All ${#wanted[@]} required Debian packages are installed"
    return 0
  fi
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  velora_step "Installing ${#missing[@]} Debian packages (and what they depend on): ${missing[*]}"
  # Waits for a package manager that is already running (say, unattended
  # upgrades on a new machine) instead of failing at once.
  $sudo apt-get -o DPkg::Lock::Timeout=600 update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends \
    "${missing[@]}"
}

# The Windows build (scripts/build-windows, the windows stage of scripts/test):
# the MinGW-w64 cross compilers, Wine to run the tests (with the X libraries
# and fonts it only recommends), icoutils and librsvg2-bin for the icon and
# the resource test, dpkg-dev for apt-get source, wixl and msitools
# (msibuild, msiinfo) to make the installer and read its tables back.
VELORA_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  libxrandr2 libxinerama1 libxrender1 libxcursor1 libxi6 libxcomposite1 libxxf86vm1 fonts-wine
  icoutils librsvg2-bin dpkg-dev wixl msitools
)
# Authenticode signing of velora.scr and the installer (scripts/sign), checked against the system's roots.
VELORA_SIGN_PACKAGES=(osslsigncode openssl ca-certificates)
# Signing with a key on a PKCS#11 token or cloud HSM: OpenSSL's pkcs11 engine, which osslsigncode loads.
VELORA_PKCS11_PACKAGES=(libengine-pkcs11-openssl)
# The signing tests: their timestamp server (python3) and a software token (SoftHSM).
VELORA_SIGN_TEST_PACKAGES=(python3 softhsm2)

# The web build (scripts/build-web, the web stage of scripts/test): Debian's
# Emscripten (with clang, node and the acorn its optimiser needs); the page's
# tests run in Debian's Chromium, headless, with SwiftShader's WebGL.
VELORA_WEB_PACKAGES=(emscripten node-acorn)
VELORA_WEB_TEST_PACKAGES=(chromium)

# 64-bit ARM (the aarch64 stage of scripts/test, scripts/build-arm64): Debian's
# cross compiler and qemu's user emulation, which run the portable core's
# tests; and, for the whole program and its package, the target's own
# libraries from Debian's arm64 archive (Wayland's and sd-bus's are picked
# up by pkg-config where the Wayland backend is built) and every tool that
# tests/package/check-package.sh runs on the package.
VELORA_ARM64_PACKAGES=(g++-aarch64-linux-gnu qemu-user)
VELORA_ARM64_TARGET_PACKAGES=(
  libx11-dev:arm64 libxfixes-dev:arm64 libgl-dev:arm64 libjpeg62-turbo-dev:arm64
  libwayland-dev:arm64 libegl-dev:arm64 libxkbcommon-dev:arm64 libsystemd-dev:arm64
  "${VELORA_DEB_PACKAGES[@]}" lintian man-db desktop-file-utils
)

# Installs the packages of the arm64 package build; the target's libraries
# need the arm64 architecture known to dpkg first.
velora_install_arm64_deps() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    velora_step "Adding the arm64 architecture to dpkg (for the target's libraries)"
    $sudo dpkg --add-architecture arm64
  fi
  velora_install_deps "${VELORA_ARM64_PACKAGES[@]}" "${VELORA_ARM64_TARGET_PACKAGES[@]}"
}
