#!/usr/bin/env bash
# Installs everything Korvex needs to build, run and test on Debian 12 (run as root, or with sudo available).
set -euo pipefail
pkgs=(
  # toolchain and test frameworks
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  # Qt 6 widgets
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # Qt's own dialog texts in Japanese (the interface is Japanese whatever the system language)
  qt6-translations-l10n
  # audio: decoding, output, files, MIDI synthesis with a General MIDI soundfont
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  # the music library's database
  libsqlite3-dev
  portaudio19-dev libasound2-dev libdbus-1-dev libsndfile1-dev libfluidsynth-dev fluid-soundfont-gm
  # song analysis: tempo and beats, loudness
  libaubio-dev libebur128-dev
  # keylock: tempo changes that keep the pitch
  librubberband-dev
  # broadcasting: the Icecast connection and the stream's encoders; a server for the tests
  libshout3-dev libmp3lame-dev libvorbis-dev libogg-dev libopusenc-dev icecast2
  # the broadcast password in the desktop's keyring (QtKeychain loads libsecret when it runs); the keyring the
  # tests start on a private D-Bus session bus
  qtkeychain-qt6-dev libsecret-1-0 libglib2.0-dev gnome-keyring dbus-daemon
  # fonts for the Japanese interface
  fonts-noto-cjk
  # headless running and testing: virtual display, sound server with a null sink, tools to make fixtures
  xvfb xauth x11-utils xdotool imagemagick pulseaudio pulseaudio-utils libasound2-plugins sox ffmpeg
  # the X11 tests: a window manager to stack and close windows, and the X client library they query
  openbox libxcb1-dev
  # MIDI controllers (RtMidi over ALSA or JACK), and the JACK server the MIDI tests run with its dummy back end
  librtmidi-dev libjack-jackd2-dev jackd2
  # the load check's comparison player (aplay)
  alsa-utils
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# icecast2 asks whether to configure its own service: it is not wanted, the tests start their own servers.
echo "icecast2 icecast2/icecast-setup boolean false" | $SUDO debconf-set-selections 2>/dev/null || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
# The distribution's server must not run or start at boot: it would hold port 8000 and is not Korvex's.
if dpkg-query -W -f='${Status}' icecast2 2>/dev/null | grep -q "install ok installed"; then
  $SUDO sh -c 'service icecast2 stop >/dev/null 2>&1; update-rc.d icecast2 disable >/dev/null 2>&1' || true
fi
