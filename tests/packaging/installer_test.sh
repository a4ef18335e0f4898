#!/usr/bin/env bash
# The demo product's installer, built by scripts/package.sh from one build's
# plug-in and engine and run under Wine in a fresh prefix: a silent install
# whose effects load with their engine in plughost, a silent uninstall that
# leaves nothing behind, an upgrade (the same installer twice) followed by an
# uninstall that leaves nothing either; and package.sh refusing bad product
# files with one exact line and no installer.
#   installer_test.sh <source dir> <bin dir of the build> <its width: 32 or 64>
# Exits 77 (skipped) when makensis is missing.
set -uo pipefail
src="$1"
bin="$2"
width="$3"

if ! command -v makensis >/dev/null; then
  echo "SKIPPED: makensis is not installed (Debian package nsis; scripts/install-deps.sh installs it)"
  exit 77
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/kel-installer-test.XXXXXX")"
prefix="$work/prefix"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The other width's plug-in never exists here.
other=$((96 - width))
package() {
  bash "$src/scripts/package.sh" "--bin$width" "$bin" "--bin$other" "$work/no_build" \
    --out "$work/out" "$@"
}

# --- Bad product files: one exact line naming the field, no installer. -------
# The demo product of this width alone, with the engine of this build.
sed "s#^Widths=.*#Widths=$width#; s#^Engine$width=.*#Engine$width=$bin/kel_demo_engine.dll#" \
  "$src/packaging/demo-product.ini" > "$work/good.ini"
bad_case() {  # sed-script expected-line
  sed "$1" "$work/good.ini" > "$work/bad.ini"
  local err status
  err="$(package "$work/bad.ini" 2>&1 >/dev/null)"
  status=$?
  [ "$status" -ne 0 ] || fail "bad product ($1): exit status 0"
  [ "$err" = "package.sh: error: $work/bad.ini: $2" ] ||
    fail "bad product ($1): expected '$2', got '$err'"
  [ -z "$(ls -A "$work/out" 2>/dev/null)" ] || fail "bad product ($1): files written: $(ls "$work/out")"
}
bad_case '/^Vendor=/d' '[Product] Vendor is missing'
bad_case '/^ChannelsIn=0/d' '[Effect3] ChannelsIn is missing'
bad_case 's/^Name=DemoFilter/Name=demogain/' '[Effect2] Name "demogain" is used by [Effect1] too'
bad_case 's/^ID=DSyn/ID=1145465196/' "[Effect3] ID 1145465196 ('DFil') is used by [Effect2] too"
bad_case 's/^Name=DemoSynth/Name=Demo|Synth/' \
  '[Effect3] Name "Demo|Synth" is not a valid file name: it contains |'
bad_case 's/^Name=DemoSynth/Name=AUX/' \
  '[Effect3] Name "AUX" is not a valid file name: Windows reserves it for a device'
bad_case "s#^Engine$width=.*#Engine$width=$work/no_engine.dll#" \
  "[Product] Engine$width \"$work/no_engine.dll\" does not exist (looked for $work/no_engine.dll)"
long_vendor="$(printf 'V%.0s' {1..64})"
bad_case "s/^Vendor=.*/Vendor=$long_vendor/" "[Product] Vendor \"$long_vendor\" is longer than 63 characters"
bad_case 's/^VendorVersion=.*/VendorVersion=1.0/' \
  '[Product] VendorVersion "1.0" must be a whole number from 0 to 2147483647'
bad_case 's/^GUID=.*/GUID=6B656C62/' \
  '[Product] GUID "6B656C62" is not a GUID in braces like {6B656C62-7269-6467-6520-64656D6F0001}'
# Names that are NSIS syntax ($, quotes, braces) are only text to the installer.
sed 's/^Vendor=.*/Vendor=Ca$h ${X} Audio/; s/^Product=.*/Product=Kel $R0 '"'"'Demo'"'"'/; s/^Name=DemoGain/Name=Gain $$ 1/' \
  "$work/good.ini" > "$work/odd.ini"
package "$work/odd.ini" >/dev/null && [ -f "$work/out/Kel \$R0 'Demo'-1.0.0-setup.exe" ] ||
  fail "no installer for names with \$, braces and quotes: $(ls "$work/out")"
rm -rf "$work/out"
# A product of one effect, in the singular.
awk '/^\[Effect2\]/ { exit } { print }' "$work/good.ini" > "$work/one.ini"
line="$(package "$work/one.ini")"
[ "$line" = "Built $work/out/KelDemo-1.0.0-setup.exe: Velmora KelDemo 1.0.0, 1 effect, $width-bit" ] ||
  fail "one effect: '$line'"
