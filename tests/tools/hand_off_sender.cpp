// A starting copy of the program, as far as the hand-off goes: stores
// "<prefix><i>.gif" for i = 0 .. count - 1.
//   hand_off_sender PREFIX COUNT
#include <cstdlib>
#include <string>

#include "app/hand_off.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  int count = std::atoi(argv[2]);
  for (int i = 0; i < count; ++i)
    if (!StoreHandedText((std::string(argv[1]) + std::to_string(i) + ".gif").c_str()).done()) return 1;
  return 0;
}
