#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when one is missing.
set -euo pipefail

# fonts-wine: Wine's own fonts (Tahoma, Marlett), which scripts/wine-env.sh gives every prefix.
packages=(
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 fonts-wine xvfb x11-utils
  cmake make googletest python3
  imagemagick zip unzip locales
)

# Wine takes the system language from the C library's locale: the tests start programs under Russian,
# Ukrainian and Belarusian locales, which must exist.
make_locales() {
  local l sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  for l in ru_RU uk_UA be_BY; do
    locale -a 2>/dev/null | grep -qx "$l.utf8" || $sudo localedef -i "$l" -f UTF-8 "$l.UTF-8" 2>/dev/null || true
  done
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  make_locales
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
make_locales