rm -rf "$work/out"
# A product whose engine another installer ships.
sed '/^Engine/d' "$work/good.ini" > "$work/no_engine.ini"
package "$work/no_engine.ini" >/dev/null || fail "no installer for a product without engine"
rm -rf "$work/out"
bad_case 's/^Widths=.*/Widths=32,64/' \
  "[Product] Widths includes $other, but the $other-bit plug-in $work/no_build/kelbridge.dll does not exist (build the windows${other/32/} preset)"

# --- The demo installer under Wine. -------------------------------------------
booted="${KEL_WINEPREFIX:-${TMPDIR:-/tmp}/kelbridge-wine-$(id -u)}"
wine_run() { KEL_WINEPREFIX="$prefix" "$src/cmake/wine-run.sh" "$@"; }
# Waits until every program of the prefix has ended (the uninstaller runs
# from a copy of itself) and the registry is saved.
wine_settle() { WINEPREFIX="$prefix" wineserver -w; }
# The value lines of one key in the saved registry; the key as written in
# Windows, with single backslashes.
reg_key() {
  local header="[${1//\\/\\\\}]"
  tr -d '\r' < "$prefix/system.reg" | HEADER="${header,,}" awk '
    /^\[/ { line = $0; sub(/\] [0-9]+$/, "]", line); inside = tolower(line) == ENVIRON["HEADER"]; next }
    inside && NF'
}
guid="{6B656C62-7269-6467-6520-64656D6F0001}"

# Everything the installer may touch: files outside Wine's own folders, and
# the registry keys of the engine and of the product's uninstall entry.
state() {
  wine_settle
  (cd "$prefix/drive_c" && find . -path ./windows -prune -o -path ./users -prune -o -print | sort)
  tr -d '\r' < "$prefix/system.reg" | awk '
    /^\[/ { keep = tolower($0) ~ /\\\\kel(\\\\|\])|uninstall\\\\velmora keldemo/; sub(/\] [0-9]+$/, "]") }
    keep && !/^#time/'
}

# The uninstaller runs from a copy of itself in the user's Temp folder, which
# it must not leave there.
expect_no_uninstaller_copy() {
  wine_settle
  local copies
  copies="$(find "$prefix/drive_c/users" -name '~nsu*' 2>/dev/null)"
  [ -z "$copies" ] || fail "$width: the uninstaller's copy stays: $copies"
}

# The files, the engine key and the uninstall entry of one installation.
expect_installed() {  # plug-in folder, Unix and Windows
  local dir="$1" win="$2" effect
  for effect in DemoGain DemoFilter DemoSynth; do
    cmp -s "$wbin/kelbridge.dll" "$dir/$effect.dll" || fail "$width: $dir/$effect.dll is not kelbridge.dll"
  done
  printf '[KEL]\r\nGUID=%s\r\nChannelsIn=0\r\nChannelsOut=2\r\nID=1146321262\r\nProcessIndex=2\r\n\r\n[VST]\r\nName=DemoSynth\r\nVendor=Velmora\r\nVendorVersion=10000\r\n' \
    "$guid" | cmp -s - "$dir/DemoSynth.ini" || fail "$width: DemoSynth.ini: $(cat "$dir/DemoSynth.ini")"
  cmp -s "$wbin/kel_demo_engine.dll" "$app_dir/$arch/kel_demo_engine.dll" ||
    fail "$width: engine not installed"
  wine_settle
  local wow="" software=Software
  [ -d "$prefix/drive_c/windows/syswow64" ] && wow='\Wow6432Node'  # 64-bit Wine: 32-bit programs' view
  [ "$width" = 32 ] && software="Software$wow"
  local uninstall="Software$wow\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora KelDemo"
  local engine="$app\\$arch\\kel_demo_engine.dll"
  [[ "$(reg_key "$software\\KEL\\$guid")" == *"\"PathName\"=\"${engine//\\/\\\\}\""* ]] ||
    fail "$width: engine key not written"
  [[ "$(reg_key "$uninstall")" == *"\"InstallLocation\"=\"${app//\\/\\\\}\""* ]] ||
    fail "$width: no uninstall entry"
  [[ "$(reg_key "$uninstall")" == *"\"PluginFolder$width\"=\"${win//\\/\\\\}\""* ]] ||
    fail "$width: plug-in folder not recorded"
}

# Each effect loads with its engine: its identity from the .ini file and the
# flags and parameters only a loaded engine gives (an unloaded effect shows
# flags 0 and 1 parameter).
expect_loaded() {  # Windows plug-in folder
  local effect id flags params out line
  while read -r effect id flags params; do
    out="$(wine_run "$wbin/plughost.exe" info "$1\\$effect.dll" 2>&1 | tr -d '\r')"
    for line in "Effect:     $effect" "Unique ID:  $id" "Flags:      $flags (" \
                "Program:    Default" "Parameters: $params"; do
      [[ "$out" == *"$line"* ]] || fail "$width: plughost info $effect: no '$line' in: $out"
    done
  done <<'EOF'
DemoGain 1145528681 57 2
DemoFilter 1145465196 57 3
DemoSynth 1146321262 313 4
EOF
}

