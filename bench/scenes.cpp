#include "scenes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "support/gif_builder.h"

namespace scenes {

namespace {

using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;
using gifbuild::Rgb;

constexpr double kPi = 3.14159265358979323846;
constexpr int kRampColours = 128;  // 0..127: background ramp
constexpr int kShades = 16;        // 128..255: 8 hues of 16 shades

uint8_t Mix(int a, int b, double f) { return static_cast<uint8_t>(std::lround(a + (b - a) * f)); }

Rgb MixRgb(const Rgb& a, const Rgb& b, double f) { return Rgb{Mix(a.r, b.r, f), Mix(a.g, b.g, f), Mix(a.b, b.b, f)}; }

std::vector<Rgb> CartoonPalette() {
  std::vector<Rgb> p;
  const Rgb ramp[4] = {{16, 32, 96}, {90, 140, 210}, {230, 220, 190}, {200, 120, 60}};
  for (int i = 0; i < kRampColours; ++i) {
    double f = i * 3.0 / (kRampColours - 1);
    int k = std::min(static_cast<int>(f), 2);
    p.push_back(MixRgb(ramp[k], ramp[k + 1], f - k));
  }
  const Rgb hues[8] = {{220, 50, 40}, {240, 150, 30}, {240, 220, 60}, {60, 180, 70},
                       {40, 170, 170}, {50, 90, 220}, {150, 70, 200}, {200, 200, 200}};
  const Rgb black{0, 0, 0}, white{255, 255, 255};
  for (const Rgb& h : hues) {
    for (int s = 0; s < kShades; ++s) {
      double f = s / double(kShades - 1);
      Rgb c = MixRgb(black, h, 0.25 + 0.75 * f);
      if (s > 12) c = MixRgb(c, white, (s - 12) / 4.0);
      p.push_back(c);
    }
  }
  return p;
}

int ShadeIndex(int hue, int shade) { return kRampColours + (hue & 7) * kShades + std::clamp(shade, 0, kShades - 1); }

// Full cartoon frame t into `pixels` (width x height, top row first).
void DrawCartoon(int width, int height, int t, std::vector<uint8_t>& pixels) {
  pixels.assign(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    double vy = double(y) / height;
    for (int x = 0; x < width; ++x) {
      double wave = 0.5 + 0.5 * std::sin(2 * kPi * 1.5 * x / width + t * 0.12 + vy * 2);
      double v = 0.75 * vy + 0.25 * wave;
      pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(std::clamp(int(v * kRampColours), 0, kRampColours - 1));
    }
  }
  // Two boxes with a darker border, drifting sideways.
  for (int k = 0; k < 2; ++k) {
    int bw = width / 4, bh = height / 6;
    int bx = static_cast<int>((width + bw) * std::fmod(t * 0.006 * (k + 1) + 0.4 * k, 1.0)) - bw;
    int by = height / 5 + k * height / 2;
    for (int y = std::max(by, 0); y < std::min(by + bh, height); ++y)
      for (int x = std::max(bx, 0); x < std::min(bx + bw, width); ++x) {
        bool edge = y < by + 2 || y >= by + bh - 2 || x < bx + 2 || x >= bx + bw - 2;
        pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(ShadeIndex(5 + k, edge ? 4 : 9));
      }
  }
  // Six shaded balls on Lissajous paths, lit from the upper left.
  for (int k = 0; k < 6; ++k) {
    double r = height * (0.08 + 0.02 * k);
    double cx = width * (0.5 + 0.4 * std::sin(t * 0.07 * (k + 1) * 0.5 + k));
    double cy = height * (0.5 + 0.4 * std::cos(t * 0.05 * (k + 2) * 0.5 + 2 * k));
    double hx = cx - r / 3, hy = cy - r / 3;
    int x0 = std::max(0, int(cx - r)), x1 = std::min(width - 1, int(cx + r));
    int y0 = std::max(0, int(cy - r)), y1 = std::min(height - 1, int(cy + r));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        double dx = x - cx, dy = y - cy;
        if (dx * dx + dy * dy > r * r) continue;
        double d = std::hypot(x - hx, y - hy) / (1.3 * r);
        pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(ShadeIndex(k, kShades - 1 - int(d * kShades)));
      }
  }
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

}  // namespace

bool WriteCartoon(const std::string& path, int width, int height, int frames) {
  GifBuilder gif(width, height, CartoonPalette());
  gif.NetscapeLoop(0);
  std::vector<uint8_t> pixels;
  for (int t = 0; t < frames; ++t) {
    DrawCartoon(width, height, t, pixels);
    gif.GraphicControl(10, 1);
    gif.Image(ImageDescriptor{0, 0, width, height}, pixels);
  }
  gif.Trailer();
  return gif.Save(path);
}

bool WritePhoto(const std::string& path, int width, int height, int frames) {
  // Palette of a quantised landscape: a tonal ramp from dark green through
  // earth to sky, stored in the scrambled order a quantiser leaves it in.
  const Rgb ramp[4] = {{20, 40, 20}, {110, 90, 50}, {170, 160, 140}, {150, 190, 235}};
  std::vector<Rgb> tones(256);
  for (int i = 0; i < 256; ++i) {
    double f = i * 3.0 / 255;
    int k = std::min(static_cast<int>(f), 2);
    tones[i] = MixRgb(ramp[k], ramp[k + 1], f - k);
  }
  std::vector<uint8_t> slot(256);  // tone -> palette index
  for (int i = 0; i < 256; ++i) slot[i] = static_cast<uint8_t>(i);
  for (int i = 255; i > 0; --i) std::swap(slot[i], slot[Hash(0x9e37u + i) % (i + 1)]);
  std::vector<Rgb> palette(256);
  for (int i = 0; i < 256; ++i) palette[slot[i]] = tones[i];

  GifBuilder gif(width, height, palette);
  gif.NetscapeLoop(0);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
  for (int t = 0; t < frames; ++t) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        double u = x + t * 3.0, v = y;
        double tone = 128 + 70 * std::sin(u * 0.021 + std::sin(v * 0.013) * 2) * std::cos(v * 0.017) +
                      40 * std::sin((u + v) * 0.05) + 20 * std::sin(u * 0.11 - v * 0.07);
        // Error-diffusion dither leaves a few tones of grain around the true one.
        int grain = static_cast<int>(Hash(static_cast<uint32_t>((y * 7919 + x + t * 3) * 2654435761u)) % 13) - 6;
        int i = std::clamp(static_cast<int>(tone) + grain, 0, 255);
        pixels[static_cast<size_t>(y) * width + x] = slot[i];
      }
    gif.GraphicControl(8, 1);
    gif.Image(ImageDescriptor{0, 0, width, height, true}, pixels);
  }
  gif.Trailer();
  return gif.Save(path);
}

