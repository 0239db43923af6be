// Invisible button over the first frame that opens a URL when clicked.
#pragma once

void WriteLinkButton(int hitDepth, int buttonId, const char* url);
