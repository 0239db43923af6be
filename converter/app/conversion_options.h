// What a user can choose for one conversion. Each field keeps its name from
// the settings store through the batch to the frame pipeline; the comment
// names the stored value. Flags: 0 off, anything else on.
#pragma once
#include <cstdint>
#include <string>

struct ConversionOptions {
  int32_t changeLoop = 0;        // OptionChangeLoop: loopForever/playCount decide, not the GIF
  int32_t loopForever = 0;       // OptionLoopForever
  int32_t playCount = 0;         // OptionLoopValue: 1 plays once
  int32_t borderCorrection = 0;  // OptionTransparent: transparent one-pixel border
  int32_t useGifBackground = 0;  // OptionBackGround
  int32_t optimiseCanvas = 0;    // OptionCanvasSize: crop full-screen frames
  int32_t useLinkUrl = 0;        // OptionURL: linkUrl is used only when set (it may be empty)
  std::string linkUrl;           // OptionURLName
  int32_t protect = 0;           // OptionProtect
  int32_t writeHtml = 0;         // OptionHTML
  int32_t fullMenu = 0;          // OptionHideMenu: 1 shows the player's full menu
  std::string ruffleUrl;         // OptionRuffleURL: the page loads ruffle.js from it; empty, no script
  // Not stored: bitmap compression threads of the job. 0 takes
  // TERVANO_THREADS, else one per core; 1 compresses on the converting thread.
  int32_t threads = 0;
};
