#!/usr/bin/env python3
"""kelbridge in a host nobody on the team wrote: Debian's 32-bit LMMS.

In a throwaway 32-bit Wine prefix the demo engine is registered and DemoGain,
DemoFilter and DemoSynth are installed with our own plughost; plughost also
saves each effect's program at non-default settings, and the chunk of that
program goes into the LMMS project, which LMMS hands to the plug-in when it
loads. LMMS then renders two projects headless: one plays a known signal
through DemoGain and DemoFilter and then a note on DemoSynth (through LMMS's
instrument host, VeSTige), one plays the signal dry. The effect's share of
the render (effect render minus dry render, in dB per test tone) must match
the settings: DemoGain's gain within 0.01 dB, DemoFilter's level at two tones
within 0.5 dB of the filter's design; DemoSynth's note must have the stored
waveform and volume and end. A dry, silent or missing render fails, and so
does an LMMS that crashes, reports a crash of the plug-in, or runs past its
time.

    lmms_real_host_test.py --bin build/windows/bin [--keep]

Exits 0 when every check passes, 1 when one fails (one FAIL line each),
2 on a usage error.
"""

import argparse
import base64
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

# No __pycache__ in the source tree for the two modules beside this file.
sys.dont_write_bytecode = True
import audio_measure  # noqa: E402
import lmms_project  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "cmake", "wine-run.sh")
# The part of Debian's lmms-vst-server:i386 that hosts Windows plug-ins.
VST_SERVER = "/usr/lib/i386-linux-gnu/lmms/RemoteVstPlugin.exe.so"
INSTALL_HINT = "install lmms:i386 and lmms-vst-server:i386 (bash scripts/install-deps.sh does)"

GUID = "{6B656C62-7269-6467-6520-64656D6F0001}"
# The whole test, set-up of the prefix included, must end well inside the
# 90 s we promise; every step gets what is left of this.
BUDGET_SECONDS = 80
# A render takes 1 to 15 s here; a plug-in that hangs LMMS is stopped after
# this.
RENDER_SECONDS = 30
# What Wine prints when a program of the prefix, the plug-in's host process
# among them, crashes. LMMS may then wait for the plug-in forever.
CRASH_MARKS = ("Unhandled page fault", "Unhandled exception")

RATE = 44100
SIGNAL_SECONDS = 2
# Measured from 0.5 s to 1.5 s: the filter has settled and any latency of the
# plug-in's path in LMMS (a block or two) stays inside the signal.
WINDOW_START, WINDOW_FRAMES = RATE // 2, RATE

GAIN_TONE_HZ, GAIN_AMPLITUDE = 1000, 0.25
GAIN_SETTING_DB = -7.3
GAIN_TOLERANCE_DB = 0.01

# A resonant lowpass: at its cutoff it lifts by about 11.5 dB, an octave and a
# half above it cuts by about 20 dB; dry, both read 0 dB.
FILTER_TYPE, FILTER_CUTOFF_HZ, FILTER_RESONANCE = "Lowpass", 2000, 50
FILTER_TONES_HZ, FILTER_AMPLITUDE = (2000, 6000), 0.1
FILTER_TOLERANCE_DB = 0.5
# The dry render must carry every tone well above noise.
REFERENCE_FLOOR_DB = -40.0

# DemoSynth through LMMS's instrument host, VeSTige, after the other tracks
# end: a sine (the default is a sawtooth) at the note's pitch, at the stored
# volume (the default is -12 dB), which ends with the note. LMMS sends a
# note of volume 100 as velocity 63, which the synth plays 6.09 dB down.
SYNTH_KEY, SYNTH_HZ = 69, 440
SYNTH_NOTE_START, SYNTH_NOTE_SECONDS = 2.25, 1.0
SYNTH_VOLUME_DB = -3.0
SYNTH_LEVEL_DB = SYNTH_VOLUME_DB + 20.0 * math.log10(63.0 / 127.0)
SYNTH_TOLERANCE_DB = 0.1
# Display texts with their units: a plain number from 0 to 1 would be taken as
# a normalised value.
SYNTH_SETTINGS = ["Waveform=Sine", "Volume=%.0fdB" % SYNTH_VOLUME_DB, "Attack=1ms",
                  "Release=20ms"]
