// Bit fields inside a TagBuffer: most significant bit first, OR-ed into
// bytes that the buffer keeps zeroed (growing it as the run goes on).
#pragma once
#include <cstdint>
#include "tag_buffer.h"

struct BitWriter {
  TagBuffer* buf = nullptr;
  size_t start = 0;       // byte where the run began
  uint32_t bitCount = 0;  // bits written since ResetBits, not reduced mod 8
};

void ResetBits(BitWriter& bits, TagBuffer& buf);
// Writes the n low bits of value; n <= 0 writes nothing.
void PutBits(BitWriter& bits, int n, uint32_t value);
// n-bit two's complement; n == 0 writes nothing.
void PutSignedBits(BitWriter& bits, int n, int32_t value);
// Completes the current byte and moves the buffer's position past the run.
void AlignBits(BitWriter& bits);

// Width of a signed field that holds both a and b: significant bits of
// max(|a|, |b|) plus one, or 0 when both are 0.
[[nodiscard]] int SignedBitCount(int32_t a, int32_t b);
