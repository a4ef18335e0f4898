// Measurements from an effect's captured output: the magnitude response
// from its impulse response, the latency at the impulse response's peak, and
// THD+N from a sine's response. Pure maths on samples, so it runs anywhere.
#pragma once

#include <cstddef>
#include <vector>

namespace plughost {

// `count` frequencies from `low` to `high` (both included), evenly spaced on
// a log axis; `count` >= 2 and 0 < low < high.
std::vector<double> logFrequencies(double low, double high, int count);

// The magnitude in dB of the impulse response's transform at each frequency:
// the sum of h[n] e^(-i 2 pi f n / rate), evaluated directly so that any
// frequency can be asked for. Magnitudes below 1e-10 read as -200 dB.
std::vector<double> magnitudeResponseDb(const std::vector<float>& impulseResponse, double rate,
                                        const std::vector<double>& frequencies);

constexpr double kSilentDb = -200.0;

// The index of the sample of largest magnitude (the first of equal ones);
// 0 for an empty or silent response.
std::size_t impulsePeak(const std::vector<float>& impulseResponse);

struct SineFit {
  double amplitude = 0.0;       // of the fitted sine at the test frequency
  double residualRms = 0.0;     // what remains: harmonics, noise, offset
  double thdPlusNoiseDb = 0.0;  // residual against the whole signal, in dB
};

// Fits a sine of `frequency` (plus an offset) to `samples` by least squares;
// everything the fit leaves over counts as distortion and noise. The
// residual counts the offset too. A silent signal gives 0 dB (nothing but
// noise); a perfect sine gives kSilentDb.
SineFit fitSine(const std::vector<float>& samples, double frequency, double rate);

}  // namespace plughost
