#!/usr/bin/env bash
# Cross-builds the third-party libraries of the Windows build (FreeType, libpng, libjpeg-turbo,
# libogg, libvorbis with vorbisfile) as static x86_64-w64-mingw32 libraries from Debian's source
# packages, into a prefix outside the clone that is keyed by the pinned versions.
#
#   tools/build-windows-deps.sh                 build the prefix unless it is already complete
#   tools/build-windows-deps.sh --print-prefix  print the prefix path and exit (no network, no root)
#
# Environment:
#   ZQ_DEPS_CACHE  base directory of the prefixes (default /var/cache/zorqa/windows-deps)
#   ZQ_DEPS_JOBS   parallel compile jobs (default: nproc)
#   ZQ_DEPS_KEEP_WORK=1  keep the temporary work directory (sources, build trees, logs)
#
# zlib is not built: Debian's libz-mingw-w64-dev provides /usr/x86_64-w64-mingw32/lib/libz.a.
# The prefix is complete when <prefix>/.complete exists; it is built under a temporary name next
# to its final place and renamed into place only once everything is installed and checked.
set -euo pipefail

# ---- Pinned Debian source package versions (bookworm). Changing any line changes the prefix. ----
PINS=(
  "freetype=2.12.1+dfsg-5+deb12u4"
  "libpng1.6=1.6.39-2+deb12u5"
  "libjpeg-turbo=1:2.1.5-2"
  "libogg=1.3.5-3"
  "libvorbis=1.3.7-1"
)
# Bump when the build recipe below changes in a way that changes the installed files.
SCRIPT_REVISION=2

TRIPLE=x86_64-w64-mingw32
MINGW_ROOT=/usr/$TRIPLE
CC_CROSS=$TRIPLE-gcc-posix
CXX_CROSS=$TRIPLE-g++-posix
SRC_LIST=/etc/apt/sources.list.d/zorqa-deb-src

cache_base=${ZQ_DEPS_CACHE:-/var/cache/zorqa/windows-deps}
cache_base=${cache_base%/}
cache_key=$(printf '%s\n' "revision=$SCRIPT_REVISION" "triple=$TRIPLE" "${PINS[@]}" \
  | sha256sum | cut -c1-12)
prefix=$cache_base/$cache_key

# Files that cmake/ZorqaDependencies.cmake imports from the prefix.
REQUIRED=(
  lib/libpng16.a lib/libjpeg.a lib/libfreetype.a lib/libogg.a lib/libvorbis.a lib/libvorbisfile.a
  include/png.h include/pngconf.h include/pnglibconf.h
  include/jpeglib.h include/jconfig.h include/jmorecfg.h include/jerror.h
  include/freetype2/ft2build.h include/freetype2/freetype/freetype.h
  include/ogg/ogg.h include/ogg/os_types.h include/ogg/config_types.h
  include/vorbis/codec.h include/vorbis/vorbisfile.h
)

case "${1:-}" in
  --print-prefix) printf '%s\n' "$prefix"; exit 0 ;;
  "") ;;
  -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "build-windows-deps: unknown argument '$1' (try --help)" >&2; exit 2 ;;
esac

t_start=$SECONDS
log() { printf 'windows-deps: %s\n' "$*"; }
in_step=0
die() {
  if [[ $in_step == 1 ]]; then echo; fi
  printf 'windows-deps: error: %s\n' "$*" >&2
  exit 1
}

if [[ -f $prefix/.complete ]]; then
  log "up to date: $prefix"
  exit 0
fi

[[ $(id -u) == 0 ]] || die "must run as root to install packages and write $cache_base"
jobs=${ZQ_DEPS_JOBS:-$(nproc)}

work=$(mktemp -d "${TMPDIR:-/tmp}/zorqa-windows-deps.XXXXXX")
stage=""
ok=0
cleanup() {
  if [[ -n $stage && -d $stage ]]; then rm -rf "$stage"; fi
  if [[ $ok == 1 && -z ${ZQ_DEPS_KEEP_WORK:-} ]]; then rm -rf "$work"; else echo "windows-deps: logs kept in $work" >&2; fi
}
trap cleanup EXIT

# run LOGNAME CMD...: runs CMD with its output appended to $work/LOGNAME.log; on failure prints
# the end of that log and stops.
run() {
  local logfile=$work/$1.log
  shift
  printf '+ %s\n' "$*" >>"$logfile"
  if ! "$@" >>"$logfile" 2>&1; then
    if [[ $in_step == 1 ]]; then echo; fi
    printf 'windows-deps: FAILED: %s\n--- last lines of %s ---\n' "$*" "$logfile" >&2
    tail -n 40 "$logfile" >&2
    exit 1
  fi
}

