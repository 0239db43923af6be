// Tags that define no character: frames, end, background, protection,
// placement, removal and frame scripts.
#pragma once
#include <cstdint>

constexpr int kScriptStop = -1;
constexpr int kScriptLowQuality = -2;

struct SwfWriter;

void WriteShowFrame(SwfWriter& w);
void WriteEnd(SwfWriter& w);
void WriteBackgroundColor(SwfWriter& w, uint32_t rgb);
void WriteProtect(SwfWriter& w);
// Both take the depth first; RemoveObject stores the character id first.
void WritePlace(SwfWriter& w, int depth, int characterId);
void WriteRemove(SwfWriter& w, int depth, int characterId);
// -1 stop, -2 quality switch, n > 0 loop limit n; anything else writes nothing.
void WriteFrameScript(SwfWriter& w, int32_t mode);
