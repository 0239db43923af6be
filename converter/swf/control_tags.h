// Tags that define no character: frames, end, background, protection,
// placement, removal and frame scripts.
#pragma once
#include <cstdint>

constexpr int kScriptStop = -1;
constexpr int kScriptLowQuality = -2;

void WriteShowFrame();
void WriteEnd();
void WriteBackgroundColor(uint32_t rgb);
void WriteProtect();
void WritePlace(int depth, int characterId);
void WriteRemove(int characterId, int depth);
// -1 stop, -2 quality switch, n > 0 loop limit n; anything else writes nothing.
void WriteFrameScript(int32_t mode);
