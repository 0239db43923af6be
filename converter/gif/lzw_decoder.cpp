#include "lzw_decoder.h"

#include <cstring>


namespace {

// Rows of an interlaced image: four passes, each with its first row and step.
constexpr int32_t kPassFirstRow[4] = {0, 4, 2, 1};
constexpr int32_t kPassRowStep[4] = {8, 8, 4, 2};

// Where the next colour index goes. Coordinates are relative to the image
// rectangle; `row` is the start of the screen row of image row y, or null
// when nothing of that row is on the screen (or the image is complete).
struct Raster {
  uint8_t* screen;
  int32_t stride, screenHeight;
  int32_t left, top, width, height;
  int32_t colFirst, colEnd;  // image columns that lie on the screen
  int32_t x, y;
  int32_t pass;  // -1 for a non-interlaced image, else 0..3 (4: done)
  uint8_t* row;
  int64_t stored, total;

  void SetRow() {
    int32_t sy = top + y;
    if (screen && colFirst < colEnd && y < height && sy >= 0 && sy < screenHeight)
      row = screen + static_cast<size_t>(sy) * static_cast<size_t>(stride);
    else
      row = nullptr;
  }

  void NextRow() {
    x = 0;
    if (pass < 0) {
      ++y;
    } else {
      y += kPassRowStep[pass];
      // Passes whose first row is already below the image are skipped.
      while (y >= height && ++pass < 4) y = kPassFirstRow[pass];
    }
    SetRow();
  }

  // Stores values one at a time; used for strings that cross a row end or
  // the screen edge.
  void Put(const int16_t* values, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
      if (stored >= total) return;  // past the last row: discarded
      if (row && x >= colFirst && x < colEnd) {
        int v = values[i];
        row[left + x] = static_cast<uint8_t>(v < 0 ? 0 : v);
      }
      ++stored;
      if (++x == width) NextRow();
    }
  }

  // Gives every position not yet stored the value v.
  void FillRest(uint8_t v) {
    while (stored < total) {
      if (row) {
        int32_t a = x > colFirst ? x : colFirst;
        if (a < colEnd) std::memset(row + left + a, v, static_cast<size_t>(colEnd - a));
      }
      stored += width - x;
      NextRow();
    }
  }
};

// Reads sub-block lengths until the block terminator or the end of the
// file; true when the terminator was read.
bool SkipSubBlocks(GifInput& in) {
  for (;;) {
    int n = ReadByte(in);
    if (n < 0) return false;
    if (n == 0) return true;
    SkipBytes(in, static_cast<size_t>(n));
  }
}

}  // namespace

