// One conversion from GIF file to movie (and page), and the quiet
// command-line conversion.
//
// Design: converter/app holds the jobs and the program's portable parts: the
// conversion job, settings store, HTML page, list rules, batch worker, file
// hand-off and the Linux command line. It uses converter/movie (the passes),
// converter/swf (the movie writer, header and assembly) and
// converter/platform; it knows no window (converter/ui is above it) and
// never the GIF decoder directly.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "conversion_options.h"
#include "progress_sink.h"

// Converts sourcePath into a movie at destinationPath, and writes the page
// beside it when options.writeHtml is on. progress may be null. cancel is the
// flag of whoever runs the job (null: the job cannot be cancelled); it is
// cleared at the start of each pass, so only a cancel during the emission
// pass stops the file.
// Returns 1 when the movie was written (or the job was cancelled during the
// emission pass), 0 when it could not be written. Paths of 260 bytes or more,
// and a destination that is the source file itself, are rejected with 0 and
// nothing written.
int ConvertFile(const char* sourcePath, const char* destinationPath, const ConversionOptions& options,
                ProgressSink* progress = nullptr, std::atomic<bool>* cancel = nullptr);

// Compression threads for options.threads: a positive request as it is (at
// most 64); 0 or less takes TERVANO_THREADS when it holds a number from 1 to
// 64, else the number of cores (at least 1).
int CompressionThreads(int32_t requested);

// The same conversion of a GIF held in memory (size bytes at data) into
// movie, through the same passes and writers but touching no file; no page
// is made. Returns 1 with the whole movie in movie (left empty when the job
// was cancelled during the emission pass), 0 when it could not be held.
int ConvertMemory(const uint8_t* data, size_t size, const ConversionOptions& options, std::vector<uint8_t>& movie,
                  ProgressSink* progress = nullptr, std::atomic<bool>* cancel = nullptr);

// commandLine is the text after the program name, starting with "-quite".
// Returns 1 when a conversion ran, 0 when the text named no usable file.
int QuietConvert(const char* commandLine);

// Shortens a path in place (buffer of at least 260 bytes) for the one-line
// status display: more than 40 bytes become head up to the first backslash,
// "...", and the last 34 bytes.
void ShortenPathForDisplay(char* text);
