# shellcheck shell=bash
# The files an installation holds, relative to the prefix, one a line. Sourced by the
# install and package tests; ZEM_ICON_SIZES (bitmap icon sizes, empty without a renderer)
# and ZEM_HAS_GUEST (1 when our guest image is built) come from the build.
expected_files() {
  printf '%s\n' \
    bin/zem2 bin/zemprint \
    share/applications/org.zem2.ZEM2.desktop share/applications/org.zem2.ZEMPrint.desktop \
    share/metainfo/org.zem2.ZEM2.metainfo.xml share/metainfo/org.zem2.ZEMPrint.metainfo.xml \
    share/man/man1/zem2.1.gz share/man/man1/zemprint.1.gz \
    share/mime/packages/zemprint.xml \
    share/doc/zem2/copyright share/doc/zem2/changelog.gz \
    share/icons/hicolor/scalable/apps/zem2.svg share/icons/hicolor/scalable/apps/zemprint.svg
  local size
  for size in ${ZEM_ICON_SIZES:-}; do
    printf 'share/icons/hicolor/%sx%s/apps/%s.png\n' "$size" "$size" zem2 "$size" "$size" zemprint
  done
  if [ "${ZEM_HAS_GUEST:-0}" = 1 ]; then echo share/zem2/zem2-guest.bin; fi
}

# Files under a folder, relative to it, sorted.
files_under() { (cd "$1" && find . -type f -o -type l) | sed 's|^\./||' | LC_ALL=C sort; }

# Compares the two; prints the difference and fails when they differ.
same_files() {
  local expected
  expected=$(expected_files | LC_ALL=C sort)
  if ! diff -u <(echo "$expected") <(files_under "$1"); then
    echo "FAIL: the installed files differ from the expected list (- expected, + installed)" >&2
    return 1
  fi
}
