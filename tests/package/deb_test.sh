#!/usr/bin/env bash
# Packs the finished build into a .deb (no second build: CPack installs what is there) and
# checks it: the computed library dependencies, the version, the file list, and lintian
# without errors. Lintian's warnings are listed for the reader.
# Usage: deb_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(realpath "$1")
version=$2
here=$(dirname "$(realpath "$0")")
# shellcheck source=tests/package/expected_files.sh
. "$here/expected_files.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/zem-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  exit 1
}
debs=("$work"/zem2_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  ls -l "$work"
  echo "FAIL: expected one zem2 .deb" >&2
  exit 1
fi
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = zem2 ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version), not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libqt6printsupport6 libcups2 libsdl2 libjpeg; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib (dpkg-shlibdeps not run?): $depends"
done

dpkg-deb -x "$deb" "$work/root"
same_files "$work/root/usr" || status=1
[ -z "$(cd "$work/root" && find . -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "files outside /usr"
grep -q '^License: GPL-3.0-or-later$' "$work/root/usr/share/doc/zem2/copyright" || fail "no licence in the copyright file"

# Lintian refuses nothing as root but says so; its tags are what count.
lintian --no-cfg --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1 || {
  fail "lintian reports errors"
}
grep -E '^[EWI]: ' "$work/lintian.log" || true
exit $status
