#include "movie_name.h"

#include "../platform/wide_text.h"

std::string MoviePathOf(const std::string& gifPath) {
#ifdef _WIN32
  // Characters, not bytes: the path is UTF-8, and a name whose last
  // characters are not "gif" must not be cut inside one.
  return gifPath.substr(0, LastCharactersStart(gifPath, 3)) + "swf";
#else
  return gifPath.substr(0, gifPath.size() - 3) + "swf";  // names are bytes here
#endif
}
