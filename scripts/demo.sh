#!/usr/bin/env bash
# The product in one command: builds the plug-in, the demo engine and plughost
# for Windows, then, under Wine in a prefix of its own, registers the engine,
# installs three named effects of it, shows them, renders audio through each,
# charts the filter's response at three cutoffs, round-trips a preset and takes a screenshot of an editor; then does the same
# install for 64-bit hosts with the 64-bit build, shows those effects and
# renders through one. Everything it makes lands in out/demo/, the demo's
# installer in out/package/ and the engine SDK in out/sdk/. Safe to run
# again: it reuses the prefix and overwrites.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

bash scripts/install-deps.sh
for preset in windows windows64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done

bin="$root/build/windows/bin"
demo="$root/out/demo"
plugins="$demo/plugins"
mkdir -p "$plugins"

export KEL_WINEPREFIX="$demo/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The engine product's registry key name; any GUID of the vendor's will do.
guid="{6B656C62-7269-6467-6520-64656D6F0001}"

stop_wine() { WINEPREFIX="$KEL_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true; }
plughost() { "$root/cmake/wine-run.sh" "$bin/plughost.exe" "$@"; }
step() { printf '\n=== %s\n' "$*"; }

stop_wine
# One 64-bit prefix runs both widths; a 32-bit one left by an older run goes.
if [ -f "$KEL_WINEPREFIX/system.reg" ] && ! grep -q '^#arch=win64' "$KEL_WINEPREFIX/system.reg"; then
  rm -rf "$KEL_WINEPREFIX"
fi
if [ ! -f "$KEL_WINEPREFIX/system.reg" ]; then
  step "Creating the Wine prefix $KEL_WINEPREFIX"
  (unset WINEARCH; "$root/cmake/wine64-run.sh" wineboot -i)
fi

# Registers the engine of one width with that width's plughost, installs the
# three effects from that width's kelbridge.dll and shows them.
register_and_install() {  # plughost-runner bin-folder plug-in-folder step-prefix
  local run="$1" from="$2" into="$3" label="$4"
  step "${label}Registering the demo engine"
  "$run" register --guid "$guid" --engine "$from/kel_demo_engine.dll"

  step "${label}Installing three effects of one engine: copies of kelbridge.dll with their .ini files"
  "$run" install --plugin "$from/kelbridge.dll" --dir "$into" --name DemoGain \
    --guid "$guid" --id DGai --process-index 0
  "$run" install --plugin "$from/kelbridge.dll" --dir "$into" --name DemoFilter \
    --guid "$guid" --id DFil --process-index 1
  "$run" install --plugin "$from/kelbridge.dll" --dir "$into" --name DemoSynth \
    --guid "$guid" --id DSyn --process-index 2 --channels-in 0 --channels-out 2

  for effect in DemoGain DemoFilter DemoSynth; do
    step "${label}plughost info $effect.dll"
    "$run" info "$into/$effect.dll"
  done
}

register_and_install plughost "$bin" "$plugins" ""

step "Rendering a 440 Hz sine through DemoGain at -6.0 dB"
plughost render "$plugins/DemoGain.dll" --generate sine --seconds 2 --set Gain=0.75 \
  --out "$demo/gain.wav"

step "Rendering white noise through DemoFilter (resonant lowpass)"
plughost render "$plugins/DemoFilter.dll" --generate noise --seconds 2 \
  --set Cutoff=0.45 --set Resonance=0.6 --out "$demo/filter.wav"

step "Measuring DemoFilter's response at three cutoffs (chart and CSV)"
plughost analyze "$plugins/DemoFilter.dll" --set Resonance=0 --compare Cutoff=200Hz,1kHz,5kHz \
  --png "$demo/filter-response.png" --csv "$demo/filter-response.csv"

step "Playing a few MIDI notes on DemoSynth"
plughost render "$plugins/DemoSynth.dll" --generate silence --seconds 3 \
  --note 60@0.0-0.45 --note 64@0.5-0.95 --note 67@1.0-1.45 --note 72:110@1.5-2.4 \
  --note 60:80@1.5-2.4 --out "$demo/synth.wav"

step "Saving a DemoFilter preset with changed settings, loading it into a fresh instance"
plughost preset save "$plugins/DemoFilter.dll" "$demo/filter-highpass.fxp" \
  --set Cutoff=0.2 --set Type=0.5
plughost preset load "$plugins/DemoFilter.dll" "$demo/filter-highpass.fxp"

step "Opening the DemoSynth editor under a virtual display for a screenshot"
stop_wine  # the editor's Wine processes must start with the display
xvfb-run -a bash -c '"$1" "$2" edit "$3" --screenshot "$4" --seconds 2; status=$?
  WINEPREFIX="$KEL_WINEPREFIX" wineserver -k >/dev/null 2>&1; exit $status' \
  _ "$root/cmake/wine-run.sh" "$bin/plughost.exe" "$plugins/DemoSynth.dll" "$demo/editor.png"
stop_wine

# The same effects for 64-bit hosts: the 64-bit plughost writes the 64-bit
# registry view, where 64-bit copies of the plug-in look up the same GUID.
bin64="$root/build/windows64/bin"
plugins64="$demo/plugins64"
mkdir -p "$plugins64"
plughost64() { "$root/cmake/wine64-run.sh" "$bin64/plughost.exe" "$@"; }

# The same GUID: 64-bit copies of the plug-in look it up in the 64-bit view.
register_and_install plughost64 "$bin64" "$plugins64" "64-bit: "

step "64-bit: rendering white noise through DemoFilter"
plughost64 render "$plugins64/DemoFilter.dll" --generate noise --seconds 2 \
  --set Cutoff=0.45 --set Resonance=0.6 --out "$demo/filter64.wav"
stop_wine

step "Done. Outputs in $demo:"
echo "  plugins/            DemoGain, DemoFilter, DemoSynth (.dll + .ini)"
echo "  gain.wav            sine through DemoGain"
echo "  filter.wav          noise through DemoFilter"
echo "  filter-response.png DemoFilter's magnitude response at 200 Hz, 1 kHz and 5 kHz"
echo "  filter-response.csv the same curves as numbers (dB per frequency)"
echo "  synth.wav           MIDI notes played by DemoSynth"
echo "  filter-highpass.fxp DemoFilter preset"
echo "  editor.png          screenshot of the DemoSynth editor"
echo "  plugins64/          the three effects for 64-bit hosts (.dll + .ini)"
echo "  filter64.wav        noise through the 64-bit DemoFilter"
echo "  wineprefix/         the Wine prefix with the engine's registry entry"

# The demo product's Windows installer (docs/packaging.md).
step "Building the demo installer from packaging/demo-product.ini"
# Both widths are built above.
bash "$root/scripts/package.sh" --no-build "$root/packaging/demo-product.ini"
echo "  out/package/KelDemo-1.0.0-setup.exe: installs DemoGain, DemoFilter, DemoSynth and the engine"
echo "  on Windows (double-click, or /S for a silent install)"

# The engine SDK for vendors, from the same builds (docs/engine-guide.md).
step "Building the engine SDK"
bash "$root/scripts/sdk.sh" --no-build