# step TEXT: prints "TEXT ..." and remembers the start time; done_step finishes the line.
step() { step_t0=$SECONDS; in_step=1; printf 'windows-deps: %s ... ' "$*"; }
done_step() { in_step=0; printf 'ok (%ds)\n' $((SECONDS - step_t0)); }

export DEBIAN_FRONTEND=noninteractive
apt_updated=0
apt_update() {
  if [[ $apt_updated == 0 ]]; then
    run apt apt-get update
    apt_updated=1
  fi
}

# ---- 1. apt source entries: deb-src twins of the system's own entries. ----
deb_src_entries() {
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    # deb822: copy each enabled stanza whose Types include "deb", with Types set to deb-src.
    awk '
      function flush() {
        if (n > 0 && has_deb && !disabled) {
          print "Types: deb-src"
          for (i = 1; i <= n; i++) print lines[i]
          print ""
        }
        n = 0; has_deb = 0; disabled = 0
      }
      /^[[:space:]]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") has_deb = 1; next }
      /^Enabled:[[:space:]]*[Nn]o/ { disabled = 1 }
      { lines[++n] = $0 }
      END { flush() }
    ' /etc/apt/sources.list.d/debian.sources
  elif [[ -f /etc/apt/sources.list ]]; then
    sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list
  fi
}

step "apt deb-src entries"
if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then src_file=$SRC_LIST.sources; else src_file=$SRC_LIST.list; fi
entries=$(deb_src_entries)
[[ -n $entries ]] || die "no 'deb' entry found in /etc/apt/sources.list.d/debian.sources or /etc/apt/sources.list"
content="# Written by tools/build-windows-deps.sh: Debian source packages for the Windows dependencies.
$entries"
if [[ ! -f $src_file || "$(cat "$src_file")" != "$content" ]]; then
  printf '%s\n' "$content" >"$src_file"
  apt_update
fi
done_step

# ---- 2. Build tools, installed only when missing. ----
step "build tools"
missing=()
command -v "$CC_CROSS" >/dev/null && command -v "$CXX_CROSS" >/dev/null \
  && command -v "$TRIPLE-ar" >/dev/null || missing+=(mingw-w64)
