// The About box under Wine: its logo resources, how it opens and closes,
// and the logo's place and pixels read back from the screen.
#include "dialogs/about_box_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/pcx_decoder.h"
#include "res/resource.h"
#include "support/dialog_driver_win32.h"
#include "support/memory_canvas_win32.h"
#include "tests/support/temp_dir.h"

namespace {

const char kTitle[] = "About Ravelin 1.5";
constexpr DWORD kStepTimeoutMs = 10000;

// The About box ignores the driver's cancel, so a step that never matches
// would leave it open for good: past this deadline it is closed the way
// the close box does, and the unfinished driver fails the test.
DWORD safetyDeadline = 0;
bool safetyClosed = false;
void CALLBACK SafetyTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (GetTickCount() < safetyDeadline) return;
  if (HWND box = FindWindowA("#32770", kTitle)) {
    safetyClosed = true;
    PostMessageA(box, WM_CLOSE, 0, 0);
  }
}

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
    safetyDeadline = GetTickCount() + kStepTimeoutMs + 5000;
    safetyClosed = false;
    safety_ = SetTimer(nullptr, 0, 200, SafetyTimer);
  }
  void TearDown() override {
    KillTimer(nullptr, safety_);
    DestroyWindow(owner_);
  }
  // Opens the box and runs the steps on it; whether the steps closed it
  // (rather than the safety timer).
  bool Show(std::vector<DialogStep> steps, bool* finished) {
    DialogDriver driver(std::move(steps), kStepTimeoutMs);
    ShowAboutBox(owner_);
    PumpMessages();
    *finished = driver.finished();
    return !safetyClosed;
  }
  HWND owner_ = nullptr;
  UINT_PTR safety_ = 0;
};

// Posts a key to the control that has the focus, as a key press arrives in
// the dialog's modal loop.
void PostKey(HWND dialog, WPARAM key) {
  HWND focus = GetFocus();
  HWND target = focus != nullptr && IsChild(dialog, focus) ? focus : dialog;
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

struct Snapshot {
  RECT client = {};
  RECT logo = {};  // client coordinates of the dialog
  RECT text = {};
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // blue, green, red, x; rows from the top
};

RECT ChildRect(HWND dialog, int id) {
  RECT r = {};
  GetWindowRect(GetDlgItem(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The dialog's client area as it is on the screen, its controls included.
Snapshot Capture(HWND dialog) {
  Snapshot shot;
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  GetClientRect(dialog, &shot.client);
  shot.logo = ChildRect(dialog, IDC_ABOUT_LOGO);
  shot.text = ChildRect(dialog, IDC_ABOUT_TEXT);
  shot.width = shot.client.right;
  shot.height = shot.client.bottom;
  MemoryCanvas canvas(shot.width, shot.height);
  if (canvas.ok()) {
    canvas.CopyFrom(dialog);
    const auto* p = reinterpret_cast<const uint8_t*>(canvas.bits());
    shot.pixels.assign(p, p + static_cast<size_t>(shot.width) * shot.height * 4);
  }
  return shot;
}

struct Expected {
  std::unique_ptr<uint8_t[]> colour = DecodePcxResource(IDR_LOGO_COLOUR);
  std::unique_ptr<uint8_t[]> alpha = DecodePcxResource(IDR_LOGO_ALPHA);
};

// Compares the logo's pixels on screen with the two images: exact where
// the logo is opaque or see-through, between colour and face elsewhere.
// Returns the number of pixels that differ.
int LogoMismatches(const Snapshot& shot, int left, int top, COLORREF face, int* opaque,
                   int* clear) {
  Expected images;
  if (!images.colour || !images.alpha) return -1;
  const uint8_t faceBgr[3] = {GetBValue(face), GetGValue(face), GetRValue(face)};
  int mismatches = 0;
  *opaque = *clear = 0;
  for (int y = 0; y < kLogoImageHeight; ++y) {
    for (int x = 0; x < kLogoImageWidth; ++x) {
      const size_t at = 4 * (static_cast<size_t>(y) * kLogoImageWidth + x);
      const int sx = left + x, sy = top + y;
      if (sx < 0 || sy < 0 || sx >= shot.width || sy >= shot.height) {
        ++mismatches;
        continue;
      }
      const uint8_t* got = &shot.pixels[4 * (static_cast<size_t>(sy) * shot.width + sx)];
      const uint8_t a = images.alpha[at];
      for (int c = 0; c < 3; ++c) {
        const int colour = images.colour[at + c];
        int low = std::min<int>(colour, faceBgr[c]) - 1, high = std::max<int>(colour, faceBgr[c]);
        if (a == 0) low = high = faceBgr[c];
        if (a == 255) low = high = colour;
        if (got[c] < low || got[c] > high) {
          ++mismatches;
          break;
        }
      }
      *opaque += a == 255;
      *clear += a == 0;
    }
  }
  return mismatches;
}

// Restores the button-face colour however the test ends.
class FaceColourChange {
 public:
  explicit FaceColourChange(COLORREF colour) : saved_(GetSysColor(COLOR_BTNFACE)) { Set(colour); }
  ~FaceColourChange() { Set(saved_); }

 private:
  static void Set(COLORREF colour) {
    const INT element = COLOR_BTNFACE;
    SetSysColors(1, &element, &colour);
  }
  COLORREF saved_;
};

}  // namespace

TEST(AboutLogoResources, AreTheGeneratedFilesByteForByte) {
  for (const auto& [id, name] : {std::pair{IDR_LOGO_COLOUR, "logo_colour.pcx"},
                                 std::pair{IDR_LOGO_ALPHA, "logo_alpha.pcx"}}) {
    SCOPED_TRACE(name);
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), "PCX");
    ASSERT_NE(found, nullptr);
    const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(self, found)));
    ASSERT_NE(bytes, nullptr);
    const std::vector<uint8_t> resource(bytes, bytes + SizeofResource(self, found));
    const std::vector<uint8_t> file =
        ReadWholeFile(std::string(RAVELIN_RES_GENERATED_DIR) + "/" + name);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(resource, file);
    auto decoded = DecodePcxResource(id);
    ASSERT_TRUE(decoded);
    auto fromFile = DecodePcxResource(file.data(), static_cast<uint32_t>(file.size()));
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(memcmp(decoded.get(), fromFile.get(), kDecodedLogoSize), 0);
  }
  EXPECT_FALSE(DecodePcxResource(IDD_ABOUT)) << "no PCX resource has the dialog's id";
}

