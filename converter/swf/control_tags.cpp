#include "control_tags.h"

#include <cstdio>
#include <cstring>

#include "geometry.h"
#include "tag_buffer.h"

namespace {

constexpr int kTagEnd = 0;
constexpr int kTagShowFrame = 1;
constexpr int kTagRemoveObject = 5;
constexpr int kTagSetBackgroundColor = 9;
constexpr int kTagDoAction = 12;
constexpr int kTagProtect = 24;
constexpr int kTagPlaceObject2 = 26;

constexpr uint8_t kActionStop = 0x07;
constexpr uint8_t kActionAdd = 0x0A;
constexpr uint8_t kActionLess = 0x0F;
constexpr uint8_t kActionNot = 0x12;
constexpr uint8_t kActionGetVariable = 0x1C;
constexpr uint8_t kActionSetVariable = 0x1D;
constexpr uint8_t kActionSetProperty = 0x23;
constexpr uint8_t kActionPush = 0x96;
constexpr uint8_t kActionIf = 0x9D;
constexpr uint8_t kActionEnd = 0x00;
constexpr int kPropertyHighQuality = 16;

void WriteEmptyTag(SwfWriter& w, int code) {
  TagBuffer body;
  AppendTag(w, code, body, false);
}

void PushString(const char* text, TagBuffer& buf) {
  size_t n = std::strlen(text);
  PutU8(kActionPush, buf);
  PutU16(static_cast<uint32_t>(n + 2), buf);
  PutU8(0, buf);  // string value
  PutBytes(text, n, buf);
  PutU8(0, buf);
}

void BranchIf(int16_t offset, TagBuffer& buf) {
  PutU8(kActionIf, buf);
  PutU16(2, buf);
  PutU16(static_cast<uint16_t>(offset), buf);
}

void WriteStopScript(SwfWriter& w) {
  TagBuffer body;
  PutU8(kActionStop, body);
  PutU8(kActionEnd, body);
  AppendTag(w, kTagDoAction, body, false);
}

// Sets _highquality to 0 on the movie's own timeline.
void WriteQualitySwitch(SwfWriter& w) {
  TagBuffer body;
  static const uint8_t kActions[] = {kActionPush, 0x0C, 0x00, 0x00, 0x00,  // push "" and
                                     0x07, kPropertyHighQuality, 0x00, 0x00, 0x00,  // integer 16 and
                                     0x07, 0x00, 0x00, 0x00, 0x00,                  // integer 0
                                     kActionSetProperty, kActionEnd};
  PutBytes(kActions, sizeof kActions, body);
  AppendTag(w, kTagDoAction, body, true);
}

// Stops on this frame once the variable "a" has reached limit; counts a up.
void WriteLoopLimit(SwfWriter& w, int32_t limit) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(limit));
  TagBuffer body;
  PushString("a", body);
  PutU8(kActionGetVariable, body);
  PushString(digits, body);
  PutU8(kActionLess, body);
  PutU8(kActionNot, body);
  PutU8(kActionNot, body);
  BranchIf(1, body);
  PutU8(kActionStop, body);
  PushString("a", body);
  PushString("a", body);
  PutU8(kActionGetVariable, body);
  PushString("1", body);
  PutU8(kActionAdd, body);
  PutU8(kActionSetVariable, body);
  PutU8(kActionEnd, body);
  AppendTag(w, kTagDoAction, body, false);
}

}  // namespace

void WriteShowFrame(SwfWriter& w) { WriteEmptyTag(w, kTagShowFrame); }

void WriteEnd(SwfWriter& w) { WriteEmptyTag(w, kTagEnd); }

void WriteProtect(SwfWriter& w) { WriteEmptyTag(w, kTagProtect); }

void WriteBackgroundColor(SwfWriter& w, uint32_t rgb) {
  TagBuffer body;
  PutU8((rgb >> 16) & 0xFF, body);
  PutU8((rgb >> 8) & 0xFF, body);
  PutU8(rgb & 0xFF, body);
  AppendTag(w, kTagSetBackgroundColor, body, false);
}

void WritePlace(SwfWriter& w, int depth, int characterId) {
  TagBuffer body;
  PutU8(0x06, body);  // has matrix, has character
  PutU16(static_cast<uint32_t>(depth), body);
  PutU16(static_cast<uint32_t>(characterId), body);
  WriteMatrix(SwfMatrix(), body);
  AppendTag(w, kTagPlaceObject2, body, false);
}

void WriteRemove(SwfWriter& w, int depth, int characterId) {
  TagBuffer body;
  PutU16(static_cast<uint32_t>(characterId), body);
  PutU16(static_cast<uint32_t>(depth), body);
  AppendTag(w, kTagRemoveObject, body, false);
}

void WriteFrameScript(SwfWriter& w, int32_t mode) {
  if (mode == kScriptStop)
    WriteStopScript(w);
  else if (mode == kScriptLowQuality)
    WriteQualitySwitch(w);
  else if (mode > 0)
    WriteLoopLimit(w, mode);
}
