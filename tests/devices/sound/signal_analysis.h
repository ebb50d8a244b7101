// Measurements on rendered sound for the tests: frequency from zero crossings, level,
// spectrum peaks. Written from the textbook definitions, apart from the code under test.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace measure {

inline std::vector<double> toDouble(const std::vector<int16_t>& s) { return {s.begin(), s.end()}; }

inline double mean(const std::vector<double>& s)
{
    double sum = 0;
    for (double v : s) sum += v;
    return s.empty() ? 0 : sum / double(s.size());
}

inline double rms(const std::vector<double>& s)
{
    double sum = 0;
    for (double v : s) sum += v * v;
    return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

// Frequency from the rising crossings of the mean, timed by linear interpolation between
// the first and the last crossing.
inline double frequency(const std::vector<double>& s, double rate)
{
    const double m = mean(s);
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        const double a = s[i - 1] - m, b = s[i] - m;
        if (a < 0 && b >= 0) {
            const double t = double(i - 1) + (-a) / (b - a);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) / ((last - first) / rate);
}

// Magnitudes of the first half of the spectrum of the first power-of-two samples.
inline std::vector<double> spectrum(const std::vector<double>& s)
{
    size_t n = 1;
    while (n * 2 <= s.size()) n *= 2;
    std::vector<std::complex<double>> a(n);
    const double m = mean(s);
    for (size_t i = 0; i < n; ++i) a[i] = s[i] - m;
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * std::numbers::pi / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (size_t k = 0; k < len / 2; ++k, wk *= w) {
                const auto u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
    std::vector<double> mag(n / 2);
    for (size_t i = 0; i < n / 2; ++i) mag[i] = std::abs(a[i]);
    return mag;
}

// The strongest bin against the average bin (a pure tone gives hundreds, noise a few).
inline double peakToAverage(const std::vector<double>& mag)
{
    double sum = 0, peak = 0;
    for (size_t i = 1; i < mag.size(); ++i) {
        sum += mag[i];
        peak = std::max(peak, mag[i]);
    }
    return peak / (sum / double(mag.size() - 1));
}

// Amplitude of the component at `hz` (a single-bin Fourier sum over the whole stretch).
inline double toneLevel(const std::vector<double>& s, double hz, double rate)
{
    const double m = mean(s);
    std::complex<double> sum = 0;
    for (size_t i = 0; i < s.size(); ++i)
        sum += (s[i] - m) * std::polar(1.0, -2 * std::numbers::pi * hz * double(i) / rate);
    return 2 * std::abs(sum) / double(s.size());
}

inline double decibels(double ratio) { return 20 * std::log10(ratio); }

}  // namespace measure
