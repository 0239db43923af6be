#include "lzw_decoder.h"

#include <cstring>


namespace {

// Codes of the image data, least significant bit first, read across the
// data sub-blocks as each one runs out.
class CodeReader {
 public:
  explicit CodeReader(GifInput& in) : in_(in) {}

  // The next code of `width` bits; false once the data has ended.
  bool Read(int32_t width, int32_t& code) {
    while (bits_ < width) {
      if (taken_ == subLength_ && !StartSubBlock()) return false;
      int b = ReadByte(in_);
      if (b < 0) {
        ended_ = true;
        return false;
      }
      ++taken_;
      acc_ |= static_cast<uint32_t>(b) << bits_;
      bits_ += 8;
    }
    code = static_cast<int32_t>(acc_ & ((1u << width) - 1));
    acc_ >>= width;
    bits_ -= width;
    return true;
  }

  // Leaves the input just after the block terminator (or at the end of the
  // file); nothing to do once the data has ended.
  void SkipRest();

  bool terminatorSeen() const { return terminatorSeen_; }

 private:
  // A zero length is the block terminator: nothing after it is data.
  bool StartSubBlock() {
    int n = ReadByte(in_);
    if (n <= 0) {
      ended_ = true;
      terminatorSeen_ = n == 0;
      return false;
    }
    subLength_ = n;
    taken_ = 0;
    return true;
  }

  GifInput& in_;
  uint32_t acc_ = 0;
  int32_t bits_ = 0;
  int32_t subLength_ = 0, taken_ = 0;
  bool ended_ = false;
  bool terminatorSeen_ = false;
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

void CodeReader::SkipRest() {
  if (ended_) return;
  SkipBytes(in_, static_cast<size_t>(subLength_ - taken_));
  if (SkipSubBlocks(in_)) terminatorSeen_ = true;
}

// The strings since the last clear code: the roots, clear and end, then one
// entry per code read, the code width growing with them up to 12 bits.
class StringTable {
 public:
  StringTable(LzwEntry* entries, int32_t minimumCodeSize)
      : entries_(entries), minimumCodeSize_(minimumCodeSize), clearCode_(1 << minimumCodeSize) {
    for (int32_t i = 0; i < clearCode_; ++i) entries_[i] = LzwEntry{-1, static_cast<int16_t>(i), 1};
    // Never expanded, but keep them harmless.
    entries_[clearCode_] = LzwEntry{-1, 0, 1};
    entries_[clearCode_ + 1] = LzwEntry{-1, 0, 1};
    Reset();
  }

  void Reset() {
    nextFree_ = clearCode_ + 2;
    width_ = minimumCodeSize_ + 1;
    full_ = false;
  }

  // The string of prefix followed by suffix goes at the next free code,
  // unless the table is full: then entries stay as they are until a clear.
  void Add(int32_t prefix, int32_t suffix) {
    if (full_) return;
    entries_[nextFree_] = LzwEntry{static_cast<int16_t>(prefix), static_cast<int16_t>(suffix),
                                   static_cast<int16_t>(entries_[prefix].length + 1)};
    ++nextFree_;
    if (nextFree_ >= kLzwMaxCodes) {
      full_ = true;
      width_ = kLzwMaxCodeWidth;
    } else if (nextFree_ >= (1 << width_) && width_ < kLzwMaxCodeWidth) {
      ++width_;
    }
  }

  int32_t Length(int32_t code) const { return entries_[code].length; }

  // Writes the string of code back to front, its last value at `last`, by
  // walking the prefixes; returns its first value.
  template <typename T>
  int32_t Expand(int32_t code, T* last) const {
    for (int32_t i = entries_[code].length; i > 1; --i) {
      *last-- = static_cast<T>(entries_[code].suffix);
      code = entries_[code].prefix;
    }
    const int32_t first = entries_[code].suffix;
    *last = static_cast<T>(first);
    return first;
  }

  int32_t clearCode() const { return clearCode_; }
  int32_t endCode() const { return clearCode_ + 1; }
  int32_t width() const { return width_; }
  int32_t nextFree() const { return nextFree_; }
  bool full() const { return full_; }

