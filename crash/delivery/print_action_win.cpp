// The print action: the report in Courier New 8 pt on a printer the user picks, long lines
// wrapped, a new page where a line no longer fits.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commdlg.h>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/print_layout.h"
#include "crash/delivery/report_actions_win.h"
#include "crash/win/lock_probe_win.h"

namespace crash {

namespace {

// PD_NOSELECTION | PD_NOPAGENUMS | PD_NOWARNING | PD_RETURNDC |
// PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE | PD_NONETWORKBUTTON.
constexpr DWORD kPrintDialogFlags = 0x34018C;
constexpr UINT kMeasure = DT_CALCRECT | DT_WORDBREAK | DT_EXTERNALLEADING;  // 0x610
constexpr UINT kDraw = DT_WORDBREAK | DT_EXTERNALLEADING;                   // 0x210

void PrintOn(HDC dc, const ActiveSettings& settings, const std::string& report) {
  PageFacts page;
  page.width_pixels = GetDeviceCaps(dc, HORZRES);
  page.height_pixels = GetDeviceCaps(dc, VERTRES);
  page.width_mm = GetDeviceCaps(dc, HORZSIZE);
  page.height_mm = GetDeviceCaps(dc, VERTSIZE);
  page.offset_x_pixels = GetDeviceCaps(dc, PHYSICALOFFSETX);
  page.offset_y_pixels = GetDeviceCaps(dc, PHYSICALOFFSETY);
  const PrintArea area = PagePrintArea(page);

  const HFONT font =
      CreateFontA(CourierHeight(GetDeviceCaps(dc, LOGPIXELSY)), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                  FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH, "Courier New");
  const HGDIOBJ old_font = SelectObject(dc, font);
  const std::string title(settings.PrintCaption);
  DOCINFOA document{};
  document.cbSize = sizeof document;
  document.lpszDocName = title.c_str();
  if (StartDocA(dc, &document) > 0) {
    StartPage(dc);
    int pages = 1;
    int y = area.top;
    const int bottom = area.top + area.height;
    for (const std::string& line : PrintLines(report)) {
      RECT measured{area.left, y, area.right, y};
      DrawTextA(dc, line.data(), static_cast<int>(line.size()), &measured, kMeasure);
      const int height = measured.bottom - measured.top;
      // A line taller than a page goes on a page of its own, not on an empty one first.
      if (y + height > bottom && y > area.top) {
        EndPage(dc);
        StartPage(dc);
        SelectObject(dc, font);
        ++pages;
        y = area.top;
      }
      RECT place{area.left, y, area.right, y + height};
      DrawTextA(dc, line.data(), static_cast<int>(line.size()), &place, kDraw);
      y += height;
    }
    EndPage(dc);
    EndDoc(dc);
    DeliveryLog("print: " + std::to_string(pages) + " pages");
  } else {
    DeliveryLog("print: the print job could not be started");
  }
  SelectObject(dc, old_font);
  DeleteObject(font);
}

}  // namespace

void PrintAction(const ActiveSettings& settings, const std::string& report, HWND owner) {
  if (HoldsSystemLock()) {
    MessageBeep(0);
    return;
  }
  PRINTDLGA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.Flags = kPrintDialogFlags;
  if (!PrintDlgA(&dialog)) {
    DeliveryLog("print: cancelled");
    return;
  }
  if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
  if (!dialog.hDC) return;
  PrintOn(dialog.hDC, settings, report);
  DeleteDC(dialog.hDC);
}

}  // namespace crash
