// One conversion from GIF file to movie (and page), and the quiet
// command-line conversion.
//
// Design: converter/app holds the jobs and the program's portable parts: the
// conversion job, settings store, HTML page, list rules, batch worker, file
// hand-off and the Linux command line. It uses converter/movie (WriteMovie:
// one call makes a whole movie) and converter/platform; it knows no window
// (converter/ui is above it), no GIF decoder and no SWF tag.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion_options.h"
#include "conversion_result.h"
#include "progress_sink.h"

// Converts sourcePath into a movie at destinationPath, and writes the page
// beside it when options.writeHtml is on. progress may be null. cancel is the
// flag of whoever runs the job (null: the job cannot be cancelled); it is
// cleared at the start of each pass, so only a cancel during the emission
// pass (or the movie's assembly) stops the file.
// Nothing is written for a source that cannot be read or is no GIF, for a
// path of 260 bytes or more, or when the movie or the page would be the
// source itself. Movie and page replace older ones only when whole, and a
// failed movie leaves no page. Shows and prints nothing.
[[nodiscard]] ConversionResult ConvertFile(const char* sourcePath, const char* destinationPath, const ConversionOptions& options,
                             ProgressSink* progress = nullptr, std::atomic<bool>* cancel = nullptr);

// Why the movie holds only part of the GIF (result.sourceEnd) is told by
// each front end; the movie and page are written all the same.

// Compression threads for options.threads: a positive request as it is (at
// most 64); 0 or less takes TERVANO_THREADS when it holds a number from 1 to
// 64, else the number of cores (at least 1).
[[nodiscard]] int CompressionThreads(int32_t requested);

// The same conversion of a GIF held in memory (size bytes at data) into
// movie, through the same passes and writers but touching no file; no page
// is made and any bytes are decoded as far as they go. kConverted with the
// whole movie in movie, kCancelled (movie empty) when cancelled during the
// emission pass, kMovieNotWritable (with the reason) when it could not be
// made or held. The fuzzer's entry: bytes that are no GIF give the empty
// stage.
[[nodiscard]] ConversionResult ConvertMemory(const uint8_t* data, size_t size, const ConversionOptions& options,
                               std::vector<uint8_t>& movie, ProgressSink* progress = nullptr,
                               std::atomic<bool>* cancel = nullptr);

// A conversion held in memory, for a front end without files (the browser).
struct MemoryConversion {
  std::vector<uint8_t> movie;
  std::string page;  // the HTML page's bytes, when options.writeHtml
};

// The checks and results of ConvertFile on size bytes at data: kNotGif for
// bytes that do not begin with "GIF" (none at all included), kConverted with
// the movie (and the page naming movieName, "NAME.swf") as ConvertFile would
// write them, kCancelled, or kMovieNotWritable / kPageNotWritable with the
// reason. result.path is movieName (the page's name for a page failure).
[[nodiscard]] ConversionResult ConvertGifInMemory(const uint8_t* data, size_t size, const std::string& movieName,
                                                  const ConversionOptions& options, MemoryConversion& out,
                                                  ProgressSink* progress = nullptr,
                                                  std::atomic<bool>* cancel = nullptr);

// True when the file at path can be read and begins with the GIF signature
// (a file that passes may still fail to convert).
[[nodiscard]] bool IsGifFile(const char* path);

// The quiet conversion of one file with the stored options: the movie's
// name is the path's with its last three characters replaced by "swf".
// A path of fewer than 5 bytes converts nothing (kSourceUnreadable).
[[nodiscard]] ConversionResult QuietConvertFile(const char* path);

// commandLine is the text after the program name, starting with "-quite";
// the rest, after any spaces, is the path, taken unchanged. Returns the
// process's exit code: 0 when the file was converted (or cancelled), 1
// otherwise. Reports nothing.
[[nodiscard]] int QuietConvert(const char* commandLine);

// Shortens a path in place (buffer of at least 260 bytes) for the one-line
// status display: more than 40 bytes become head up to the first backslash,
// "...", and the last 34 bytes.
void ShortenPathForDisplay(char* text);
