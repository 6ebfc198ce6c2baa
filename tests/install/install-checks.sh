#!/usr/bin/env bash
# The installation and the Debian package, checked as a packager and a user meet them.
#   install-checks.sh CHECK BUILD_DIR SOURCE_DIR WORK_DIR VERSION
# `stage` installs into WORK_DIR/stage (prefix /usr) and `package` makes the .deb in
# WORK_DIR/deb; the other checks read those. Installs keep the build's own install manifest.
set -euo pipefail
check=$1 build=$2 source=$3 work=$4 version=$5
stage=$work/stage
id=io.github.trellick.Trellick
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
manifest=$build/install_manifest.txt
kept=false
cleanup() {
  if $kept; then
    if [ -e "$scratch/manifest" ]; then cp -p "$scratch/manifest" "$manifest"; else rm -f "$manifest"; fi
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# Installs into DESTDIR $1 under prefix $2. The checks that install hold a lock on the build
# folder, and put back the manifest of the developer's own install when they end.
install_into() {
  if ! $kept; then
    [ ! -e "$manifest" ] || cp -p "$manifest" "$scratch/manifest"
    kept=true
  fi
  DESTDIR=$1 cmake --install "$build" --prefix "$2" >/dev/null
}
# Mode and path of every file and link under $1, sorted.
tree() { (cd "$1" && find . ! -type d -printf '%m %P\n' | sort); }
# The option names in the option column of --help, or of the manual page's source.
names() { grep -oE -- '--?[a-zA-Z][a-z-]*' | sort -u; }
help_options() { grep -E '^ +-' | sed -E 's/^ +((-[a-zA-Z], )?--[a-z-]+).*/\1/' | names; }
# The man page source's option entries in the section titled $1.
man_options() {
  awk -v s="# $1" '/^# /{on=($0==s); next} on' "$source/docs/trellick.1.scd" |
    grep -oE '^\*-[^*]+\*(, \*-[^*]+\*)?' | names
}
deb() { echo "$work/deb/trellick_${version}_$(dpkg --print-architecture).deb"; }
fake_udevadm() {
  mkdir -p "$scratch/bin"
  printf '#!/bin/sh\necho "$*" >>"%s/udevadm.log"\n' "$scratch" >"$scratch/bin/udevadm"
  chmod +x "$scratch/bin/udevadm"
}

case $check in
stage)
  rm -rf "$stage"
  install_into "$stage" /usr ;;

tree)
  diff -u "$source/tests/install/expected-tree" <(tree "$stage") || fail "the installed tree differs" ;;

desktop-entry)
  entry=$stage/usr/share/applications/$id.desktop
  desktop-file-validate "$entry" || fail "desktop-file-validate"
  grep -qx 'Categories=.*Utility;.*' "$entry" || fail "not in Utility"
  ! grep -q '^NoDisplay=' "$entry" || fail "NoDisplay set"
  # KWin's window management is offered only to the program an entry names by absolute path.
  grep -qx 'Exec=/usr/bin/trellick' "$entry" || fail "Exec is not the installed program"
  grep -qx 'X-KDE-Wayland-Interfaces=org_kde_plasma_window_management' "$entry" || fail "KWin's interface not named"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -f "$stage/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no installed icon $icon" ;;

metainfo)
  metainfo=$stage/usr/share/metainfo/$id.metainfo.xml
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
  newest=$(xmllint --xpath 'string(//releases/release[1]/@version)' "$metainfo")
  [ "trellick $newest" = "$("$stage/usr/bin/trellick" --version)" ] || fail "newest release $newest is not the binary's"
  launchable=$(xmllint --xpath 'string(//launchable[@type="desktop-id"])' "$metainfo")
  [ -f "$stage/usr/share/applications/$launchable" ] || fail "launchable $launchable is not installed" ;;

man-page)
  MANWIDTH=80 man -l --warnings "$stage/usr/share/man/man1/trellick.1" >"$scratch/out" 2>"$scratch/err"
  [ ! -s "$scratch/err" ] || fail "warnings: $(cat "$scratch/err")"
  [ -s "$scratch/out" ] || fail "nothing rendered" ;;