TEST_F(AboutBox, LogoIsCentredAboveTheTextBlendedOverTheButtonFace) {
  Snapshot shot;
  HWND seen = nullptr;
  bool finished = false;
  Show({{kTitle,
         [&](HWND dialog) {
           seen = dialog;
           shot = Capture(dialog);
           PressButton(dialog, IDOK);
         }}},
       &finished);
  ASSERT_TRUE(finished);
  EXPECT_FALSE(IsWindow(seen));
  ASSERT_FALSE(shot.pixels.empty());

  // Across: the middle of the client area; upright: halfway between the
  // top and the text block. Both halves truncate.
  EXPECT_EQ(shot.logo.left, (shot.client.right - kLogoImageWidth) / 2);
  EXPECT_EQ(shot.logo.top, (shot.text.top - kLogoImageHeight) / 2);
  EXPECT_EQ(shot.logo.right - shot.logo.left, kLogoImageWidth);
  EXPECT_EQ(shot.logo.bottom - shot.logo.top, kLogoImageHeight);
  EXPECT_LE(shot.logo.bottom, shot.text.top);
  EXPECT_LE(std::abs(shot.logo.left - (shot.client.right - shot.logo.right)), 1);

  int opaque = 0, clear = 0;
  EXPECT_EQ(LogoMismatches(shot, shot.logo.left, shot.logo.top, GetSysColor(COLOR_BTNFACE), &opaque,
                           &clear),
            0);
  // The comparison means something only if the logo has both kinds.
  EXPECT_GT(opaque, 1000);
  EXPECT_GT(clear, 1000);
  // One pixel off in either direction no longer matches.
  EXPECT_GT(LogoMismatches(shot, shot.logo.left + 1, shot.logo.top, GetSysColor(COLOR_BTNFACE),
                           &opaque, &clear),
            100);
  EXPECT_GT(LogoMismatches(shot, shot.logo.left, shot.logo.top - 1, GetSysColor(COLOR_BTNFACE),
                           &opaque, &clear),
            100);
}

