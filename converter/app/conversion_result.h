// What one conversion did. The core only says what happened; each front end
// (the batch window, the Linux command, the quiet command) turns it into its
// own report.
#pragma once
#include <string>

#include "../movie/movie_writing.h"

enum class ConversionStatus {
  kConverted,            // movie (and page, when asked) written
  kCancelled,            // stopped by its cancel flag: nothing written, old files kept
  kSourceUnreadable,     // the source cannot be opened or read
  kNotGif,               // the source does not begin with "GIF"
  kPathTooLong,          // a path of 260 bytes or more
  kDestinationIsSource,  // the movie or the page would replace the source
  kMovieNotWritable,     // the movie could not be written; an old one is as it was
  kPageNotWritable,      // the movie was written, its page could not be
};

struct ConversionResult {
  ConversionStatus status = ConversionStatus::kConverted;
  std::string path;    // the file concerned: source, movie or page
  std::string reason;  // the system's reason, when it gave one
  // With a movie written: why the GIF's frames ended. Anything but kWhole
  // means the movie holds only the frames before the stop.
  SourceEnd sourceEnd = SourceEnd::kWhole;
};

// Converted or cancelled: nothing went wrong.
inline bool Succeeded(const ConversionResult& r) {
  return r.status == ConversionStatus::kConverted || r.status == ConversionStatus::kCancelled;
}