help-matches-man-page)
  "$stage/usr/bin/trellick" --help >"$scratch/help"
  awk '/^Options:/{on=1; next} /^$/{on=0} on' "$scratch/help" | help_options >"$scratch/help-app"
  awk '/^debug-gestures/{on=1; next} /^$/{on=0} on' "$scratch/help" | help_options >"$scratch/help-debug"
  diff -u <(man_options OPTIONS) "$scratch/help-app" || fail "trellick's options differ (man page -, --help +)"
  diff -u <(man_options "DEBUG-GESTURES OPTIONS") "$scratch/help-debug" ||
    fail "debug-gestures' options differ (man page -, --help +)"
  [ -s "$scratch/help-app" ] && [ -s "$scratch/help-debug" ] || fail "no options found in --help" ;;

udev-rule-is-the-helpers)
  mkdir -p "$scratch/root/usr/bin" && printf '#!/bin/sh\n' >"$scratch/root/usr/bin/udevadm"
  chmod +x "$scratch/root/usr/bin/udevadm"
  # The helper honours the stand-in root only unprivileged: as root, run it as nobody.
  as=()
  if [ "$(id -u)" = 0 ]; then
    chmod 755 "$scratch" && chown -R 65534:65534 "$scratch/root"
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
  fi
  TRELLICK_TOUCHPAD_ACCESS_TEST_ROOT=$scratch/root "${as[@]}" "$stage/usr/libexec/trellick/trellick-touchpad-access" ||
    fail "the helper failed"
  cmp "$scratch/root/etc/udev/rules.d/70-trellick-touchpad.rules" \
    "$stage/usr/lib/udev/rules.d/70-trellick-touchpad.rules" || fail "the shipped rule is not the helper's" ;;

package)
  rm -rf "$work/deb"
  # gzip rather than xz: the same package, made in seconds even from a sanitizer build.
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
    >"$scratch/log" 2>&1 || fail "cpack: $(cat "$scratch/log")"
  [ -f "$(deb)" ] || fail "no $(deb): $(ls "$work/deb")" ;;

package-depends)
  dpkg-deb -x "$(deb)" "$scratch/x"
  depends=$(dpkg-deb -f "$(deb)" Depends)
  # Each library the programs link, as the folder it is loaded from and its name.
  for program in usr/bin/trellick usr/libexec/trellick/trellick-touchpad-access; do
    ldd "$scratch/x/$program" >"$scratch/ldd"
    readelf -d "$scratch/x/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | while read -r soname; do
      path=$(awk -v s="$soname" '$1 == s && $2 == "=>" {print $3} $1 ~ "/" s "$" {print $1}' "$scratch/ldd")
      [ -n "$path" ] || fail "$soname is not found"
      echo "*/$(basename "$(dirname "$path")")/$soname"
    done
  done | sort -u >"$scratch/needed"
  [ -s "$scratch/needed" ] || fail "no libraries found"
  mapfile -t patterns <"$scratch/needed"
  dpkg -S "${patterns[@]}" | cut -d: -f1 | sort -u >"$scratch/owners"
  [ "$(wc -l <"$scratch/owners")" -ge 3 ] || fail "owners: $(cat "$scratch/owners")"
  tr ',|' '\n\n' <<<"$depends" | sed -E 's/^ *([^ ]+).*/\1/' | sort -u >"$scratch/depends"
  missing=$(comm -23 "$scratch/owners" "$scratch/depends")
  [ -z "$missing" ] || fail "Depends lacks $missing: $depends"
  for field in Recommends Suggests; do [ -n "$(dpkg-deb -f "$(deb)" $field)" ] || fail "no $field"; done
  [ "$("$scratch/x/usr/bin/trellick" --version)" = "trellick $version" ] || fail "the packaged program's --version" ;;

