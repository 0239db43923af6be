// The movie body is collected in a private temporary file while frames are
// written; the header (which needs the final length) is put in front at the end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct SwfWriter {
  FILE* body = nullptr;
  char bodyPath[1024] = {0};
  int32_t bodyLength = 0;
  bool failed = false;  // a write to the body went wrong; the movie is not complete
};

SwfWriter& TheSwfWriter();

// Creates a new, unique body file in the system temp folder. Returns 1, or 0
// when it cannot be created (then nothing is open and AppendBody does nothing).
int OpenBody();
// Appends n bytes; returns the new body length.
int32_t AppendBody(const void* bytes, size_t n);
// Marks the body as incomplete (a tag could not be composed).
void MarkBodyFailed();
// Closes and deletes the body file.
void DiscardBody();
// Writes header + body to the destination and deletes the body file.
// Returns 1, or 0 when the destination cannot be written completely (a partly
// written destination is removed) or the body itself was incomplete.
int AssembleMovie(const char* destinationPath, const uint8_t* header, int headerLength);
