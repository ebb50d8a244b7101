#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the installed tree as a user
# would meet it: the file list, the desktop, AppStream and manual-page files, and the
# installed programs run with the build and source trees out of reach (hidden under an
# empty mount when the host allows a private mount namespace).
# Usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
version=$3
here=$(dirname "$(realpath "$0")")
# shellcheck source=tests/package/expected_files.sh
. "$here/expected_files.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/zem-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
case "$work/" in "$build"/* | "$source"/*)
  echo "FAIL: the temporary folder $work lies inside the tree it must not see" >&2
  exit 1
  ;;
esac
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log"
usr=$root/usr
same_files "$usr" || status=1

# The desktop files, the metadata and the manual pages, as the distribution's tools see them.
for f in "$usr"/share/applications/*.desktop; do
  desktop-file-validate "$f" || fail "desktop-file-validate $(basename "$f")"
  program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$f")
  icon=$(sed -n 's/^Icon=//p' "$f")
  [ -x "$usr/bin/$program" ] || fail "$(basename "$f") starts $program, which is not installed"
  [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$(basename "$f") names the icon $icon, which is not installed"
done
grep -q '^MimeType=application/x-escp-print-job;$' "$usr/share/applications/org.zem2.ZEMPrint.desktop" ||
  fail "ZEMPrint's desktop entry does not open print jobs"
# The MIME database built from our definition maps .prn files to that type.
mkdir -p "$work/mime/packages"
cp "$usr/share/mime/packages/zemprint.xml" "$work/mime/packages/"
update-mime-database "$work/mime" >"$work/mime.log" 2>&1 || fail "update-mime-database: $(cat "$work/mime.log")"
grep -q '^50:application/x-escp-print-job:\*\.prn$' "$work/mime/globs2" 2>/dev/null || fail ".prn files get no print-job type"
for f in "$usr"/share/metainfo/*.xml; do
  appstreamcli validate --no-net "$f" >"$work/appstream.log" 2>&1 || {
    cat "$work/appstream.log"
    fail "appstreamcli validate $(basename "$f")"
  }
  grep -q "<release version=\"$version\"" "$f" || fail "$(basename "$f") does not name release $version"
done
for page in zem2 zemprint; do
  man_file=$usr/share/man/man1/$page.1.gz
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man_file" 2>&1 >"$work/$page.txt") || fail "man -l $page"
  [ -z "$warnings" ] || fail "man -l $page warns: $warnings"
  grep -q "^ZEM2 $version " <(tail -1 "$work/$page.txt" | tr -s ' ') || fail "the $page page does not name version $version"
done

# Runs the installed program with a fresh home, and with the trees hidden where possible.
# The isolation is tried once; without it the run still has the build folder off PATH and
# out of the environment, and the binaries are checked for references to it below.
hide=()
if unshare -rm true 2>/dev/null; then
  case "$build/" in "$source"/*) hide=("$source") ;; *) hide=("$source" "$build") ;; esac
else
  echo "note: no private mount namespace here; the trees stay visible to the installed programs"
fi
mkdir -p "$work/home" "$work/run" "$work/tmp"
chmod 700 "$work/run"
isolated() {
  local cmd=(env -i HOME="$work/home" PATH=/usr/bin:/bin LANG=C.UTF-8 TMPDIR="$work/tmp"
    XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen "$@")
  if [ ${#hide[@]} -gt 0 ]; then
    # shellcheck disable=SC2016 # the inner shell expands its own arguments
    unshare -rm bash -c 'n=$1; shift; for ((i = 0; i < n; i++)); do mount -t tmpfs none "$1" || exit 125; shift; done; exec "$@"' \
      _ ${#hide[@]} "${hide[@]}" "${cmd[@]}"
  else
    "${cmd[@]}"
  fi
}
if grep -rlF "$build" "$usr/bin" >/dev/null; then fail "an installed program refers to the build folder $build"; fi
if [ ${#hide[@]} -gt 0 ] && isolated test -e "$build/CMakeCache.txt"; then fail "the build tree is still visible"; fi

out=$(isolated "$usr/bin/zem2" --version) || fail "zem2 --version failed"
[ "$out" = "zem2 $version" ] || fail "zem2 --version says '$out', not 'zem2 $version'"
out=$(isolated "$usr/bin/zemprint" --version) || fail "zemprint --version failed"
[ "$out" = "ZEMPrint $version" ] || fail "zemprint --version says '$out', not 'ZEMPrint $version'"

# Every option the programs' help names is in their manual page.
for program in zem2 zemprint; do
  isolated "$usr/bin/$program" --help >"$work/$program.help" || fail "$program --help failed"
  for option in $(grep -oE '(^|[[:space:]])-{1,2}[a-z?]+' "$work/$program.help" | tr -d ' \t' | sort -u); do
    grep -qiF -- "$option" "$work/$program.txt" || fail "$program --help names $option, its manual page does not"
  done
done

# ZEMPrint: a job to PDF, with its settings in the user's configuration folder.
printf '\033@Printed by the installed ZEMPrint\r\n\f' >"$work/job.prn"
isolated "$usr/bin/zemprint" "$work/job.prn" "$work/job.pdf" >"$work/zemprint.log" 2>&1 || {
  cat "$work/zemprint.log"
  fail "zemprint to PDF failed"
}
if [ -f "$work/job.pdf" ]; then
  text=$(pdftotext "$work/job.pdf" - | tr -s ' \n' ' ')
  [[ $text == *"Printed by the installed ZEMPrint"* ]] || fail "the PDF does not hold the job's text: $text"
else
  fail "zemprint wrote no PDF"
fi
[ -d "$work/home/.config/zemprint" ] || fail "zemprint did not take its settings folder in ~/.config/zemprint"
[ ! -e "$usr/bin/ZEMPrint.ini" ] || fail "zemprint wrote its settings beside the program"

# ZEM2 headless: our guest system runs a script; without it a copy of the demo image runs.
mkdir -p "$work/home/.config/zem2"
printf '[General]\nShowDialog=1\n' >"$work/home/.config/zem2/zem.ini"
if [ "${ZEM_HAS_GUEST:-0}" = 1 ]; then
  args=(-cmdline "echo installed-guest-ran; quit" -dbg 1)
  expect=installed-guest-ran
else
  cp "$build/bin/zem-demo.bin" "$work/demo.bin"
  args=(-os "$work/demo.bin" -dbg 1)
  expect="ZEM: Starting ZEM2 version $version"
fi
if ! isolated timeout 120 "$usr/bin/zem2" "${args[@]}" >"$work/zem2.log" 2>&1; then
  cat "$work/zem2.log"
  fail "zem2 ${args[*]} failed"
fi
tr -d '\r' <"$work/zem2.log" >"$work/zem2.txt"
grep -qF -- "$expect" "$work/zem2.txt" || fail "zem2's transcript lacks '$expect'"
grep -qF "Loading INI information from \"$work/home/.config/zem2/zem.ini\"" "$work/zem2.txt" ||
  fail "zem2 did not read its settings from ~/.config/zem2/zem.ini"
if [ $status -ne 0 ]; then
  echo "--- zem2 transcript"
  head -40 "$work/zem2.txt"
fi
exit $status
