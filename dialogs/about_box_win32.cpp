#include "dialogs/about_box_win32.h"

#include "dialogs/about_logo.h"
#include "image/pcx_decoder.h"
#include "res/resource.h"
#include "ui/dib32_win32.h"
#include "ui/gdi_scope_win32.h"

namespace {

HBITMAP CreateLogoBitmap(HWND owner, void** bits) {
  // Rows from the top, as decoded.
  const BITMAPINFO info = Dib32Info(kLogoImageWidth, kLogoImageHeight);
  const WindowDc dc(owner);
  return CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// The logo goes across the middle of the dialog and, upright, halfway
// between the dialog's top and the text block; the picture control starts
// at the client origin, so its own top stands for the client top.
void PlaceLogo(HWND dialog, HBITMAP bitmap) {
  HWND logo = GetDlgItem(dialog, IDC_ABOUT_LOGO);
  SendMessageA(logo, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  RECT client, logoRect, textRect;
  GetClientRect(dialog, &client);
  GetWindowRect(logo, &logoRect);
  GetWindowRect(GetDlgItem(dialog, IDC_ABOUT_TEXT), &textRect);
  const int x = (client.right - client.left - kLogoImageWidth) / 2;
  const int y = (textRect.top - logoRect.top - kLogoImageHeight) / 2;
  MoveWindow(logo, x, y, kLogoImageWidth, kLogoImageHeight, FALSE);
}

// Escape's IDCANCEL is not handled, so Escape leaves the box open. The
// init parameter is the blended logo, owned by the caller until the box ends.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceLogo(dialog, reinterpret_cast<HBITMAP>(lParam));
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDOK) return FALSE;
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

std::unique_ptr<uint8_t[]> DecodePcxResource(int id) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), "PCX");
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(self, found);
  if (loaded == nullptr) return nullptr;
  const void* bytes = LockResource(loaded);
  const DWORD size = SizeofResource(self, found);
  if (bytes == nullptr || size == 0) return nullptr;
  return DecodePcxResource(static_cast<const uint8_t*>(bytes), size);
}

void ShowAboutBox(HWND owner) {
  void* bits = nullptr;
  const GdiObject<HBITMAP> bitmap(CreateLogoBitmap(owner, &bits));
  if (bitmap.get() == nullptr || bits == nullptr) return;
  std::unique_ptr<uint8_t[]> colour = DecodePcxResource(IDR_LOGO_COLOUR);
  std::unique_ptr<uint8_t[]> alpha = colour ? DecodePcxResource(IDR_LOGO_ALPHA) : nullptr;
  if (!colour || !alpha) return;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  BlendLogo(colour.get(), alpha.get(), {GetRValue(face), GetGValue(face), GetBValue(face)},
            static_cast<uint8_t*>(bits));
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc,
                  reinterpret_cast<LPARAM>(bitmap.get()));
}