 private:
  LzwEntry* entries_;
  int32_t minimumCodeSize_;
  int32_t clearCode_;
  int32_t nextFree_ = 0;
  int32_t width_ = 0;
  bool full_ = false;
};

// Rows of an interlaced image: four passes, each with its first row and step.
constexpr int32_t kPassFirstRow[4] = {0, 4, 2, 1};
constexpr int32_t kPassRowStep[4] = {8, 8, 4, 2};

// Places colour indices in the image rectangle, row by row or pass by pass,
// and writes those that lie on the screen.
class RasterOutput {
 public:
  explicit RasterOutput(const LzwRaster& raster);

  int64_t stored() const { return stored_; }
  int64_t total() const { return total_; }
  bool Done() const { return stored_ >= total_; }

  // One value at the cursor.
  void PutOne(int32_t v) {
    if (row_ && x_ >= colFirst_ && x_ < colEnd_) row_[left_ + x_] = static_cast<uint8_t>(v);
    ++stored_;
    if (++x_ == width_) NextRow();
  }

  // Where n values can be written straight to the screen at the cursor, or
  // null when they cross a row end or the screen edge; Advance(n) after.
  uint8_t* Span(int32_t n) const {
    return row_ && x_ >= colFirst_ && n <= colEnd_ - x_ ? row_ + left_ + x_ : nullptr;
  }
  void Advance(int32_t n) {
    stored_ += n;
    x_ += n;
    if (x_ == width_) NextRow();
  }

  // Stores values one at a time, clipped; values after the last row are discarded.
  void Put(const int16_t* values, int32_t n);
  // Gives every position not yet stored the value v.
  void FillRest(uint8_t v);

 private:
  void SetRow() {
    int32_t sy = top_ + y_;
    if (screen_ && colFirst_ < colEnd_ && y_ < height_ && sy >= 0 && sy < screenHeight_)
      row_ = screen_ + static_cast<size_t>(sy) * static_cast<size_t>(stride_);
    else
      row_ = nullptr;
  }

  void NextRow() {
    x_ = 0;
    if (pass_ < 0) {
      ++y_;
    } else {
      y_ += kPassRowStep[pass_];
      // Passes whose first row is already below the image are skipped.
      while (y_ >= height_ && ++pass_ < 4) y_ = kPassFirstRow[pass_];
    }
    SetRow();
  }

