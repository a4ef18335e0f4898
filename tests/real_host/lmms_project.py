"""LMMS 1.2 song projects (.mmp, plain XML) for the real-host test: sample
tracks that each play one WAV file from the song's start, each with its own
chain of VST effects, and instrument tracks that play notes on a VST
instrument through LMMS's VeSTige.

Time in a project is counted in ticks, 48 to a quarter note; the songs are
in 4/4 at 120 BPM, so one tick is 1/96 s and one bar (192 ticks) 2 s.
"""

import xml.etree.ElementTree as ET

TEMPO_BPM = 120
TICKS_PER_SECOND = 96


class VstEffect:
    """One VST effect of a track's chain: the plug-in's Linux path, and the
    program chunk LMMS hands it through effSetChunk, base64-encoded."""

    def __init__(self, path, chunk_base64):
        self.path = path
        self.chunk_base64 = chunk_base64


class SampleTrack:
    def __init__(self, name, wav_path, seconds, effects=()):
        self.name = name
        self.wav_path = wav_path
        self.seconds = seconds
        self.effects = list(effects)


class InstrumentTrack:
    """Notes (LMMS key, which is the MIDI note number; start and length in
    seconds) played on the VST instrument at `path`, restored from its
    program chunk (base64) first."""

    def __init__(self, name, path, chunk_base64, notes):
        self.name = name
        self.path = path
        self.chunk_base64 = chunk_base64
        self.notes = list(notes)


def _ticks(seconds):
    return str(int(round(seconds * TICKS_PER_SECOND)))


def _plugin_key(parent, path):
    # LMMS loads the plug-in named by the key's "file" attribute.
    key = ET.SubElement(parent, "key")
    ET.SubElement(key, "attribute", name="file", value=path)


def _fx_chain(parent, effects):
    chain = ET.SubElement(parent, "fxchain", enabled="1" if effects else "0",
                          numofeffects=str(len(effects)))
    for effect in effects:
        # Fully wet, never switched off by LMMS's silence detection.
        node = ET.SubElement(chain, "effect", name="vsteffect", on="1", wet="1", gate="0",
                             autoquit="0", autoquit_numerator="4", autoquit_denominator="4",
                             syncmode="0")
        ET.SubElement(node, "vsteffectcontrols", plugin=effect.path, program="0",
                      chunk=effect.chunk_base64)
        _plugin_key(node, effect.path)


def _sample_track(container, track):
    node = ET.SubElement(container, "track", type="2", name=track.name, muted="0", solo="0")
    sample = ET.SubElement(node, "sampletrack", vol="100", pan="0")
    _fx_chain(sample, track.effects)
    ET.SubElement(node, "sampletco", pos="0", len=_ticks(track.seconds), muted="0",
                  src=track.wav_path)


def _instrument_track(container, track):
    node = ET.SubElement(container, "track", type="0", name=track.name, muted="0", solo="0")
    instrument_track = ET.SubElement(node, "instrumenttrack", vol="100", pan="0", pitch="0",
                                     pitchrange="1", basenote="57", usemasterpitch="1",
                                     fxch="0")
    instrument = ET.SubElement(instrument_track, "instrument", name="vestige")
    ET.SubElement(instrument, "vestige", plugin=track.path, program="0",
                  chunk=track.chunk_base64)
    _plugin_key(instrument, track.path)
    _fx_chain(instrument_track, [])
    end = max(start + length for _, start, length in track.notes)
    pattern = ET.SubElement(node, "pattern", name="Notes", pos="0", len=_ticks(end), muted="0",
                            type="1", steps="16")
    for key, start, length in track.notes:
        ET.SubElement(pattern, "note", key=str(key), pos=_ticks(start), len=_ticks(length),
                      vol="100", pan="0")


def write_project(path, tracks):
    root = ET.Element("lmms-project", version="1.0", creator="LMMS", creatorversion="1.2.2",
                      type="song")
    ET.SubElement(root, "head", bpm=str(TEMPO_BPM), timesig_numerator="4",
                  timesig_denominator="4", mastervol="100", masterpitch="0")
    song = ET.SubElement(root, "song")
    container = ET.SubElement(song, "trackcontainer", type="song")
    for track in tracks:
        if isinstance(track, SampleTrack):
            _sample_track(container, track)
        else:
            _instrument_track(container, track)
    mixer = ET.SubElement(song, "fxmixer")
    master = ET.SubElement(mixer, "fxchannel", num="0", name="Master", volume="1", muted="0",
                           soloed="0")
    _fx_chain(master, [])
    ET.SubElement(song, "timeline", lp0pos="0", lp1pos="192", lpstate="0")
    ET.SubElement(song, "controllers")
    body = ET.tostring(root, encoding="unicode")
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0"?>\n<!DOCTYPE lmms-project>\n' + body + "\n")
