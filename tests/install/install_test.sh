#!/usr/bin/env bash
# Installs the built game into a temporary DESTDIR and checks the installed tree file by file,
# validates the desktop entry and the AppStream metainfo, then builds the Debian package and
# checks its contents, its library dependencies, its copyright file and that lintian finds no
# error and no warning in it.
# Usage: install_test.sh <build folder> [--full-game]
# --full-game also requires Depends to name the packages of the libraries the complete game
# draws, plays and reads with; without it only what the executable links today is checked.
set -euo pipefail
build=$(cd "$1" && pwd)
build_source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
full_game=0
[ "${2:-}" = --full-game ] && full_game=1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

app_id=com.torvelin.cratevale
game=usr/lib/games/cratevale
icon_sizes=(48 64 128 256)
expected_files=(
  "$game/cratevale" "$game/Cratevale.data" "$game/Cratevale.maps" "$game/Cratevale.languages"
  usr/games/cratevale
  "usr/share/applications/$app_id.desktop"
  "usr/share/metainfo/$app_id.metainfo.xml"
  usr/share/man/man6/cratevale.6.gz
  usr/share/doc/cratevale/copyright usr/share/doc/cratevale/changelog.gz
)
for size in "${icon_sizes[@]}"; do
  expected_files+=("usr/share/icons/hicolor/${size}x${size}/apps/cratevale.png")
done

# Width and height of a PNG from its header.
png_size() {
  local bytes
  bytes=$(od -An -tu1 -j16 -N8 "$1" | tr -s ' \n' ' ')
  read -r w1 w2 w3 w4 h1 h2 h3 h4 <<<"$bytes"
  echo "$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))x$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))"
}

# Checks one installed tree (from cmake --install or from the package) against the layout.
check_tree() {
  local root=$1 what=$2
  local actual expected
  actual=$(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
  expected=$(printf '%s\n' "${expected_files[@]}" | sort)
  if [ "$actual" != "$expected" ]; then
    fail "$what: installed files differ from the layout"
    diff <(echo "$expected") <(echo "$actual") >&2 || true
  fi
  [ -x "$root/$game/cratevale" ] && [ ! -L "$root/$game/cratevale" ] ||
    fail "$what: the executable is missing or not executable"
  local link="$root/usr/games/cratevale"
  if [ ! -L "$link" ]; then
    fail "$what: usr/games/cratevale is not a symbolic link"
  else
    [ "$(readlink "$link")" = "../lib/games/cratevale/cratevale" ] ||
      fail "$what: usr/games/cratevale points to '$(readlink "$link")'"
    [ "$(readlink -f "$link")" = "$(readlink -f "$root/$game/cratevale")" ] ||
      fail "$what: usr/games/cratevale does not lead to the executable"
  fi
  for size in "${icon_sizes[@]}"; do
    local icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/cratevale.png"
    [ -f "$icon" ] || continue
    [ "$(png_size "$icon")" = "${size}x${size}" ] ||
      fail "$what: the ${size}px icon is $(png_size "$icon")"
  done
}

# 1. Install into a temporary DESTDIR.
root="$tmp/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log" >&2; fail "cmake --install failed"; exit 1; }
check_tree "$root" "install"

# The packs are the built ones, unchanged.
pack_dir=$(sed -n 's/^CRATEVALE_PACK_DIR:PATH=//p' "$build/CMakeCache.txt")
for pack in Cratevale.data Cratevale.maps Cratevale.languages; do
  cmp -s "$pack_dir/$pack" "$root/$game/$pack" || fail "installed $pack differs from the built one"
done

# The icons are tiles on a see-through ground: clear corners, an opaque middle.
alpha_at() {  # alpha (0-255) of pixel x, y of a PNG
  pngtopnm -alpha "$1" | pamcut -left "$2" -top "$3" -width 1 -height 1 | pnmtoplainpnm |
    tail -n 1 | tr -d ' '
}
for size in "${icon_sizes[@]}"; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/cratevale.png"
  [ "$(alpha_at "$icon" 0 0)" = 0 ] && [ "$(alpha_at "$icon" $((size - 1)) $((size - 1)))" = 0 ] ||
    fail "the ${size}px icon's corners are not see-through"
  [ "$(alpha_at "$icon" $((size / 2)) $((size / 2)))" = 255 ] ||
    fail "the ${size}px icon's middle is not opaque"
