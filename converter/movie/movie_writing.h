// Writing one movie from one GIF: the movie folder's one entry.
//
// Design: the only folder that knows both sides. It uses converter/gif (the
// decoder), converter/swf (the movie writer and its tags) and
// converter/platform, and nothing above them. WriteMovie runs both passes
// over the GIF, the compression threads, the End tag, the header and the
// assembly, into a file or into memory; the caller hands it the options, a
// FrameListener and a cancel flag, and gets a MovieResult.
//
// Names kept from the program's first design, for readers of its older
// notes:
//   GifConverter            -> MovieJob (movie_job.h, the state of one job)
//   ConvertPass(g, nullptr) -> CountFrames(job)   (the counting pass)
//   ConvertPass(g, &movie)  -> EmitFrames(job, movie) (the emission pass)
//   RunConversion (app)     -> WriteMovie (here)
//   the app's threads, End, MakeHeader/ComposeHeader, AssembleMovie calls
//                           -> WriteMovie (here)
//   BatchDone (free function of the main window) -> OnBatchDoneMessage; the
//                              sink's BatchDone method keeps its name
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_path.h"

// At most this many compression threads for one movie.
extern const int kMaxCompressionThreads;

// What the movie is made with. Flags: 0 off, anything else on.
struct MovieOptions {
  int32_t changeLoop = 0;        // loopForever/playCount decide, not the GIF
  int32_t loopForever = 0;
  int32_t playCount = 0;         // 1 plays once
  int32_t borderCorrection = 0;  // transparent one-pixel border
  int32_t useGifBackground = 0;
  int32_t optimiseCanvas = 0;    // crop full-screen frames
  int32_t useLinkUrl = 0;        // linkUrl is used only when set (it may be empty)
  std::string linkUrl;
  int32_t protect = 0;
  int32_t compressionLevel = 9;
  // Bitmaps are compressed on this many threads (1: on the caller's thread);
  // never more than there are frames.
  int32_t compressionThreads = 1;
};

// Told on the thread that calls WriteMovie.
class FrameListener {
 public:
  virtual ~FrameListener() = default;
  // The counting pass found this many frames.
  virtual void FrameCount(int32_t frames) = 0;
  // The emission pass starts on one more frame.
  virtual void FrameDone() = 0;
};

// Where the GIF is: a file, or size bytes at data that outlive the call.
struct MovieSource {
  FilePath path;
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool inMemory = false;
};
[[nodiscard]] MovieSource GifFile(const FilePath& path);
[[nodiscard]] MovieSource GifInMemory(const uint8_t* data, size_t size);

// Where the movie goes: a file, replaced only by a whole movie, or memory.
struct MovieTarget {
  FilePath path;
  std::vector<uint8_t>* memory = nullptr;
};
[[nodiscard]] MovieTarget MovieFile(const FilePath& path);
[[nodiscard]] MovieTarget MovieInMemory(std::vector<uint8_t>& movie);

// Why the GIF's frames ended. A movie is written in every case, with the
// frames read before the stop.
enum class SourceEnd {
  kWhole,           // the stream's end
  kImageTooLarge,   // an image wider or higher than the screen
  kScreenTooLarge,  // the screen is too large to hold: no frame at all
  kNotGif,          // bytes in memory that are no GIF: the movie is the empty stage
};

enum class MovieStatus {
  kWritten,           // the target holds the whole movie
  kCancelled,         // the cancel flag stopped it; a file target is as it was
  kSourceUnreadable,  // the GIF file could not be opened (or no longer begins as one)
  kOutOfMemory,       // the job's state or the movie could not be held
  kNotWritable,       // the body or the target could not be written
};

struct MovieResult {
  MovieStatus status = MovieStatus::kNotWritable;
  std::string reason;  // the system's reason, when it gave one
  SourceEnd sourceEnd = SourceEnd::kWhole;
  // What a page needs: the GIF's screen (the empty 18 x 18 stage when it has
  // none) and the movie's background colour, 0xRRGGBB.
  int32_t screenWidth = 0, screenHeight = 0;
  uint32_t backgroundColour = 0;
  int32_t frameCount = 0;  // GIF frames in the movie
};

// Converts the GIF into a movie. listener may be null. cancel is cleared at
// the start of each pass, so only a cancel during the emission pass or the
// assembly stops the movie.
[[nodiscard]] MovieResult WriteMovie(const MovieSource& source, const MovieOptions& options,
                                     const MovieTarget& target, FrameListener* listener,
                                     std::atomic<bool>& cancel);

// Whether bytes begin as every GIF does: the job checks its source with
// this before anything is written.
[[nodiscard]] bool StartsAsGif(const unsigned char* bytes, size_t size);
