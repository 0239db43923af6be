#include "progress_dialog.h"

#include <commctrl.h>

#include <utility>

#include "app/progress_sink.h"
#include "platform/wide_text.h"
#include "resource.h"

void StatusTexts::Push(const char* text) {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_.emplace_back(text ? text : "");
}

void StatusTexts::DropNewest() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!texts_.empty()) texts_.pop_back();
}

bool StatusTexts::Pop(std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (texts_.empty()) return false;
  text = std::move(texts_.front());
  texts_.pop_front();
  return true;
}

void ProgressBar::SetRange(int32_t upper) {
  SendMessageW(hwnd(), PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(upper)));
}

void ProgressBar::SetPos(int32_t position) { SendMessageW(hwnd(), PBM_SETPOS, static_cast<WPARAM>(position), 0); }

ProgressDialog::ProgressDialog(HWND parent, StatusTexts& texts, std::function<void(HWND)> started)
    : Dialog(IDD_PROGRESS, parent), texts_(texts), started_(std::move(started)) {}

void ProgressDialog::DoDataExchange(DataExchange& exchange) {
  exchange.Control(IDC_FRAME_BAR, frameBar_);
  exchange.Control(IDC_FILE_BAR, fileBar_);
}

bool ProgressDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  fileBar_.SetRange(fileRange_);
  SetDlgItemTextW(hwnd(), IDC_STATUS, L" ");
  if (started_) started_(hwnd());
  return true;
}

bool ProgressDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case ID_PROGRESS_STEP: {
      fileBar_.SetPos(++filePosition_);
      std::string status;
      // A path, shortened for display.
      if (texts_.Pop(status)) SetDlgItemTextW(hwnd(), IDC_STATUS, WideFromUtf8(status).c_str());
      return true;
    }
    case ID_FRAME_COUNT:
      // The count travels in the message's second parameter.
      frameBar_.SetRange(static_cast<int32_t>(reinterpret_cast<LPARAM>(control)));
      framePosition_ = 0;
      frameBar_.SetPos(0);
      return true;
    case ID_FRAME_DONE:
      frameBar_.SetPos(++framePosition_);
      return true;
    default:
      return Dialog::OnCommand(id, code, control);
  }
}