done

# The icons come out of the icon tool byte for byte the same on every run.
"$build/icon" "$tmp/icons-again" "${icon_sizes[@]}"
for size in "${icon_sizes[@]}"; do
  cmp -s "$tmp/icons-again/${size}x${size}/apps/cratevale.png" \
    "$root/usr/share/icons/hicolor/${size}x${size}/apps/cratevale.png" ||
    fail "the ${size}px icon is not reproducible"
done

# 2. The desktop entry and the metainfo pass their validators; the manual page formats cleanly.
desktop="$root/usr/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
grep -qx 'Categories=Game;LogicGame;' "$desktop" || fail "the desktop entry's categories"
grep -qx 'Exec=cratevale' "$desktop" || fail "the desktop entry does not start cratevale"
grep -qx 'Icon=cratevale' "$desktop" || fail "the desktop entry does not name the icon"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
grep -q '<content_rating type="oars-1.1"' "$metainfo" || fail "the metainfo has no content rating"
grep -q 'docs/screenshot-menu.png</image>' "$metainfo" || fail "the metainfo has no menu screenshot"
grep -q 'docs/screenshot-level.png</image>' "$metainfo" || fail "the metainfo has no level screenshot"
grep -qF '<project_license>MIT AND CC-BY-4.0</project_license>' "$metainfo" ||
  fail "the metainfo does not name the code's and the content's licences"
man_warnings=$(zcat "$root/usr/share/man/man6/cratevale.6.gz" | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$man_warnings" ] || fail "groff warns about the manual page: $man_warnings"
manual=$(zcat "$root/usr/share/man/man6/cratevale.6.gz" | groff -man -Tutf8 -rLL=200n -rHY=0 -P-cbou)
for word in /LOG --help --version Cratevale.prefs Cratevale.scores "Log YYYY-MM-DD--hh-mm-ss.log" \
  "Cratevale DD-MM-YYYY hh-mm-ss.png" Return Escape "Arrow keys"; do
  grep -qF -- "$word" <<<"$manual" || fail "the manual page does not mention $word"
done

# 3. The Debian package, made as a packager makes it (lintian rejects an uncompressed one).
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/package" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack failed"; exit 1; }
debs=("$tmp"/package/cratevale_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { fail "cpack made no cratevale_*.deb"; exit 1; }
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Package)" = cratevale ] || fail "the package is not named cratevale"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "the package is not for amd64"
listing=$(dpkg-deb -c "$deb")
for file in "${expected_files[@]}"; do
  grep -qE " \./$file( -> |$)" <<<"$listing" || fail "the package lacks $file"
done
grep -qF "./usr/games/cratevale -> ../lib/games/cratevale/cratevale" <<<"$listing" ||
  fail "the package's usr/games/cratevale is not the relative link"
