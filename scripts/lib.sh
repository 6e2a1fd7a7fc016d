# The scripts' shared steps. Sourced by a script that has changed to the
# repository's root: . scripts/lib.sh

# Configures the build of a preset (host, win32) and builds it; further
# arguments go to the build (--target setup, say).
tarnvel_build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" "$@"
}

# Installs what is missing (scripts/bootstrap.sh), then builds for Windows.
tarnvel_build_win32() {
  bash scripts/bootstrap.sh
  tarnvel_build win32 "$@"
}

# The absolute path of the folder whose component files setup.exe carries:
# the stand-ins, unless the build was configured with SETUP_PAYLOAD_DIR
# (relative to the build folder, as CMake reads it).
tarnvel_payload_dir() {
  local build=$PWD/build/win32 payload
  payload=$(sed -n 's/^SETUP_PAYLOAD_DIR:PATH=//p' "$build/CMakeCache.txt")
  case "$payload" in
    "") echo "$build/payload/files" ;;
    /*) echo "$payload" ;;
    *) echo "$build/$payload" ;;
  esac
}
