// Invisible button over the first frame that opens a URL when clicked.
#pragma once

struct SwfWriter;

void WriteLinkButton(SwfWriter& w, int hitDepth, int buttonId, const char* url);