LzwResult DecodeLzw(LzwDecoder& decoder, GifInput& in, const LzwRaster& raster, int fillIndex,
                    const std::atomic<bool>* cancel) {
  LzwResult result;

  Raster r;
  r.screen = raster.screen;
  r.stride = raster.stride;
  r.screenHeight = raster.screenHeight;
  r.left = raster.left;
  r.top = raster.top;
  r.width = raster.width > 0 ? raster.width : 0;
  r.height = raster.height > 0 ? raster.height : 0;
  int32_t visibleWidth = raster.screenWidth < raster.stride ? raster.screenWidth : raster.stride;
  r.colFirst = r.left < 0 ? -r.left : 0;
  r.colEnd = visibleWidth - r.left;
  if (r.colEnd > r.width) r.colEnd = r.width;
  if (r.colFirst > r.colEnd) r.colFirst = r.colEnd;
  r.x = 0;
  r.y = 0;
  r.pass = raster.interlaced ? 0 : -1;
  r.stored = 0;
  r.total = static_cast<int64_t>(r.width) * r.height;
  r.SetRow();

  const int minimumCodeSize = ReadByte(in);
  const uint8_t fill = static_cast<uint8_t>(fillIndex);

  if (minimumCodeSize < 0) {  // end of file before the data
    result.end = LzwEnd::kDataEnded;
    r.FillRest(fill);
    result.pixelsFilled = r.total;
    return result;
  }
  // Nothing to store, or a table that cannot hold the roots, clear and end.
  if (r.total == 0 || minimumCodeSize > kLzwMaxCodeWidth - 1) {
    result.end = LzwEnd::kNothingToDo;
    result.terminatorSeen = SkipSubBlocks(in);
    r.FillRest(fill);
    result.pixelsFilled = r.total;
    return result;
  }

  LzwEntry* const table = decoder.table;
  int16_t* const str = decoder.string;
  const int32_t clearCode = 1 << minimumCodeSize;
  const int32_t endCode = clearCode + 1;
  for (int32_t i = 0; i < clearCode; ++i) table[i] = LzwEntry{-1, static_cast<int16_t>(i), 1};
  // Never expanded, but keep them harmless.
  table[clearCode] = LzwEntry{-1, 0, 1};
  table[endCode] = LzwEntry{-1, 0, 1};

  uint32_t acc = 0;
  int32_t bits = 0;
  int32_t subLength = 0, taken = 0;
  bool ended = false;
  int32_t nextFree = clearCode + 2;
  int32_t width = minimumCodeSize + 1;
  uint32_t mask = (1u << width) - 1;
  bool full = false;
  int32_t prev = -1;      // previous code; -1 right after a reset
  int32_t prevFirst = 0;  // first colour index of the previous code's string
  int32_t code = 0;
  LzwEnd end = LzwEnd::kComplete;

  for (;;) {
    if (r.stored >= r.total) break;
    if (cancel && cancel->load(std::memory_order_relaxed)) {
      end = LzwEnd::kCancelled;
      break;
    }

    // Next code, least significant bit first, across sub-blocks. A zero
    // length is the block terminator: nothing after it is data.
    while (bits < width) {
      if (taken == subLength) {
        int n = ReadByte(in);
        if (n <= 0) {
          ended = true;
          result.terminatorSeen = (n == 0);
          break;
        }
        subLength = n;
        taken = 0;
      }
      int b = ReadByte(in);
      if (b < 0) {
        ended = true;
        break;
      }
      ++taken;
      acc |= static_cast<uint32_t>(b) << bits;
      bits += 8;
    }
    if (ended) {
      end = LzwEnd::kDataEnded;
      break;
    }
    code = static_cast<int32_t>(acc & mask);
    acc >>= width;
    bits -= width;

    if (code == clearCode) {
      nextFree = clearCode + 2;
      width = minimumCodeSize + 1;
      mask = (1u << width) - 1;
      full = false;
      prev = -1;
      continue;
    }
    if (code == endCode) {
      end = LzwEnd::kEndCode;
      break;
    }

    if (prev < 0) {
      // First code after a reset must be a root.
      if (code >= clearCode) code = 0;
      if (r.row && r.x >= r.colFirst && r.x < r.colEnd) r.row[r.left + r.x] = static_cast<uint8_t>(code);
      ++r.stored;
      if (++r.x == r.width) r.NextRow();
      prev = code;
      prevFirst = code;
      continue;
    }

    if (code > nextFree) code = nextFree;  // undefined: decode as the next one
    bool added = false;
    if (code == nextFree) {
      // Not in the table yet (possible only while it is not full): the
      // previous string plus its own first value.
      table[nextFree] = LzwEntry{static_cast<int16_t>(prev), static_cast<int16_t>(prevFirst),
                                 static_cast<int16_t>(table[prev].length + 1)};
      added = true;
    }

    const int32_t len = table[code].length;
    int32_t first;
    if (r.row && r.x >= r.colFirst && len <= r.colEnd - r.x) {
      // Fits in the visible part of the current row: write straight to the
      // screen, back to front.
      uint8_t* d = r.row + r.left + r.x + len - 1;
      int32_t c = code;
      for (int32_t i = len; i > 1; --i) {
        *d-- = static_cast<uint8_t>(table[c].suffix);
        c = table[c].prefix;
      }
      first = table[c].suffix;
      *d = static_cast<uint8_t>(first);
      r.stored += len;
      r.x += len;
      if (r.x == r.width) r.NextRow();
    } else {
      int32_t c = code;
      for (int32_t i = len - 1; i > 0; --i) {
        str[i] = table[c].suffix;
        c = table[c].prefix;
      }
      first = table[c].suffix;
      str[0] = static_cast<int16_t>(first);
      r.Put(str, len);
    }

    if (!added && !full) {
      table[nextFree] = LzwEntry{static_cast<int16_t>(prev), static_cast<int16_t>(first),
                                 static_cast<int16_t>(table[prev].length + 1)};
      added = true;
    }
    if (added) {
      ++nextFree;
      if (nextFree >= kLzwMaxCodes) {
        full = true;  // entries stay as they are until a clear code
        width = kLzwMaxCodeWidth;
      } else if (nextFree >= (1 << width) && width < kLzwMaxCodeWidth) {
        ++width;
      }
      mask = (1u << width) - 1;
    }
    prev = code;
    prevFirst = first;
  }

  result.end = end;
  result.codeWidth = width;
  result.nextFreeCode = nextFree;
  result.tableFull = full;
  result.pixelsStored = r.stored;
  if (end != LzwEnd::kCancelled && r.stored < r.total) {
    // Data ended (or an early end code): the rest of the image is defined.
    r.FillRest(fill);
    result.pixelsFilled = r.total - result.pixelsStored;
  }

  if (!ended) {
    // Leave the input just after the block terminator.
    SkipBytes(in, static_cast<size_t>(subLength - taken));
    if (SkipSubBlocks(in)) result.terminatorSeen = true;
  }
  return result;
}