test_width() {  # 32 or 64, bin folder: the demo product with that width alone
  width="$1" wbin="$2" arch=x86
  [ "$width" = 64 ] && arch=x64
  sed "s#^Widths=.*#Widths=$width#; s#^Engine$width=.*#Engine$width=$wbin/kel_demo_engine.dll#" \
    "$src/packaging/demo-product.ini" > "$work/demo$width.ini"
  rm -rf "$work/out"
  package "$work/demo$width.ini" >/dev/null || { fail "$width: package.sh failed"; return; }
  local setup="$work/out/KelDemo-1.0.0-setup.exe"

  # A fresh prefix: a copy of the one this test run booted. Hard links for
  # Wine's own files, which nothing here changes; real copies of the registry
  # files, which Wine rewrites in place.
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  rm -rf "$prefix"
  cp -al "$booted" "$prefix" 2>/dev/null || cp -a "$booted" "$prefix" || { fail "no prefix"; return; }
  local file
  for file in "$booted"/*.reg "$booted"/.update-timestamp; do
    [ -f "$file" ] && cp --remove-destination "$file" "$prefix/${file##*/}"
  done
  # Copies an uninstaller of an earlier run left behind are not this run's.
  find "$prefix/drive_c/users" -name '~nsu*' -prune -exec rm -rf {} + 2>/dev/null
  programs="C:\\Program Files" programs_dir="$prefix/drive_c/Program Files"
  if [ "$width" = 32 ] && [ -d "$prefix/drive_c/Program Files (x86)" ]; then  # 64-bit Wine
    programs="C:\\Program Files (x86)" programs_dir="$prefix/drive_c/Program Files (x86)"
  fi
  app="$programs\\Velmora\\KelDemo" app_dir="$programs_dir/Velmora/KelDemo"
  local before
  before="$(state)"

  # Install silently into the default folder, load, uninstall.
  wine_run "$setup" /S || fail "$width: silent install failed"
  wine_settle
  expect_installed "$programs_dir/VstPlugins" "$programs\\VstPlugins"
  expect_loaded "$programs\\VstPlugins"
  wine_run "$app\\Uninstall.exe" /S || fail "$width: uninstaller failed"
  [ "$(state)" = "$before" ] ||
    fail "$width: left behind after uninstalling: $(diff <(echo "$before") <(state))"
  expect_no_uninstaller_copy

  # An engine registered before (by another installer, say): its path is
  # replaced while installed and put back when uninstalled.
  wine_run reg add "HKLM\\Software\\KEL\\$guid" /v PathName /d 'C:\Old\kel_demo_engine.dll' \
    "/reg:$width" /f >/dev/null || fail "$width: cannot register an engine"
  before="$(state)"

  # Install twice into a folder of the user's choice (an upgrade), uninstall.
  wine_run "$setup" /S '/D=C:\Audio\Plugins' || fail "$width: install into C:\\Audio\\Plugins failed"
  wine_run "$setup" /S '/D=C:\Audio\Plugins' || fail "$width: upgrade failed"
  wine_settle
  expect_installed "$prefix/drive_c/Audio/Plugins" 'C:\Audio\Plugins'
  wine_run "$app\\Uninstall.exe" /S || fail "$width: uninstaller failed"
  [ "$(state)" = "$before" ] ||
    fail "$width: left behind after upgrading and uninstalling: $(diff <(echo "$before") <(state))"

  # A folder with a space, which Wine hands over in quotes; and folders that
  # are no full path, refused with status 2 before anything is written.
  wine_run "$setup" /S '/D=C:\Audio\VST Plugins' || fail "$width: install into 'C:\Audio\VST Plugins' failed"
  wine_settle
  expect_installed "$prefix/drive_c/Audio/VST Plugins" 'C:\Audio\VST Plugins'
  wine_run "$app\\Uninstall.exe" /S || fail "$width: uninstaller failed"
  [ "$(state)" = "$before" ] ||
    fail "$width: left behind after a folder with a space: $(diff <(echo "$before") <(state))"
  expect_no_uninstaller_copy
  local bad status
  for bad in 'Audio\Plugins' 'C:Audio' 'C:\Au<dio' 'C:\Audio\a:b' '\\'; do
    wine_run "$setup" /S "/D=$bad"
    status=$?
    [ "$status" = 2 ] || fail "$width: /D=$bad: exit status $status, not 2"
    [ "$(state)" = "$before" ] || fail "$width: /D=$bad: written: $(diff <(echo "$before") <(state))"
  done
}

test_width "$width" "$bin"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "installer: built, installed, loaded, uninstalled and upgraded cleanly"