  uint8_t* screen_;
  int32_t stride_, screenHeight_;
  int32_t left_, top_, width_, height_;
  int32_t colFirst_, colEnd_;  // image columns that lie on the screen
  // Cursor, relative to the image rectangle; row_ is the start of the screen
  // row of image row y_, or null when nothing of it is on the screen (or the
  // image is complete).
  int32_t x_ = 0, y_ = 0;
  int32_t pass_;  // -1 for a non-interlaced image, else 0..3 (4: done)
  uint8_t* row_ = nullptr;
  int64_t stored_ = 0, total_;
};

RasterOutput::RasterOutput(const LzwRaster& raster)
    : screen_(raster.screen),
      stride_(raster.stride),
      screenHeight_(raster.screenHeight),
      left_(raster.left),
      top_(raster.top),
      width_(raster.width > 0 ? raster.width : 0),
      height_(raster.height > 0 ? raster.height : 0),
      pass_(raster.interlaced ? 0 : -1),
      total_(static_cast<int64_t>(width_) * height_) {
  int32_t visibleWidth = raster.screenWidth < raster.stride ? raster.screenWidth : raster.stride;
  colFirst_ = left_ < 0 ? -left_ : 0;
  colEnd_ = visibleWidth - left_;
  if (colEnd_ > width_) colEnd_ = width_;
  if (colFirst_ > colEnd_) colFirst_ = colEnd_;
  SetRow();
}

void RasterOutput::Put(const int16_t* values, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    if (stored_ >= total_) return;
    if (row_ && x_ >= colFirst_ && x_ < colEnd_) {
      int v = values[i];
      row_[left_ + x_] = static_cast<uint8_t>(v < 0 ? 0 : v);
    }
    ++stored_;
    if (++x_ == width_) NextRow();
  }
}

void RasterOutput::FillRest(uint8_t v) {
  while (stored_ < total_) {
    if (row_) {
      int32_t a = x_ > colFirst_ ? x_ : colFirst_;
      if (a < colEnd_) std::memset(row_ + left_ + a, v, static_cast<size_t>(colEnd_ - a));
    }
    stored_ += width_ - x_;
    NextRow();
  }
}

// Outputs the string of code; returns its first value. Strings that fit the
// visible part of the row are written straight to the screen.
int32_t PutString(const StringTable& table, int32_t code, RasterOutput& out, int16_t* scratch) {
  const int32_t len = table.Length(code);
  if (uint8_t* span = out.Span(len)) {
    const int32_t first = table.Expand(code, span + len - 1);
    out.Advance(len);
    return first;
  }
  const int32_t first = table.Expand(code, scratch + len - 1);
  out.Put(scratch, len);
  return first;
}

// Decodes codes until the image is complete, an end code, the end of the
// data or a cancel.
LzwEnd DecodeCodes(CodeReader& codes, StringTable& table, RasterOutput& out, int16_t* scratch,
                   const std::atomic<bool>* cancel) {
  int32_t prev = -1;      // previous code; -1 right after a clear code
  int32_t prevFirst = 0;  // first colour index of the previous code's string
  while (!out.Done()) {
    if (cancel && cancel->load(std::memory_order_relaxed)) return LzwEnd::kCancelled;
    int32_t code;
    if (!codes.Read(table.width(), code)) return LzwEnd::kDataEnded;
    if (code == table.clearCode()) {
      table.Reset();
      prev = -1;
      continue;
    }
    if (code == table.endCode()) return LzwEnd::kEndCode;

    int32_t first;
    if (prev < 0) {
      // First code after a reset must be a root.
      if (code >= table.clearCode()) code = 0;
      out.PutOne(code);
      first = code;
    } else {
      const bool known = code < table.nextFree();
      if (!known) {
        // Not in the table yet (possible only while it is not full): the
        // previous string plus its own first value. Codes beyond the next
        // free one are taken as it.
        code = table.nextFree();
        table.Add(prev, prevFirst);
      }
      first = PutString(table, code, out, scratch);
      if (known) table.Add(prev, first);
    }
    prev = code;
    prevFirst = first;
  }
  return LzwEnd::kComplete;
}

}  // namespace

LzwResult DecodeLzw(LzwDecoder& decoder, GifInput& in, const LzwRaster& raster, int fillIndex,
                    const std::atomic<bool>* cancel) {
  LzwResult result;
  RasterOutput out(raster);
  const uint8_t fill = static_cast<uint8_t>(fillIndex);
  const int minimumCodeSize = ReadByte(in);
  // End of file before the data; or nothing to store, or a table that cannot
  // hold the roots, clear and end.
  if (minimumCodeSize < 0 || out.total() == 0 || minimumCodeSize > kLzwMaxCodeWidth - 1) {
    if (minimumCodeSize < 0) {
      result.end = LzwEnd::kDataEnded;
    } else {
      result.end = LzwEnd::kNothingToDo;
      result.terminatorSeen = SkipSubBlocks(in);
    }
    out.FillRest(fill);
    result.pixelsFilled = out.total();
    return result;
  }

  StringTable table(decoder.table, minimumCodeSize);
  CodeReader codes(in);
  result.end = DecodeCodes(codes, table, out, decoder.string, cancel);
  result.codeWidth = table.width();
  result.nextFreeCode = table.nextFree();
  result.tableFull = table.full();
  result.pixelsStored = out.stored();
  if (result.end != LzwEnd::kCancelled && !out.Done()) {
    // Data ended (or an early end code): the rest of the image is defined.
    out.FillRest(fill);
    result.pixelsFilled = out.total() - result.pixelsStored;
  }
  codes.SkipRest();
  result.terminatorSeen = codes.terminatorSeen();
  return result;
}
