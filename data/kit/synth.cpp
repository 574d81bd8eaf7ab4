#include "kit/synth.h"

#include <algorithm>
#include <cmath>

#include "kit/random.h"

namespace zelk4::kit {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Scales to a fixed peak so every instrument starts from the same headroom.
std::vector<int16_t> ToSamples(const std::vector<double>& x, double peak = 30000.0) {
  double m = 1e-9;
  for (double v : x) m = std::max(m, std::abs(v));
  std::vector<int16_t> out(x.size());
  for (size_t i = 0; i < x.size(); ++i) out[i] = static_cast<int16_t>(std::lround(x[i] / m * peak));
  return out;
}

size_t Length(double seconds) { return static_cast<size_t>(seconds * kSynthRate); }

// Band-limited loop: `voices` oscillators with cycle counts over `length` samples, each a sum of
// harmonics with amplitudes amp(k). Whole cycles per loop make the loop seamless.
std::vector<double> AdditiveLoop(size_t length, const std::vector<int>& cycles, int harmonics,
                                 double (*amp)(int k), const std::vector<double>& phases) {
  std::vector<double> x(length, 0.0);
  for (size_t o = 0; o < cycles.size(); ++o) {
    for (int k = 1; k <= harmonics; ++k) {
      const double a = amp(k);
      if (a == 0) continue;
      const double w = 2 * kPi * cycles[o] * k / double(length);
      for (size_t i = 0; i < length; ++i) x[i] += a * std::sin(w * i + phases[o] * k);
    }
  }
  return x;
}

}  // namespace

std::vector<int16_t> KickDrum() {
  const size_t n = Length(0.42);
  std::vector<double> x(n);
  Random noise(0x4B1C);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kSynthRate;
    const double f = 44 + 120 * std::exp(-t * 32);
    phase += 2 * kPi * f / kSynthRate;
    const double body = std::sin(phase) * std::exp(-t * 6.5);
    const double click = noise.Signed() * std::exp(-t * 900) * 0.5;
    x[i] = std::tanh(1.6 * body) + click;
  }
  return ToSamples(x);
}

std::vector<int16_t> SnareDrum() {
  const size_t n = Length(0.32);
  std::vector<double> x(n);
  Random noise(0x5AE);
  double low = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kSynthRate;
    const double white = noise.Signed();
    low += 0.25 * (white - low);
    const double bright = white - low;  // simple high-pass
    const double tone = std::sin(2 * kPi * 186 * t) * std::exp(-t * 28) * 0.7 +
                        std::sin(2 * kPi * 330 * t) * std::exp(-t * 40) * 0.3;
    x[i] = tone + bright * std::exp(-t * 13) * 1.1;
  }
  return ToSamples(x);
}

std::vector<int16_t> HiHat() {
  const size_t n = Length(0.11);
  std::vector<double> x(n);
  Random noise(0x4A7);
  double low = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kSynthRate;
    const double white = noise.Signed();
    low += 0.6 * (white - low);
    x[i] = (white - low) * std::exp(-t * 38);
  }
  return ToSamples(x, 24000);
}

std::vector<int16_t> Crash() {
  const size_t n = Length(1.6);
  std::vector<double> x(n);
  Random noise(0xC4A5);
  double low = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = i / kSynthRate;
    const double white = noise.Signed();
    low += 0.45 * (white - low);
    const double ring = std::sin(2 * kPi * 3150 * t) * 0.15 + std::sin(2 * kPi * 4720 * t) * 0.1;
    x[i] = ((white - low) + ring) * std::exp(-t * 2.6) * (1 - std::exp(-t * 400));
  }
  return ToSamples(x, 22000);
}

std::vector<int16_t> BassCycle() {
  // A softened saw plus a sine one octave down would halve the loop's pitch; instead a sine at
  // the fundamental gives the weight.
  std::vector<double> x = AdditiveLoop(kSynthPeriod, {1}, 24, [](int k) { return std::pow(0.82, k) / k * 1.6; }, {0});
  for (size_t i = 0; i < x.size(); ++i) x[i] += 0.9 * std::sin(2 * kPi * i / kSynthPeriod);
  return ToSamples(x);
}

std::vector<int16_t> LeadLoop() {
  // Three pulses (width 0.3) of 127, 128 and 129 cycles in 128 periods: a slow chorus.
  const size_t length = size_t(kSynthPeriod) * 128;
  std::vector<double> x = AdditiveLoop(length, {127, 128, 129}, 18,
                                       [](int k) { return std::sin(kPi * k * 0.3) / k * std::pow(0.93, k); },
                                       {0.0, 1.7, 4.1});
  return ToSamples(x);
}

std::vector<int16_t> PadLoop() {
  // Detuned saws and one an octave below (64 cycles).
  const size_t length = size_t(kSynthPeriod) * 128;
  std::vector<double> saws = AdditiveLoop(length, {127, 128, 129}, 14,
                                          [](int k) { return std::pow(0.8, k) / k; }, {0.0, 2.3, 5.1});
  std::vector<double> sub = AdditiveLoop(length, {64}, 6, [](int k) { return 0.6 * std::pow(0.6, k) / k; }, {0.9});
  for (size_t i = 0; i < length; ++i) saws[i] += sub[i];
  return ToSamples(saws);
}

}  // namespace zelk4::kit
