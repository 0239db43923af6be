// GIF files of the kinds people convert, written with the tests' GIF writer.
#pragma once
#include <string>

namespace scenes {

// Shaded balls and boxes moving over a slowly shifting gradient: every frame
// full-screen, 256 colours, leave-in-place disposal.
bool WriteCartoon(const std::string& path, int width, int height, int frames);

// A dithered photograph panning slowly: 256 colours in an unsorted palette,
// so neighbouring pixels differ as in a quantised photo; interlaced.
bool WritePhoto(const std::string& path, int width, int height, int frames);

// A small spinning icon on a transparent background, restored to the
// background after every frame.
bool WriteSprite(const std::string& path, int size, int frames);

// The cartoon as an optimising encoder stores it: one full frame, then only a
// moving rectangle of width x height / 16 per frame.
bool WriteDelta(const std::string& path, int width, int height, int frames);

// A terminal session as a screen recorder stores it: one full screen of text
// in 16 colours, then per frame only the rectangle that changed: a typed
// character or word, a line of output, now and then the whole screen when
// the text scrolls.
bool WriteTerminal(const std::string& path, int width, int height, int frames);

}  // namespace scenes