TEST_F(AboutBox, LogoFollowsTheButtonFaceOfTheMoment) {
  const COLORREF odd = RGB(201, 57, 133);
  FaceColourChange change(odd);
  ASSERT_EQ(GetSysColor(COLOR_BTNFACE), odd);
  Snapshot shot;
  bool finished = false;
  Show({{kTitle,
         [&](HWND dialog) {
           shot = Capture(dialog);
           PressButton(dialog, IDOK);
         }}},
       &finished);
  ASSERT_TRUE(finished);
  ASSERT_FALSE(shot.pixels.empty());
  int opaque = 0, clear = 0;
  EXPECT_EQ(LogoMismatches(shot, shot.logo.left, shot.logo.top, odd, &opaque, &clear), 0);
  // The logo's top-left corner is see-through.
  const uint8_t* corner =
      &shot.pixels[4 * (static_cast<size_t>(shot.logo.top) * shot.width + shot.logo.left)];
  EXPECT_EQ(RGB(corner[2], corner[1], corner[0]), odd);
}

TEST_F(AboutBox, EscapeAndCancelLeaveItOpenOkClosesIt) {
  HWND first = nullptr, second = nullptr, third = nullptr;
  bool finished = false;
  Show({{kTitle,
         [&](HWND dialog) {
           first = dialog;
           PostKey(dialog, VK_ESCAPE);
         }},
        {kTitle,
         [&](HWND dialog) {
           second = dialog;
           PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
         }},
        {kTitle,
         [&](HWND dialog) {
           third = dialog;
           PressButton(dialog, IDOK);
         }}},
       &finished);
  EXPECT_TRUE(finished);
  // The same box took all three steps, so neither Escape nor the cancel
  // command closed it.
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, first);
  EXPECT_EQ(third, first);
  EXPECT_FALSE(IsWindow(first));
}

TEST_F(AboutBox, EnterClosesIt) {
  bool finished = false;
  HWND seen = nullptr;
  const bool closedBySteps = Show({{kTitle,
                                    [&](HWND dialog) {
                                      seen = dialog;
                                      PostKey(dialog, VK_RETURN);
                                    }}},
                                  &finished);
  EXPECT_TRUE(finished);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_TRUE(closedBySteps);
}

TEST_F(AboutBox, CloseBoxClosesIt) {
  bool finished = false;
  HWND seen = nullptr;
  const bool closedBySteps = Show({{kTitle,
                                    [&](HWND dialog) {
                                      seen = dialog;
                                      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                                    }}},
                                  &finished);
  EXPECT_TRUE(finished);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_TRUE(closedBySteps);
}

TEST_F(AboutBox, CreditLinesFitTheirBlockWithoutWrapping) {
  std::vector<std::string> tooWide;
  int lines = 0;
  bool finished = false;
  Show({{kTitle,
         [&](HWND dialog) {
           HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT);
           char buffer[512] = {};
           GetWindowTextA(text, buffer, sizeof buffer);
           RECT box;
           GetClientRect(text, &box);
           HDC dc = GetDC(text);
           HGDIOBJ old =
               SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(text, WM_GETFONT, 0, 0)));
           TEXTMETRICA metrics;
           GetTextMetricsA(dc, &metrics);
           std::string all = buffer;
           size_t from = 0;
           while (from <= all.size()) {
             size_t end = all.find('\n', from);
             if (end == std::string::npos) end = all.size();
             const std::string line = all.substr(from, end - from);
             SIZE size;
             GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
             if (size.cx > box.right) tooWide.push_back(line);
             ++lines;
             from = end + 1;
           }
           if (lines * metrics.tmHeight > box.bottom) tooWide.push_back("three lines too high");
           SelectObject(dc, old);
           ReleaseDC(text, dc);
           PressButton(dialog, IDOK);
         }}},
       &finished);
  EXPECT_TRUE(finished);
  EXPECT_EQ(lines, 3);
  EXPECT_TRUE(tooWide.empty()) << tooWide.front();
}