bool WriteSprite(const std::string& path, int size, int frames) {
  GifBuilder gif(size, size, CartoonPalette());
  gif.NetscapeLoop(0);
  std::vector<uint8_t> pixels(static_cast<size_t>(size) * size);
  const double c = (size - 1) / 2.0;
  for (int t = 0; t < frames; ++t) {
    double a = 2 * kPi * t / 60;
    std::fill(pixels.begin(), pixels.end(), 0);  // index 0 is transparent
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        double dx = x - c, dy = y - c;
        double along = dx * std::cos(a) + dy * std::sin(a);
        double across = -dx * std::sin(a) + dy * std::cos(a);
        double r = std::hypot(dx, dy);
        uint8_t& p = pixels[static_cast<size_t>(y) * size + x];
        if (std::fabs(across) < size * 0.09 && std::fabs(along) < size * 0.42)  // spinning bar
          p = static_cast<uint8_t>(ShadeIndex(1, int(15 - std::fabs(across) / (size * 0.09) * 10)));
        if (r < size * 0.16)  // hub
          p = static_cast<uint8_t>(ShadeIndex(7, int(15 - r / (size * 0.16) * 12)));
        double ox = c + size * 0.36 * std::cos(-a * 2), oy = c + size * 0.36 * std::sin(-a * 2);
        double ro = std::hypot(x - ox, y - oy);
        if (ro < size * 0.1)  // orbiting dot
          p = static_cast<uint8_t>(ShadeIndex(3, int(15 - ro / (size * 0.1) * 12)));
      }
    gif.GraphicControl(4, 2, 0);
    gif.Image(ImageDescriptor{0, 0, size, size}, pixels);
  }
  gif.Trailer();
  return gif.Save(path);
}

