// Writes the sample animations of samples/:  make_samples [folder]
//   bouncing_ball.gif  ball frames with a transparent index, restored to the
//                      background after each frame (disposal 2)
//   colour_cycle.gif   the same rings in every frame, each frame with its own
//                      rotated local colour table; loops forever
//   interlaced_wave.gif  interlaced full frames of a moving wave; loops forever
//   spinner.gif        small frames updating part of the picture (disposal 1),
//                      a comment, plays three times
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/gif_builder.h"

using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;
using gifbuild::Rgb;

namespace {

const double kPi = 3.14159265358979323846;

std::vector<uint8_t> Canvas(int w, int h, uint8_t v) { return std::vector<uint8_t>(static_cast<size_t>(w) * h, v); }

bool BouncingBall(const std::string& path) {
  const int sw = 96, sh = 72, d = 16;
  // 0 sky (background, also transparent), 1-3 ball shades, 4 outline.
  std::vector<Rgb> colours = {{170, 210, 250}, {230, 40, 40}, {250, 120, 110}, {150, 20, 20}, {60, 10, 10}};
  GifBuilder gif(sw, sh, colours, 0);
  gif.NetscapeLoop(0);
  const int frames = 14;
  for (int f = 0; f < frames; ++f) {
    double t = static_cast<double>(f) / frames;
    int x = static_cast<int>(4 + t * (sw - d - 8));
    double hop = std::fabs(std::sin(t * 2 * kPi));
    int y = static_cast<int>((sh - d - 2) - hop * (sh - d - 10));
    std::vector<uint8_t> px = Canvas(d, d, 0);
    for (int j = 0; j < d; ++j)
      for (int i = 0; i < d; ++i) {
        double dx = i - 7.5, dy = j - 7.5, r = std::sqrt(dx * dx + dy * dy);
        if (r > 7.9) continue;
        uint8_t v = 1;
        if (r > 6.8) v = 4;
        else if (dx + dy < -5) v = 2;
        else if (dx + dy > 6) v = 3;
        px[static_cast<size_t>(j) * d + i] = v;
      }
    gif.GraphicControl(6, 2, 0);
    gif.Image(ImageDescriptor{x, y, d, d}, px);
  }
  gif.Trailer();
  return gif.Save(path);
}

bool ColourCycle(const std::string& path) {
  const int s = 64, n = 16;
  std::vector<uint8_t> rings = Canvas(s, s, 0);
  for (int y = 0; y < s; ++y)
    for (int x = 0; x < s; ++x) {
      double dx = x - 31.5, dy = y - 31.5;
      double a = std::atan2(dy, dx) / (2 * kPi) * n;
      rings[static_cast<size_t>(y) * s + x] =
          static_cast<uint8_t>((static_cast<int>(std::sqrt(dx * dx + dy * dy) / 3) + static_cast<int>(a + n)) % n);
    }
  std::vector<Rgb> global(n, Rgb{0, 0, 0});
  GifBuilder gif(s, s, global, 0);
  gif.NetscapeLoop(0);
  for (int f = 0; f < 8; ++f) {
    std::vector<Rgb> local(n);
    for (int i = 0; i < n; ++i) {
      double h = (static_cast<double>(i) / n + f / 8.0) * 2 * kPi;
      local[i] = {static_cast<uint8_t>(127 + 127 * std::sin(h)), static_cast<uint8_t>(127 + 127 * std::sin(h + 2.09)),
                  static_cast<uint8_t>(127 + 127 * std::sin(h + 4.19))};
    }
    gif.GraphicControl(10, 1);
    gif.Image(ImageDescriptor{0, 0, s, s, false, local}, rings);
  }
  gif.Trailer();
  return gif.Save(path);
}

bool InterlacedWave(const std::string& path) {
  const int w = 96, h = 40, n = 16;
  std::vector<Rgb> colours(n);
  for (int i = 0; i < n; ++i)
    colours[i] = {static_cast<uint8_t>(10 + i * 6), static_cast<uint8_t>(40 + i * 12), static_cast<uint8_t>(120 + i * 8)};
  GifBuilder gif(w, h, colours, 0);
  gif.NetscapeLoop(0);
  const int frames = 10;
  for (int f = 0; f < frames; ++f) {
    std::vector<uint8_t> px = Canvas(w, h, 0);
    for (int x = 0; x < w; ++x) {
      double phase = (x / static_cast<double>(w) + f / static_cast<double>(frames)) * 2 * kPi;
      int top = static_cast<int>(h / 2 + std::sin(phase) * (h / 3));
      for (int y = 0; y < h; ++y) {
        int v = y < top ? 1 + (y * 3) / h : 8 + ((y - top) * 8) / h;
        px[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(v < n ? v : n - 1);
      }
    }
    gif.GraphicControl(8, 1);
    gif.Image(ImageDescriptor{0, 0, w, h, true}, px);
  }
  gif.Trailer();
  return gif.Save(path);
}

bool Spinner(const std::string& path) {
  const int s = 48, box = 20, spokes = 8;
  std::vector<Rgb> colours = {{255, 255, 255}, {40, 40, 40}, {90, 90, 90}, {140, 140, 140},
                              {185, 185, 185}, {220, 220, 220}, {235, 235, 235}, {245, 245, 245}};
  GifBuilder gif(s, s, colours, 0);
  gif.NetscapeLoop(3);
  gif.Comment("spinner made by make_samples");
  // First a full white frame with a frame line, then the spinner region only.
  std::vector<uint8_t> full = Canvas(s, s, 0);
  for (int i = 0; i < s; ++i) {
    full[i] = full[static_cast<size_t>(s - 1) * s + i] = 3;
    full[static_cast<size_t>(i) * s] = full[static_cast<size_t>(i) * s + s - 1] = 3;
  }
  gif.GraphicControl(5, 1);
  gif.Image(ImageDescriptor{0, 0, s, s}, full);
  const int left = (s - box) / 2, top = (s - box) / 2;
  for (int f = 0; f < spokes; ++f) {
    std::vector<uint8_t> px = Canvas(box, box, 0);
    for (int k = 0; k < spokes; ++k) {
      double a = 2 * kPi * k / spokes;
      int age = (f - k + spokes) % spokes;  // 0: brightest spoke
      uint8_t v = static_cast<uint8_t>(1 + (age < 7 ? age : 6));
      for (double r = 4; r < 9.5; r += 0.25) {
        int x = static_cast<int>(std::lround(9.5 + r * std::cos(a)));
        int y = static_cast<int>(std::lround(9.5 + r * std::sin(a)));
        if (x >= 0 && x < box && y >= 0 && y < box) px[static_cast<size_t>(y) * box + x] = v;
      }
    }
    gif.GraphicControl(9, 1);
    gif.Image(ImageDescriptor{left, top, box, box}, px);
  }
  gif.Trailer();
  return gif.Save(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "samples";
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  struct Sample {
    const char* name;
    bool (*make)(const std::string&);
  } samples[] = {{"bouncing_ball.gif", BouncingBall},
                 {"colour_cycle.gif", ColourCycle},
                 {"interlaced_wave.gif", InterlacedWave},
                 {"spinner.gif", Spinner}};
  int failures = 0;
  for (const Sample& s : samples) {
    std::string path = folder + s.name;
    if (s.make(path)) {
      std::printf("wrote %s\n", path.c_str());
    } else {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
