"""Test signals, WAV files of 32-bit float samples, and the two measurements
the real-host test makes: a tone's level in a rendered file, and the level the
demo filter's design gives a tone.
"""

import math
import struct

# WAVE_FORMAT_IEEE_FLOAT: what the test writes and what `lmms render -a` writes.
FORMAT_FLOAT = 3


def write_float_wav(path, rate, channels):
    """Writes equal-length channels (lists of floats) as a float WAV file."""
    frames = len(channels[0])
    interleaved = [channel[i] for i in range(frames) for channel in channels]
    data = struct.pack("<%df" % len(interleaved), *interleaved)
    block = 4 * len(channels)
    fmt = struct.pack("<HHIIHH", FORMAT_FLOAT, len(channels), rate, rate * block, block, 32)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def read_float_wav(path):
    """Answers (rate, [channel samples...]) of a float WAV file; raises
    ValueError naming what is wrong with any other file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("%s is not a WAV file" % path)
    fmt = None
    pos = 12
    while pos + 8 <= len(data):
        chunk_id = data[pos:pos + 4]
        size = struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if chunk_id == b"fmt ":
            fmt = struct.unpack("<HHIIHH", body[:16])
        elif chunk_id == b"data":
            if fmt is None:
                raise ValueError("%s: data before its format" % path)
            tag, channels, rate, _, _, bits = fmt
            if tag != FORMAT_FLOAT or bits != 32:
                raise ValueError("%s holds format %d with %d bits, not 32-bit float"
                                 % (path, tag, bits))
            count = len(body) // 4
            samples = struct.unpack("<%df" % count, body[:count * 4])
            return rate, [list(samples[c::channels]) for c in range(channels)]
        pos += 8 + size + (size & 1)
    raise ValueError("%s has no data" % path)


def sine(frequency, amplitude, rate, frames):
    step = 2.0 * math.pi * frequency / rate
    return [amplitude * math.sin(step * i) for i in range(frames)]


def tone_level_db(samples, frequency, rate, start, frames):
    """Level in dBFS of the sine at `frequency` in samples[start:start+frames],
    by correlation with a sine and a cosine. Exact for tones that make whole
    periods in the window: the test's tones all have whole-Hz frequencies and
    the window is a whole second. Silence reads as -400 dB."""
    if start + frames > len(samples):
        return None
    step = 2.0 * math.pi * frequency / rate
    in_phase = quadrature = 0.0
    for i in range(start, start + frames):
        x = samples[i]
        in_phase += x * math.cos(step * i)
        quadrature += x * math.sin(step * i)
    amplitude = 2.0 * math.hypot(in_phase, quadrature) / frames
    return 20.0 * math.log10(max(amplitude, 1e-20))


def demo_filter_db(kind, cutoff, resonance_percent, frequency, rate):
    """The demo filter's magnitude in dB at `frequency`, from its design: a
    trapezoidal state-variable filter is the bilinear transform of the
    analogue two-pole section, prewarped at the cutoff, with Q running from
    0.707 at 0 % resonance to 20 at 100 %."""
    q = 0.70710678 * 28.2842712 ** (resonance_percent / 100.0)
    cutoff = min(max(cutoff, 1.0), 0.49 * rate)
    w = math.tan(math.pi * frequency / rate) / math.tan(math.pi * cutoff / rate)
    denominator = math.hypot(1.0 - w * w, w / q)
    numerator = {"Lowpass": 1.0, "Highpass": w * w, "Bandpass": w / q}[kind]
    return 20.0 * math.log10(numerator / denominator)