SYNTH_WINDOW = (int(2.5 * RATE), RATE // 2)
SYNTH_AFTER_WINDOW = (int(3.5 * RATE), RATE // 4)
# A sawtooth's second harmonic is 6 dB under its fundamental, a square's third
# 9.5 dB, a triangle's third 19 dB.
SYNTH_HARMONICS_BELOW_DB = 40.0
SYNTH_RELEASED_BELOW_DB = 60.0


class Failure(Exception):
    pass


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class Session:
    """The scratch folder, the private display and the Wine prefix of one
    run, and the clock every step runs against."""

    def __init__(self, bin_dir, work):
        self.bin_dir = bin_dir
        self.work = work
        self.deadline = time.monotonic() + BUDGET_SECONDS
        self.prefix = os.path.join(work, "prefix")
        self.xvfb = None
        self.env = dict(os.environ)
        home = os.path.join(work, "home")  # LMMS writes ~/.lmmsrc.xml
        os.makedirs(home)
        self.env.update(HOME=home, WINEPREFIX=self.prefix, KEL_WINEPREFIX=self.prefix,
                        WINEARCH="win32", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)

    def left(self):
        return self.deadline - time.monotonic()

    def start_display(self):
        """A private Xvfb; the display number comes back through a pipe, so
        runs beside each other never race for one. Wine's server must start
        with the display for the plug-in's window to open."""
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
             "1024x768x24"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        number = b""
        limit = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < limit:
            part = os.read(read_end, 16)
            if not part:
                break
            number += part
        os.close(read_end)
        if not number.strip().isdigit():
            raise Failure("Xvfb gave no display number")
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def run(self, name, argv, limit, watch_crashes=False):
        """Runs `argv` in a process group of its own with its output in
        NAME.log; fails on a non-zero exit, on a crash mark in the output
        (stopping the group at once) and past `limit` seconds or the budget.
        The log is a file, not a pipe: Wine's server inherits the program's
        descriptors and would hold a pipe open after the program ends."""
        log_path = os.path.join(self.work, name + ".log")
        limit = min(limit, self.left())
        if limit <= 0:
            raise Failure("%s: no time left of the %d s budget" % (name, BUDGET_SECONDS))
        started = time.monotonic()
        with open(log_path, "wb") as log:
            process = subprocess.Popen(argv, env=self.env, cwd=self.work, stdin=subprocess.DEVNULL,
                                       stdout=log, stderr=subprocess.STDOUT,
                                       start_new_session=True)
        end = time.monotonic() + limit
        problem = None
        while process.poll() is None:
            if time.monotonic() > end:
                problem = "still running after %.0f s" % limit
                break
            if watch_crashes:
                crash = _crash_line(log_path)
                if crash:
                    problem = "crashed: " + crash
                    break
            time.sleep(0.1)
        _stop_group(process)
        if problem is None and watch_crashes and _crash_line(log_path):
            problem = "crashed: " + _crash_line(log_path)
        if problem is None and process.returncode != 0:
            problem = "exit status %d" % process.returncode
        if problem:
            raise Failure("%s %s; last output:\n%s" % (name, problem, _tail(log_path)))
        print("%-20s %5.1f s" % (name, time.monotonic() - started))
        with open(log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def plughost(self, name, *arguments):
        return self.run(name, [WINE_RUN, os.path.join(self.bin_dir, "plughost.exe")]
                        + list(arguments), 30)

    def close(self):
        """Ends every program of the prefix and the display."""
        try:
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30, check=False)
        except subprocess.TimeoutExpired:
            print("FAIL: wineserver -k did not end the prefix's programs within 30 s")
        if self.xvfb:
            _stop_group(self.xvfb)


def _stop_group(process):
    """Ends whatever of the process group is left (LMMS's plug-in server, a
    hung program), first politely, then for good."""
    for sig, grace in ((signal.SIGTERM, 2.0), (signal.SIGKILL, 5.0)):
        process.poll()
        if not _group_members(process.pid):
            break
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            break
        limit = time.monotonic() + grace
        while time.monotonic() < limit:
            process.poll()
            if not _group_members(process.pid):
                break
            time.sleep(0.05)
    process.poll()


def _group_members(group):
    """Processes of `group` that have not ended. Ended ones whose parent has
    not collected them yet are left out: a process that ended is no work."""
    members = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry, "rb") as f:
                stat = f.read().decode("ascii", "replace")
        except OSError:
            continue
        # pid (comm) state ppid pgrp ...; comm may hold spaces and parentheses.
        fields = stat[stat.rindex(")") + 2:].split()
        if fields[0] != "Z" and int(fields[2]) == group:
            members.append(int(entry))
    return members


def _crash_line(log_path):
    with open(log_path, "rb") as f:
        for line in f.read().decode("utf-8", "replace").splitlines():
            if any(mark in line for mark in CRASH_MARKS):
                return line.strip()
    return None


def _tail(log_path, lines=15):
    with open(log_path, "rb") as f:
        text = f.read().decode("utf-8", "replace").splitlines()
    return "\n".join("    " + line for line in text[-lines:]) or "    (none)"


def check_lmms():
    """The i386 LMMS with its VST server, runnable here; otherwise a failure
    naming what is missing."""
    lmms = shutil.which("lmms")
    if not lmms:
        raise Failure("LMMS is not installed: " + INSTALL_HINT)
    with open(os.path.realpath(lmms), "rb") as f:
        ident = f.read(5)
    if ident[:4] != b"\x7fELF" or ident[4] != 1:
        raise Failure("%s is not the 32-bit (i386) LMMS, and only that one hosts 32-bit Windows "
                      "plug-ins (others render the project dry): %s" % (lmms, INSTALL_HINT))
    if not os.path.exists(VST_SERVER):
        raise Failure("LMMS's VST server %s is missing: %s" % (VST_SERVER, INSTALL_HINT))
    for tool in ("Xvfb", "wine", "wineserver", "setarch"):
        if not shutil.which(tool):
            raise Failure("%s is not installed (bash scripts/install-deps.sh installs it)" % tool)
    try:
        version = subprocess.run([lmms, "--allowroot", "--version"], stdin=subprocess.DEVNULL,
                                 capture_output=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise Failure("%s cannot run on this machine (%s); a kernel without 32-bit support needs "
                      "qemu-i386 registered, as scripts/install-deps.sh does" % (lmms, error))
    if version.returncode != 0:
        raise Failure("%s --version failed with status %d: %s" % (
            lmms, version.returncode, version.stderr.decode("utf-8", "replace").strip()))
    return lmms


def saved_chunk(session, name, dll, settings):
    """The plug-in's own program chunk at `settings`, base64-encoded: saved by
    plughost as a program file, whose header holds the chunk's size at
    offset 56 (big-endian) and the chunk from offset 60."""
    fxp = os.path.join(session.work, name + ".fxp")
    arguments = ["preset", "save", windows_path(dll), windows_path(fxp)]
    for setting in settings:
        arguments += ["--set", setting]
    session.plughost("preset-" + name, *arguments)
    with open(fxp, "rb") as f:
        data = f.read()
    if len(data) < 60 or data[0:4] != b"CcnK" or data[8:12] != b"FPCh":
        raise Failure("%s is not a chunk program file" % fxp)
    size = struct.unpack(">I", data[56:60])[0]
    if size == 0 or 60 + size != len(data):
        raise Failure("%s: chunk of %d bytes in a file of %d" % (fxp, size, len(data)))
    return base64.b64encode(data[60:]).decode("ascii")


def install_effects(session):
    """Registers the demo engine and installs the effects into the scratch
    folder, as a vendor would; answers {name: Linux path of the DLL}."""
    plugins = os.path.join(session.work, "plugins")
    os.makedirs(plugins)
    session.plughost("register", "register", "--guid", GUID, "--engine",
                     windows_path(os.path.join(session.bin_dir, "kel_demo_engine.dll")))
    dlls = {}
    for name, id_, index, inputs in (("DemoGain", "DGai", 0, 2), ("DemoFilter", "DFil", 1, 2),
                                     ("DemoSynth", "DSyn", 2, 0)):
        session.plughost("install-" + name, "install", "--plugin",
                         windows_path(os.path.join(session.bin_dir, "kelbridge.dll")), "--dir",
                         windows_path(plugins), "--name", name, "--guid", GUID, "--id", id_,
                         "--process-index", str(index), "--channels-in", str(inputs),
                         "--channels-out", "2")
        dlls[name] = os.path.join(plugins, name + ".dll")
    return dlls


def render(session, lmms, name, tracks):
    project = os.path.join(session.work, name + ".mmp")
    output = os.path.join(session.work, name + ".wav")
    lmms_project.write_project(project, tracks)
    # Without address-space randomisation, like every Wine run of ours: under
    # qemu a randomised layout can take the addresses Wine needs.
    machine = os.uname().machine
    session.run("lmms-" + name, ["setarch", machine, "-R", lmms, "--allowroot", "render", project,
                                 "-f", "wav", "-a", "-x", "1", "-s", str(RATE), "-o", output],
                RENDER_SECONDS, watch_crashes=True)
    if not os.path.exists(output):
        raise Failure("LMMS wrote no %s" % output)
    rate, channels = audio_measure.read_float_wav(output)
    if rate != RATE or len(channels) != 2:
        raise Failure("%s: %d Hz, %d channels; expected %d Hz stereo"
                      % (output, rate, len(channels), RATE))
    return channels


def levels(channels, tones):
    """{(channel, tone): dB} over the measuring window."""
    found = {}
    for c, samples in enumerate(channels):
        for tone in tones:
            level = audio_measure.tone_level_db(samples, tone, RATE, WINDOW_START, WINDOW_FRAMES)
            if level is None:
                raise Failure("the render is %.2f s long, too short to measure"
                              % (len(samples) / RATE))
            found[(c, tone)] = level
    return found


def effect_failures(dry, wet):
    """DemoGain's and DemoFilter's share of the effects render, tone by tone:
    what their stored settings must give."""
    found = []
    expected = {GAIN_TONE_HZ: (GAIN_SETTING_DB, GAIN_TOLERANCE_DB, "DemoGain")}
    for tone in FILTER_TONES_HZ:
        expected[tone] = (audio_measure.demo_filter_db(FILTER_TYPE, FILTER_CUTOFF_HZ,
                                                       FILTER_RESONANCE, tone, RATE),
                          FILTER_TOLERANCE_DB, "DemoFilter")
    for (channel, tone), dry_db in sorted(dry.items()):
        want, tolerance, effect = expected[tone]
        side = "LR"[channel]
        if dry_db < REFERENCE_FLOOR_DB:
            found.append("dry render, %s, %d Hz: %.1f dB, the test signal did not play"
                         % (side, tone, dry_db))
            continue
        got = wet[(channel, tone)] - dry_db
        verdict = "ok" if abs(got - want) <= tolerance else "FAIL"
        print("%-10s %s %5d Hz: %+8.3f dB, expected %+8.3f +- %.2f dB  %s"
              % (effect, side, tone, got, want, tolerance, verdict))
        if verdict != "ok":
            found.append("%s in LMMS, %s channel, %d Hz: %+.3f dB, expected %+.3f dB +- %.2f"
                         % (effect, side, tone, got, want, tolerance))
    return found


def synth_failures(channels):
    """DemoSynth's note in the effects render: at its level, a sine, ended."""
    found = []
    for c, samples in enumerate(channels):
        side = "LR"[c]

        def level(frequency, window):
            measured = audio_measure.tone_level_db(samples, frequency, RATE, *window)
            if measured is None:
                raise Failure("the render is %.2f s long, too short for DemoSynth's note"
                              % (len(samples) / RATE))
            return measured

        note = level(SYNTH_HZ, SYNTH_WINDOW)
        harmonics = max(level(SYNTH_HZ * n, SYNTH_WINDOW) for n in (2, 3))
        after = level(SYNTH_HZ, SYNTH_AFTER_WINDOW)
        print("DemoSynth  %s %5d Hz: %+8.3f dBFS, expected %+8.3f +- %.2f dB; harmonics %+.1f dB, "
              "after the note %+.1f dB" % (side, SYNTH_HZ, note, SYNTH_LEVEL_DB,
                                           SYNTH_TOLERANCE_DB, harmonics - note, after - note))
        if abs(note - SYNTH_LEVEL_DB) > SYNTH_TOLERANCE_DB:
            found.append("DemoSynth in LMMS, %s channel: the note played at %+.3f dBFS, "
                         "expected %+.3f dBFS +- %.2f" % (side, note, SYNTH_LEVEL_DB,
                                                          SYNTH_TOLERANCE_DB))
        elif harmonics - note > -SYNTH_HARMONICS_BELOW_DB:
            found.append("DemoSynth in LMMS, %s channel: harmonics %.1f dB under the note, not "
                         "the stored sine" % (side, note - harmonics))
        elif after - note > -SYNTH_RELEASED_BELOW_DB:
            found.append("DemoSynth in LMMS, %s channel: %.1f dB under the note after its end"
                         % (side, note - after))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="bin folder of the 32-bit (windows) build")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    args = parser.parse_args()
    bin_dir = os.path.abspath(args.bin)
    for built in ("plughost.exe", "kelbridge.dll", "kel_demo_engine.dll"):
        if not os.path.exists(os.path.join(bin_dir, built)):
            print("FAIL: %s is not built in %s" % (built, bin_dir))
            return 1

    started = time.monotonic()
    work = tempfile.mkdtemp(prefix="kel-lmms-")
    session = Session(bin_dir, work)
    failures = []
    try:
        lmms = check_lmms()
        session.start_display()
        session.run("wineboot", [WINE_RUN, "wineboot", "-i"], 60)
        dlls = install_effects(session)
        gain_chunk = saved_chunk(session, "gain", dlls["DemoGain"],
                                 ["Gain=%.1fdB" % GAIN_SETTING_DB])
        filter_chunk = saved_chunk(session, "filter", dlls["DemoFilter"],
                                   ["Cutoff=%dHz" % FILTER_CUTOFF_HZ, "Type=" + FILTER_TYPE,
                                    "Resonance=%d%%" % FILTER_RESONANCE])
        synth_chunk = saved_chunk(session, "synth", dlls["DemoSynth"], SYNTH_SETTINGS)

        frames = RATE * SIGNAL_SECONDS
        gain_input = audio_measure.sine(GAIN_TONE_HZ, GAIN_AMPLITUDE, RATE, frames)
        filter_input = [sum(parts) for parts in zip(
            *(audio_measure.sine(tone, FILTER_AMPLITUDE, RATE, frames) for tone in FILTER_TONES_HZ))]
        gain_wav = os.path.join(work, "gain-input.wav")
        filter_wav = os.path.join(work, "filter-input.wav")
        audio_measure.write_float_wav(gain_wav, RATE, [gain_input, gain_input])
        audio_measure.write_float_wav(filter_wav, RATE, [filter_input, filter_input])

        def tracks(with_effects):
            def chain(name, chunk):
                return [lmms_project.VstEffect(dlls[name], chunk)] if with_effects else []
            played = [lmms_project.SampleTrack("Gain", gain_wav, SIGNAL_SECONDS,
                                               chain("DemoGain", gain_chunk)),
                      lmms_project.SampleTrack("Filter", filter_wav, SIGNAL_SECONDS,
                                               chain("DemoFilter", filter_chunk))]
            if with_effects:
                played.append(lmms_project.InstrumentTrack(
                    "Synth", dlls["DemoSynth"], synth_chunk,
                    [(SYNTH_KEY, SYNTH_NOTE_START, SYNTH_NOTE_SECONDS)]))
            return played

        tones = (GAIN_TONE_HZ,) + FILTER_TONES_HZ
        dry = levels(render(session, lmms, "dry", tracks(False)), tones)
        wet_channels = render(session, lmms, "effects", tracks(True))
        wet = levels(wet_channels, tones)

        failures += effect_failures(dry, wet)
        failures += synth_failures(wet_channels)
        if failures:
            # A plug-in that died inside LMMS leaves the render silent; its
            # last words are in LMMS's output.
            failures.append("LMMS's output while rendering the effects:\n"
                            + _tail(os.path.join(work, "lmms-effects.log")))
    except Failure as failure:
        failures.append(str(failure))
    finally:
        session.close()
        if args.keep:
            print("scratch folder kept: %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAIL: " + failure)
    print("%s in %.1f s" % ("failed" if failures else "passed", time.monotonic() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
