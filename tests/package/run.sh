#!/bin/sh
# Uses the library the ways its README shows: installed (find_package, pkg-config) and as a
# subdirectory of a consumer's build. Each consumer extracts a sample and must print its text.
# usage: run.sh SOURCE_DIR BUILD_DIR [CMAKE_ARGS...]
set -eu
src=$1 build=$2
shift 2
work=$build/package
sample=$src/samples/harbour.odt
phrase='A small book about a working harbour'
rm -rf "$work" && mkdir -p "$work"

command -v pkg-config >/dev/null || { echo "FAILED: pkg-config is missing (Debian: apt-get install pkg-config)" >&2; exit 1; }

# The README shows the consumer's sources verbatim.
cat >"$work/verbatim.cmake" <<'CMAKE'
file(READ ${README} readme)
file(READ ${SOURCE} source)
string(FIND "${readme}" "${source}" at)
if(at LESS 0)
  message(FATAL_ERROR "README.md does not show ${SOURCE} as it is")
endif()
CMAKE
for f in CMakeLists.txt extract.cpp extract.c; do
  cmake -DREADME="$src/README.md" -DSOURCE="$src/tests/package/consumer/$f" -P "$work/verbatim.cmake"
done

check() {  # check NAME PROGRAM...: the program extracts the sample and prints the phrase
  name=$1
  shift
  if ! "$@" "$sample" >"$work/$name.out" 2>&1 || ! grep -q "$phrase" "$work/$name.out"; then
    echo "FAILED: $name: $*" >&2
    cat "$work/$name.out" >&2
    exit 1
  fi
  echo "ok: $name"
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null

cmake -S "$src/tests/package/consumer" -B "$work/find" -DCMAKE_PREFIX_PATH="$work/prefix" "$@" >/dev/null
cmake --build "$work/find" -j2 >/dev/null
check find_package "$work/find/extract"
check find_package-c "$work/find/extract_c"

# The README's pkg-config lines, run as written (warnings made errors) from the consumer's folder.
pc=$(find "$work/prefix" -name zvword.pc)
export PKG_CONFIG_PATH="${pc%/*}"
libdir=$(pkg-config --variable=libdir zvword)
grep -E '^(c\+\+|cc) .*pkg-config' "$src/README.md" | sed 's/^\(c++\|cc\) /\1 -Werror /' >"$work/pkg-config.sh"
[ "$(wc -l <"$work/pkg-config.sh")" -eq 2 ] || { echo "FAILED: README has not the two pkg-config lines" >&2; exit 1; }
(cd "$src/tests/package/consumer" && sed "s|-o \([a-z_]*\)|-o $work/\1|" "$work/pkg-config.sh" | sh -e)
check pkg-config env LD_LIBRARY_PATH="$libdir" "$work/extract"
check pkg-config-c env LD_LIBRARY_PATH="$libdir" "$work/extract_c"
# The C header is C++11 as well.
c++ -std=c++11 -x c++ -Wall -Wextra -pedantic -Werror -fsyntax-only -I"$work/prefix/include" \
  "$src/tests/package/consumer/extract.c"
echo "ok: C header as C++11"

# A subdirectory build compiles the library again: only what the consumer needs, two jobs.
cmake -S "$src/tests/package/consumer" -B "$work/sub" -DZVWORD_SOURCE="$src" "$@" >/dev/null
cmake --build "$work/sub" -j2 --target extract >/dev/null
check add_subdirectory "$work/sub/extract"