[[ -f $MINGW_ROOT/lib/libz.a && -f $MINGW_ROOT/include/zlib.h ]] || missing+=(libz-mingw-w64-dev)
command -v cmake >/dev/null || missing+=(cmake)
command -v make >/dev/null || missing+=(make)
command -v dpkg-source >/dev/null || missing+=(dpkg-dev)
command -v xz >/dev/null || missing+=(xz-utils)
command -v nasm >/dev/null || missing+=(nasm)
if ((${#missing[@]})); then
  printf 'installing %s ... ' "${missing[*]}"
  apt_update
  run apt apt-get install -y --no-install-recommends "${missing[@]}"
fi
done_step

# ---- 3. Download and unpack the pinned source packages. ----
step "download sources"
mkdir -p "$work/dl" "$work/src"
# Let apt's unprivileged downloader write there (otherwise it warns and downloads as root).
if id _apt >/dev/null 2>&1; then chown _apt "$work/dl"; fi
for pin in "${PINS[@]}"; do
  pkg=${pin%%=*}
  ver=${pin#*=}
  # (Captured first: grep -q closing the pipe early would fail the pipeline under pipefail.)
  versions=$(apt-cache showsrc --only-source "$pkg" 2>/dev/null | sed -n 's/^Version: //p' || true)
  if ! grep -qxF "$ver" <<<"$versions"; then
    apt_update
    versions=$(apt-cache showsrc --only-source "$pkg" 2>/dev/null | sed -n 's/^Version: //p' || true)
    grep -qxF "$ver" <<<"$versions" \
      || die "$pkg $ver is not in the apt source index; available: $(sort -u <<<"$versions" | tr '\n' ' ')"
  fi
done
download() { (cd "$work/dl" && apt-get source --download-only "${PINS[@]}") >>"$work/apt.log" 2>&1; }
if ! download; then
  # A stale index can name files the mirror no longer has: refresh once and retry.
  if [[ $apt_updated == 1 ]]; then
    printf '\n--- last lines of %s ---\n' "$work/apt.log" >&2
    in_step=0
    tail -n 20 "$work/apt.log" >&2
    die "could not download the source packages"
  fi
  apt_update
  # shellcheck disable=SC2016 # expanded by the inner shell
  run apt bash -c 'cd "$1" && shift && apt-get source --download-only "$@"' _ "$work/dl" "${PINS[@]}"
fi
done_step

step "unpack sources (with Debian patches)"
for pin in "${PINS[@]}"; do
  pkg=${pin%%=*}
  ver=${pin#*=}
  dsc=$work/dl/${pkg}_${ver#*:}.dsc
  [[ -f $dsc ]] || die "missing $dsc after download"
  run unpack dpkg-source -x "$dsc" "$work/src/$pkg"
done
done_step

# ---- 4. Build and install each library into a staging prefix. ----
cd "$work"
mkdir -p "$cache_base"
exec 9>"$cache_base/.lock"
flock 9
if [[ -f $prefix/.complete ]]; then
  # Another run finished the same prefix while this one was preparing.
  ok=1
  log "up to date: $prefix"
  exit 0
fi
# Holding the lock, no other run is building: staging directories left by killed runs can go.
rm -rf "$cache_base"/.staging-*
stage=$(mktemp -d "$cache_base/.staging-$cache_key.XXXXXX")

toolchain=$work/mingw-toolchain.cmake
cat >"$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $CC_CROSS)
set(CMAKE_CXX_COMPILER $CXX_CROSS)
set(CMAKE_RC_COMPILER $TRIPLE-windres)
set(CMAKE_AR $(command -v "$TRIPLE-ar") CACHE FILEPATH "")
set(CMAKE_RANLIB $(command -v "$TRIPLE-ranlib") CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH $MINGW_ROOT "$stage")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

zlib_args=(-DZLIB_LIBRARY="$MINGW_ROOT/lib/libz.a" -DZLIB_INCLUDE_DIR="$MINGW_ROOT/include")

# cmake_lib NAME SRC-SUBDIR CMAKE-ARGS...
# -O2 goes in CMAKE_C_FLAGS, not the Release flags, which libjpeg-turbo rewrites to -O3.
n_lib=0
cmake_lib() {
  local name=$1 src=$work/src/$2 bld=$work/build/$1
  shift 2
  n_lib=$((n_lib + 1))
  step "[$n_lib/5] build $name"
  run "$name" cmake -S "$src" -B "$bld" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS="-O2" -DCMAKE_C_FLAGS_RELEASE="-DNDEBUG" \
    -DCMAKE_CXX_FLAGS="-O2" -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$stage" \
    -DCMAKE_PREFIX_PATH="$stage" \
    -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_TESTING=OFF \
    "$@"
  run "$name" cmake --build "$bld" -j "$jobs"
  run "$name" cmake --install "$bld"
  # Every installed file must be in the staging prefix (a relative install dir would otherwise
  # resolve against the current directory).
  if grep -vF "$stage/" "$bld/install_manifest.txt" >&2; then
    die "$name installed the files above outside $stage"
  fi
  done_step
}

cmake_lib freetype freetype "${zlib_args[@]}" \
  -DFT_REQUIRE_ZLIB=ON \
  -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON

cmake_lib libpng libpng1.6 "${zlib_args[@]}" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF

# libjpeg v6.2 API/ABI like Debian's libjpeg62-turbo-dev on the host side; SIMD through nasm.
cmake_lib libjpeg-turbo libjpeg-turbo \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER="$(command -v nasm)"

cmake_lib libogg libogg -DINSTALL_DOCS=OFF

cmake_lib libvorbis libvorbis -DOgg_DIR="$stage/lib/cmake/Ogg"

# ---- 5. Check, point text files at the final path, stamp, and move into place. ----
step "finish $prefix"
for f in "${REQUIRED[@]}"; do
  [[ -e $stage/$f ]] || die "$f was not installed"
done
if compgen -G "$stage/lib/*.dll.a" >/dev/null || compgen -G "$stage/bin/*.dll" >/dev/null; then
  die "a DLL or import library was installed; only static libraries are wanted"
fi
# pkg-config and CMake package files name the staging directory: rewrite them to the prefix.
stage_re=$(printf '%s' "$stage" | sed 's/[][\\.*^$#]/\\&/g')
prefix_sub=$(printf '%s' "$prefix" | sed 's/[\\&#]/\\&/g')
{ grep -rlIF "$stage" "$stage" || true; } | while IFS= read -r f; do
  sed -i "s#$stage_re#$prefix_sub#g" "$f"
done
{
  echo "# Windows dependencies built by tools/build-windows-deps.sh"
  echo "revision=$SCRIPT_REVISION"
  printf '%s\n' "${PINS[@]}"
  echo "compiler=$("$CC_CROSS" --version | sed -n 1p)"
  echo "built=$(date -u +%Y-%m-%dT%H:%M:%SZ)"
} >"$stage/.complete"
# An incomplete directory at the final path (no stamp) can only be a leftover: replace it.
if [[ -e $prefix ]]; then rm -rf "$prefix"; fi
chmod 755 "$stage"
mv -T "$stage" "$prefix"
stage=""
done_step

ok=1
log "done in $((SECONDS - t_start))s: $prefix"