bool WriteDelta(const std::string& path, int width, int height, int frames) {
  GifBuilder gif(width, height, CartoonPalette());
  gif.NetscapeLoop(0);
  std::vector<uint8_t> full, part;
  int pw = width / 4, ph = height / 4;
  for (int t = 0; t < frames; ++t) {
    DrawCartoon(width, height, t, full);
    gif.GraphicControl(10, 1);
    if (t == 0) {
      gif.Image(ImageDescriptor{0, 0, width, height}, full);
      continue;
    }
    int px = static_cast<int>((width - pw) * (0.5 + 0.5 * std::sin(t * 0.09)));
    int py = static_cast<int>((height - ph) * (0.5 + 0.5 * std::cos(t * 0.13)));
    part.resize(static_cast<size_t>(pw) * ph);
    for (int y = 0; y < ph; ++y)
      std::copy_n(&full[static_cast<size_t>(py + y) * width + px], pw, &part[static_cast<size_t>(y) * pw]);
    gif.Image(ImageDescriptor{px, py, pw, ph}, part);
  }
  gif.Trailer();
  return gif.Save(path);
}

bool WriteTerminal(const std::string& path, int width, int height, int frames) {
  const std::vector<Rgb> palette = {{0, 0, 0},     {205, 0, 0},   {0, 205, 0},     {205, 205, 0},
                                    {0, 0, 238},   {205, 0, 205}, {0, 205, 205},   {229, 229, 229},
                                    {127, 127, 127}, {255, 0, 0}, {0, 255, 0},     {255, 255, 0},
                                    {92, 92, 255}, {255, 0, 255}, {0, 255, 255},   {255, 255, 255}};
  constexpr int kCellW = 8, kCellH = 16, kMargin = 2;
  const int columns = (width - 2 * kMargin) / kCellW, rows = (height - 2 * kMargin) / kCellH;
  std::vector<uint8_t> screen(static_cast<size_t>(width) * height, 0);
  // A glyph of character c in colour ink at cell (col, row) of the screen.
  auto glyph = [&](int col, int row, uint32_t c, uint8_t ink) {
    for (int y = 0; y < kCellH; ++y)
      for (int x = 0; x < kCellW; ++x) {
        bool on = y >= 3 && y < 13 && x >= 1 && x < 7 && c != ' ' && (Hash(c * 131 + y * 8 + x) & 3) == 0;
        screen[static_cast<size_t>(kMargin + row * kCellH + y) * width + kMargin + col * kCellW + x] = on ? ink : 0;
      }
  };
  auto lineText = [&](int row, uint32_t seed) {
    int length = static_cast<int>(Hash(seed) % static_cast<uint32_t>(columns));
    for (int col = 0; col < columns; ++col)
      glyph(col, row, col < length ? 33 + Hash(seed + col) % 90 : ' ', static_cast<uint8_t>(7 + (Hash(seed) % 3) * 4));
  };
  auto rect = [&](int x, int y, int w, int h) {
    std::vector<uint8_t> part(static_cast<size_t>(w) * h);
    for (int r = 0; r < h; ++r)
      std::copy_n(&screen[static_cast<size_t>(y + r) * width + x], w, &part[static_cast<size_t>(r) * w]);
    return part;
  };

  GifBuilder gif(width, height, palette);
  gif.NetscapeLoop(0);
  for (int row = 0; row < rows; ++row) lineText(row, static_cast<uint32_t>(row));
  gif.GraphicControl(50, 1);
  gif.Image(ImageDescriptor{0, 0, width, height}, screen);
  int row = rows - 1, col = 0;
  for (int t = 1; t < frames; ++t) {
    uint32_t h = Hash(static_cast<uint32_t>(t) * 2654435761u);
    int x, y, w, hgt;
    if (t % 97 == 0) {  // the text scrolls: every line changes
      for (int r = 0; r < rows; ++r) lineText(r, static_cast<uint32_t>(t * 64 + r));
      x = 0, y = 0, w = width, hgt = height;
    } else if (h % 8 == 0) {  // a line of output
      row = (row + 1) % rows;
      col = 0;
      lineText(row, static_cast<uint32_t>(t));
      x = kMargin, y = kMargin + row * kCellH, w = columns * kCellW, hgt = kCellH;
    } else {  // a few typed characters at the cursor
      int n = 1 + static_cast<int>(h >> 8) % 4;
      if (col + n > columns) {
        row = (row + 1) % rows;
        col = 0;
      }
      for (int i = 0; i < n; ++i) glyph(col + i, row, 33 + (h >> (12 + i)) % 90, 10);
      x = kMargin + col * kCellW, y = kMargin + row * kCellH, w = n * kCellW, hgt = kCellH;
      col += n;
    }
    gif.GraphicControl(3 + static_cast<int>(h % 10), 1);
    gif.Image(ImageDescriptor{x, y, w, hgt}, rect(x, y, w, hgt));
  }
  gif.Trailer();
  return gif.Save(path);
}

}  // namespace scenes
