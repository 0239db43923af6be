// A static control of a dialog turned into a web link: underlined text in
// the link colours, a hand pointer, an optional tooltip, and a click that
// opens the URL in the browser. On a picture only pointer, tooltip and
// click apply.
#pragma once
#include <windows.h>

#include <string>

#include "framework.h"

class CHyperLink : public StaticControl {
 public:
  CHyperLink() = default;
  ~CHyperLink() override;
  const char* ClassName() const override { return "CHyperLink"; }

  // Sets the address and the tooltip text (empty: no tooltip); the text
  // colour goes back to the link colour. Callable before attaching.
  void SetLink(const std::string& url, const std::string& tooltip);
  const std::string& url() const { return url_; }
  bool visited() const { return visited_; }
  COLORREF currentColour() const { return colour_; }

  bool PreTranslateMessage(MSG* msg) override;
  HBRUSH OnCtlColor(HDC dc) override;

  // Opens url with the shell, else with the registered command for web
  // pages. Returns a value above 32 on success.
  static INT_PTR OpenLink(const std::string& url, int showMode);

  // Colours, assignable before the control is shown.
  COLORREF linkColour = RGB(0, 0, 255);
  COLORREF visitedColour = RGB(128, 0, 128);
  COLORREF pressedColour = RGB(255, 0, 0);

 protected:
  void OnAttach() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool IsTextStatic() const;
  void FitToText();
  HCURSOR HandCursor();
  void Repaint();

  std::string url_;
  std::string tooltipText_;  // GB2312
  std::wstring tooltipWide_;
  HWND tooltip_ = nullptr;
  HFONT underlineFont_ = nullptr;
  COLORREF colour_ = RGB(0, 0, 255);
  bool visited_ = false;
  bool pressed_ = false;
  bool moved_ = false;
  POINT pressedAt_ = {0, 0};
  HCURSOR hand_ = nullptr;
  bool ownsHand_ = false;
  bool handTried_ = false;
};
