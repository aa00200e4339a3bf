#!/usr/bin/env bash
# package_test.sh BUILD_DIR SOURCE_DIR VERSION
# Packs the build directory with cpack into a Debian package, unpacks it as dpkg would and
# checks what a user gets: the file list, the programs running from the unpacked tree, the
# man pages agreeing with --help, and the launcher entry, file type and software-centre entry
# accepted by the desktop's own validators.
set -euo pipefail
build="$1" source="$2" version="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

deb="quilmar-hk_${version}_$(dpkg --print-architecture).deb"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; exit 1; }
[[ -f "$work/cpack/$deb" ]] || { ls "$work/cpack" >&2; echo "FAIL: no $deb" >&2; exit 1; }
deb="$work/cpack/$deb"

depends="$(dpkg-deb -f "$deb" Depends)"
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6charts6 libqt6svg6; do
  [[ "$depends" == *"$library "* ]] || fail "Depends lacks $library: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -c "$deb" | awk '$NF !~ /\/$/ { sub(/^\.\//, "", $NF); print $NF }' | sort \
  >"$work/files"
app_id="example.quilmar.QuilmarHk"
sort >"$work/expected" <<LIST
usr/bin/quilmar-hk
usr/bin/quilmar-hk-export
usr/bin/quilmar-hk-archive
usr/share/applications/$app_id.desktop
usr/share/doc/quilmar-hk/changelog.gz
usr/share/doc/quilmar-hk/copyright
usr/share/icons/hicolor/128x128/apps/quilmar-hk.png
usr/share/icons/hicolor/16x16/apps/quilmar-hk.png
usr/share/icons/hicolor/256x256/apps/quilmar-hk.png
usr/share/icons/hicolor/32x32/apps/quilmar-hk.png
usr/share/icons/hicolor/48x48/apps/quilmar-hk.png
usr/share/icons/hicolor/64x64/apps/quilmar-hk.png
usr/share/icons/hicolor/scalable/apps/quilmar-hk.svg
usr/share/man/man1/quilmar-hk-export.1.gz
usr/share/man/man1/quilmar-hk-archive.1.gz
usr/share/man/man1/quilmar-hk.1.gz
usr/share/metainfo/$app_id.metainfo.xml
usr/share/quilmar-hk/limits.toml
usr/share/mime/packages/quilmar-kss.xml
usr/lib/systemd/system/quilmar-hk-serve.service
LIST
# The web page's files, whatever they are: each file of the source's serve/site.
(cd "$source/serve/site" && find . -type f | sed 's|^\./|usr/share/quilmar-hk/site/|') \
  >>"$work/expected"
sort -o "$work/expected" "$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "file list differs (- expected, + packed)"

for size in 16 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x$size/apps/quilmar-hk.png"
  [[ "$(file -b "$png")" == "PNG image data, $size x $size, "* ]] ||
    fail "icon $size: $(file -b "$png")"
done

bin="$root/usr/bin"
[[ "$("$bin/quilmar-hk-export" --version)" == "quilmar-hk-export $version" ]] ||
  fail "quilmar-hk-export --version: $("$bin/quilmar-hk-export" --version)"
summary="$("$bin/quilmar-hk-export" --summary "$source/samples/demo.kss")" ||
  fail "quilmar-hk-export --summary exits $?"
[[ "$summary" == *"stored"* ]] || fail "summary of the demo log: $summary"

# Every option --help names must be in the man page, and every option the page names must
# be one --help knows: the two are read by the same users.
for command in quilmar-hk quilmar-hk-export quilmar-hk-archive; do
  help="$(QT_QPA_PLATFORM=offscreen "$bin/$command" --help 2>&1)" || fail "$command --help exits $?"
  page="$(zcat "$root/usr/share/man/man1/$command.1.gz" | sed 's/\\-/-/g')"
  help_options="$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)"
  page_options="$(grep -o -- '--[a-z][a-z-]*' <<<"$page" | sort -u)"
  [[ "$help_options" == "$page_options" ]] ||
    fail "$command: --help and man page options differ:
$(diff <(echo "$help_options") <(echo "$page_options"))"
  [[ "$page" == *"$version"* ]] || fail "$command man page does not name version $version"
done

share="$root/usr/share"
# The unpacked tree stands in for /usr: the desktop looks up data and programs there first.
export XDG_DATA_HOME="$share" XDG_DATA_DIRS="$share:/usr/share" PATH="$bin:$PATH" \
  XDG_CONFIG_HOME="$work/config"
desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli"
xmllint --noout "$share/mime/packages/quilmar-kss.xml" || fail "xmllint of the MIME type"
# What the dpkg triggers of shared-mime-info and desktop-file-utils do on installation.
update-mime-database "$share/mime" || fail "update-mime-database"
update-desktop-database "$share/applications" || fail "update-desktop-database"

# The desktop's own file-type lookup must take a .kss log, whatever the case of its name, to
# the log type and offer the program for it.
cp "$source/samples/demo.kss" "$work/PASS.KSS"
for log in "$source/samples/demo.kss" "$work/PASS.KSS"; do
  type="$(gio info -a standard::content-type "$log" | sed -n 's/^ *standard::content-type: //p')"
  [[ "$type" == application/x-quilmar-kss ]] || fail "$(basename "$log") is taken as '$type'"
done
# Read the whole answer first: grep -q would close the pipe early and pipefail would
# count gio's SIGPIPE as a failure.
handlers="$(gio mime application/x-quilmar-kss)"
grep -q "$app_id.desktop" <<<"$handlers" ||
  fail "no application for application/x-quilmar-kss: $handlers"

((failures == 0)) || exit 1
echo "package test: $(basename "$deb") passed"