package-holds-install-tree)
  dpkg-deb -x "$(deb)" "$scratch/x"
  # Debian's conventions apart (the manual page compressed, the copyright and changelog), the same files.
  diff -u <(tree "$stage" | sed 's|share/man/man1/trellick.1$|&.gz|') \
    <(tree "$scratch/x" | grep -vE ' usr/share/doc/trellick/(copyright|changelog.gz)$') || fail "the package holds other files"
  while read -r _ file; do
    if [ "$(head -c4 "$stage/$file")" = $'\x7fELF' ]; then continue; fi  # stripped in the package
    if [ -f "$scratch/x/$file.gz" ]; then zcat "$scratch/x/$file.gz" >"$scratch/unzipped"; else cp "$scratch/x/$file" "$scratch/unzipped"; fi
    cmp -s "$stage/$file" "$scratch/unzipped" || fail "$file differs"
  done < <(tree "$stage") ;;

package-scripts-tell-udev)
  dpkg-deb -e "$(deb)" "$scratch/control"
  fake_udevadm
  PATH=$scratch/bin:$PATH "$scratch/control/postinst" configure
  grep -qx "control --reload" "$scratch/udevadm.log" || fail "install does not reload udev"
  grep -qx "trigger --action=change --subsystem-match=input --property-match=ID_INPUT_TOUCHPAD=1" \
    "$scratch/udevadm.log" || fail "install does not trigger the touchpads"
  : >"$scratch/udevadm.log"
  PATH=$scratch/bin:$PATH "$scratch/control/postrm" remove
  [ "$(cat "$scratch/udevadm.log")" = "control --reload" ] || fail "removal does not reload udev" ;;

package-purge-removes-granted-rule)
  dpkg-deb -e "$(deb)" "$scratch/control"
  fake_udevadm
  rules=$scratch/root/etc/udev/rules.d/70-trellick-touchpad.rules
  # Into another root (DPKG_ROOT): this system's udev is not that root's, so it is left alone.
  PATH=$scratch/bin:$PATH DPKG_ROOT=$scratch/root "$scratch/control/postinst" configure
  for variant in granted edited; do
    mkdir -p "$(dirname "$rules")"
    cp "$stage/usr/lib/udev/rules.d/70-trellick-touchpad.rules" "$rules"
    [ $variant = granted ] || echo '# mine too' >>"$rules"
    PATH=$scratch/bin:$PATH DPKG_ROOT=$scratch/root "$scratch/control/postrm" remove
    [ -f "$rules" ] || fail "removal (not purge) took the rule"
    PATH=$scratch/bin:$PATH DPKG_ROOT=$scratch/root "$scratch/control/postrm" purge
    if [ $variant = granted ]; then [ ! -e "$rules" ] || fail "purge kept the granted rule"
    else [ -f "$rules" ] || fail "purge removed an edited rule"; fi
  done
  [ ! -e "$scratch/udevadm.log" ] || fail "DPKG_ROOT ignored: $(cat "$scratch/udevadm.log")" ;;

uninstall)
  # Under a prefix of its own (with a space), the policy runs that prefix's helper.
  prefix="/opt/trel lick"
  install_into "$scratch/root" "$prefix"
  helper=$(xmllint --xpath 'string(//annotate[@key="org.freedesktop.policykit.exec.path"])' \
    "$scratch/root$prefix/share/polkit-1/actions/$id.policy")
  [ "$helper" = "$prefix/libexec/trellick/trellick-touchpad-access" ] || fail "the policy runs $helper"
  [ -x "$scratch/root$helper" ] || fail "$helper is not installed"
  # The entry Trellick writes under KWin for this build's program goes too, another build's stays.
  mkdir -p "$scratch/data/applications"
  own=io.github.trellick.Trellick-$(printf %s "$(realpath "$build/src/app/trellick")" | md5sum | cut -c1-8).desktop
  touch "$scratch/data/applications/$own" "$scratch/data/applications/$id-00000000.desktop"
  XDG_DATA_HOME=$scratch/data DESTDIR=$scratch/root cmake --build "$build" --target uninstall >"$scratch/log" 2>&1 ||
    fail "$(cat "$scratch/log")"
  [ -z "$(tree "$scratch/root")" ] || fail "left behind: $(tree "$scratch/root")"
  [ "$(ls "$scratch/data/applications")" = "$id-00000000.desktop" ] || fail "entries: $(ls "$scratch/data/applications")"
  [ ! -e "$scratch/root$prefix/libexec/trellick" ] || fail "left its libexec folder" ;;

*) echo "install-checks.sh: unknown check $check" >&2; exit 2 ;;
esac
