#include "movie_name.h"

std::string MoviePathOf(const std::string& gifPath) {
  return gifPath.substr(0, gifPath.size() - 3) + "swf";
}
