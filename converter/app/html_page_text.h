// The page's two comment lines. Pages carry them as GB2312 bytes whichever
// system wrote the page, so that a page is the same file everywhere.
#pragma once

extern const char kPageGeneratedLine[];  // line 2
extern const char kPageVisitPrefix[];    // line 3 up to the address