depends=$(dpkg-deb -f "$deb" Depends)
depends_names=$(sed 's/([^)]*)//g; s/|/,/g' <<<"$depends" | tr ',' '\n' | tr -d ' ')
names_package() { grep -qxF "$1" <<<"$depends_names"; }
# Every shared library the executable names itself (not those its libraries pull in) belongs to a
# package named in Depends.
package_of() {
  local path=$1 candidate
  for candidate in "$path" "$(readlink -f "$path")"; do
    for variant in "$candidate" "/usr${candidate#/usr}" "${candidate#/usr}"; do
      dpkg -S "$variant" 2>/dev/null | head -n 1 | cut -d: -f1 && return 0
    done
  done
  return 1
}
direct=$(readelf -d "$root/$game/cratevale" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
needed=0
while read -r soname path; do
  grep -qxF "$soname" <<<"$direct" || continue
  needed=$((needed + 1))
  package=$(package_of "$path") || { fail "no Debian package holds $soname ($path)"; continue; }
  names_package "$package" || fail "Depends does not name $package (for $soname): $depends"
done < <(ldd "$root/$game/cratevale" | awk '$2 == "=>" && $3 ~ /^\// {print $1, $3}')
[ "$needed" -gt 0 ] || fail "ldd found no libraries in the installed executable"
required=(libc6 libstdc++6)
if [ "$full_game" = 1 ]; then
  # The whole game draws, plays sound and reads its packs through these libraries.
  required+=(libgtk-3-0 libsdl1.2debian libpng16-16 libarchive13 libvorbisfile3 libcairo2
    libpango-1.0-0 libx11-6 libgl1 libglu1-mesa libxrandr2)
fi
for package in "${required[@]}"; do
  names_package "$package" || fail "Depends does not name $package: $depends"
done
dpkg-deb -x "$deb" "$tmp/unpacked"
check_tree "$tmp/unpacked" "package"

# The installed command answers --version with the package's version, without a display.
version=$(dpkg-deb -f "$deb" Version)
answer=$(cd "$tmp" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$tmp/no-home" \
  "$tmp/unpacked/usr/games/cratevale" --version) || fail "cratevale --version failed"
[ "$answer" = "Cratevale $version" ] || fail "cratevale --version says '$answer', the package is $version"
[ ! -e "$tmp/no-home" ] || fail "cratevale --version wrote into HOME"

# 4. The copyright file is in the machine-readable format and carries the repository's licence
# texts in full; the changelog is the package's.
copyright="$tmp/unpacked/usr/share/doc/cratevale/copyright"
head -n 1 "$copyright" | grep -qxF \
  'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file does not declare the machine-readable format"
# The text of one stand-alone License paragraph, unfolded back into plain lines.
license_paragraph() {
  awk -v name="$1" '
    paragraph_start && $0 == "License: " name { inside = 1; paragraph_start = 0; next }
    { paragraph_start = ($0 == "") }
    /^[^ ]/ || /^$/ { inside = 0 }
    inside { line = substr($0, 2); print (line == "." ? "" : line) }' "$copyright"
}
[ "$(license_paragraph Expat)" = "$(sed -n '/^Permission is hereby granted/,$p' "$build_source/LICENSE")" ] ||
  fail "the copyright file's Expat text differs from the MIT text in LICENSE"
[ "$(license_paragraph CC-BY-4.0)" = \
  "$(sed -n '/^Creative Commons Attribution 4.0 International Public License$/,$p' "$build_source/data/LICENSE")" ] ||
  fail "the copyright file's CC-BY-4.0 text differs from data/LICENSE"
grep -q 'Section 8 -- Interpretation' "$copyright" || fail "the CC-BY-4.0 text is not complete"
grep -qx 'Files: data/\*' "$copyright" || fail "the copyright file does not cover data/"
grep -qx 'Copyright: 2026 Torvelin game studio' "$copyright" || fail "the copyright file's notice"
changelog_head=$(zcat "$tmp/unpacked/usr/share/doc/cratevale/changelog.gz" | head -n 1)
[[ "$changelog_head" == "cratevale ($version) "* ]] ||
  fail "the changelog's latest entry is not for $version: $changelog_head"
[[ "$(dpkg-deb -f "$deb" Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^@\>]+\>$ ]] ||
  fail "the maintainer has no contact address: $(dpkg-deb -f "$deb" Maintainer)"

# 5. lintian accepts the package: no error and no warning (informational tags are shown).
if ! lintian_output=$(lintian --display-info --fail-on error,warning "$deb" 2>&1) ||
  grep -qE '^[EW]: ' <<<"$lintian_output"; then
  fail "lintian reports errors or warnings"
fi
lintian_output=$(grep -vxF 'running with root privileges is not recommended!' <<<"$lintian_output" || true)
[ -z "$lintian_output" ] || { echo "lintian:"; echo "$lintian_output"; }

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install layout, validators and package: all checks passed"
