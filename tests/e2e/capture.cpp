#include "capture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace e2e {

namespace {

// The fundamental by normalised autocorrelation: the shortest lag that repeats the window
// almost as well as the best one, so that a strong harmonic is not taken for the note.
double Pitch(const double* x, int n, int rate) {
  const int min_lag = rate / 2000, max_lag = rate / 200;  // notes from 200 Hz to 2 kHz
  std::vector<double> r(max_lag + 2, 0.0);
  double best = 0;
  for (int lag = min_lag; lag <= max_lag + 1; lag++) {
    double num = 0, e1 = 0, e2 = 0;
    for (int i = 0; i + lag < n; i++) {
      num += x[i] * x[i + lag];
      e1 += x[i] * x[i];
      e2 += x[i + lag] * x[i + lag];
    }
    r[lag] = (e1 > 0 && e2 > 0) ? num / std::sqrt(e1 * e2) : 0;
    if (lag <= max_lag) best = std::fmax(best, r[lag]);
  }
  if (best < 0.5) return 0;
  for (int lag = min_lag + 1; lag <= max_lag; lag++) {
    if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      double a = r[lag - 1], b = r[lag], c = r[lag + 1];
      double denom = a - 2 * b + c;
      double shift = denom != 0 ? 0.5 * (a - c) / denom : 0;
      return rate / (lag + shift);
    }
  }
  return 0;
}

}  // namespace

Capture ReadCapture(const std::string& path) {
  Capture c;
  c.rate = 44100;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (size_t i = 0; i + 4 <= b.size(); i += 4) {
    c.left.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8) / 32768.0);
    c.right.push_back(static_cast<int16_t>(b[i + 2] | b[i + 3] << 8) / 32768.0);
  }
  return c;
}

std::vector<Window> Analyse(const Capture& c, int n) {
  std::vector<Window> out;
  std::vector<double> mono(n);
  for (size_t start = 0; start + n <= c.left.size(); start += n) {
    double l = 0, r = 0;
    for (int i = 0; i < n; i++) {
      l += c.left[start + i] * c.left[start + i];
      r += c.right[start + i] * c.right[start + i];
      mono[i] = c.left[start + i] + c.right[start + i];
    }
    Window w;
    w.left_rms = std::sqrt(l / n);
    w.right_rms = std::sqrt(r / n);
    w.level = std::fmax(w.left_rms, w.right_rms);
    w.loudness = w.left_rms + w.right_rms;
    w.position = w.loudness > 0 ? w.right_rms / w.loudness : 0.5;
    w.pitch_hz = w.level > 1e-4 ? Pitch(mono.data(), n, c.rate) : 0;
    out.push_back(w);
  }
  return out;
}

double LastAudible(const std::vector<Window>& w) {
  size_t last = w.size();
  while (last > 0 && w[last - 1].level < 1e-6) last--;
  return last > 3 ? w[last - 3].level : 0;
}

double Peak(const std::vector<Window>& w, size_t from, size_t to) {
  double peak = 0;
  for (size_t i = from; i < to && i < w.size(); i++) peak = std::fmax(peak, w[i].level);
  return peak;
}

double PeakLevel(const std::string& path) {
  return Peak(Analyse(ReadCapture(path), 2048));
}

int CountRises(const std::vector<Window>& w, double low, double high, size_t apart) {
  const double loud = Peak(w);
  int rises = 0;
  bool armed = true;
  size_t quiet_from = 0;  // the first window after the last one above `high`
  for (size_t i = 0; i < w.size(); i++) {
    const Window& x = w[i];
    if (x.level > high * loud) {
      if (armed && (rises == 0 || i - quiet_from >= apart)) rises++;
      armed = false;
      quiet_from = i + 1;
    } else if (x.level < low * loud) {
      armed = true;
    }
  }
  return rises;
}

std::vector<size_t> Gaps(const std::vector<Window>& w, size_t start, size_t count) {
  constexpr size_t kAround = 20;
  std::vector<size_t> gaps;
  for (size_t i = std::max(start, kAround); i < start + count && i + kAround < w.size(); i++) {
    std::vector<double> around;
    for (size_t j = i - kAround; j <= i + kAround; j++) around.push_back(w[j].loudness);
    std::nth_element(around.begin(), around.begin() + kAround, around.end());
    if (w[i].loudness < 0.5 * around[kAround]) gaps.push_back(i - start);
  }
  return gaps;
}

}  // namespace e2e
