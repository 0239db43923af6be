#include "link_button.h"

#include <cstring>

#include "swf_writer.h"
#include "geometry.h"
#include "tag_buffer.h"

namespace {
constexpr int kTagDefineButton2 = 34;
constexpr uint8_t kButtonStateHitTest = 0x08;
constexpr uint16_t kCondOverUpToOverDown = 0x0004;
constexpr uint8_t kActionGetUrl = 0x83;
}  // namespace

void WriteLinkButton(SwfWriter& w, int hitDepth, int buttonId, const char* url) {
  if (!url) url = "";
  size_t k = std::strlen(url);
  // The action length field is 16 bits and holds the URL plus two zeros; a
  // longer URL cannot be written, and a cut one would open the wrong page.
  if (k > 65535 - 2) {
    MarkBodyFailed(w);
    return;
  }
  TagBuffer body;
  PutU16(static_cast<uint32_t>(buttonId), body);
  PutU8(0, body);    // push button
  PutU16(10, body);  // to the first condition-action record
  PutU8(kButtonStateHitTest, body);
  PutU16(static_cast<uint32_t>(hitDepth + 1), body);
  PutU16(static_cast<uint32_t>(hitDepth), body);
  WriteMatrix(SwfMatrix(), body);
  PutU8(0x04, body);  // colour transform with no terms
  PutU8(0, body);     // end of button records
  PutU16(0, body);    // last condition-action record
  PutU16(kCondOverUpToOverDown, body);
  PutU8(kActionGetUrl, body);
  PutU16(static_cast<uint32_t>(k + 2), body);
  PutBytes(url, k, body);
  PutU8(0, body);  // end of URL
  PutU8(0, body);  // empty target
  PutU8(0, body);  // end of actions
  AppendTag(w, kTagDefineButton2, body, false);
}
