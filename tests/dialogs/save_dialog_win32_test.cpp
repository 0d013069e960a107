// The save command with the system's real save dialog and message boxes,
// driven from a thread timer while the command waits in their modal loops.
#include "dialogs/save_dialog_win32.h"

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/entry_files.h"
#include "dialogs/entry_clipboard_win32.h"
#include "image/group_file.h"
#include "image/image_export.h"
#include "image/png_codec.h"
#include "scan/little_endian.h"
#include "support/dialog_driver_win32.h"
#include "support/window_query_win32.h"
#include "tests/support/dib_builder.h"
#include "tests/support/icon_file_check.h"
#include "tests/support/pe_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/temp_dir.h"
#include "ui/error_box_win32.h"
#include "ui/wait_cursor.h"

namespace {

using Kind = DialogStep::Kind;

// What a save dialog showed before the test acted on it.
struct SeenDialog {
  std::string fileName;
  std::string folder;
  std::string fileType;
};

HWND FileNameEdit(HWND dialog) { return FindDescendant(GetDlgItem(dialog, cmb13), "Edit"); }

std::string FolderOf(HWND dialog) {
  char folder[MAX_PATH] = {};
  SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
  return folder;
}

// type, when not 0, is the file type to choose first (1-based).
DialogStep SaveAs(const std::string& title, const std::string& path, SeenDialog* seen,
                  int chosenType = 0) {
  return {title,
          [path, seen, chosenType](HWND dialog) {
            if (seen != nullptr) {
              seen->fileName = WindowText(FileNameEdit(dialog));
              HWND types = GetDlgItem(dialog, cmb1);
              char type[200] = {};
              LRESULT index = SendMessageA(types, CB_GETCURSEL, 0, 0);
              if (index >= 0)
                SendMessageA(types, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(type));
              seen->fileType = type;
            }
            if (chosenType != 0) {
              HWND types = GetDlgItem(dialog, cmb1);
              SendMessageA(types, CB_SETCURSEL, chosenType - 1, 0);
              // Dialogs differ in which of the two they act on.
              for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK}) {
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, code),
                             reinterpret_cast<LPARAM>(types));
              }
            }
            SetFileNameAndAccept(dialog, path);
          },
          Kind::FileDialog};
}

DialogStep Cancel(const std::string& title, SeenDialog* seen) {
  return {title,
          [seen](HWND dialog) {
            seen->fileName = WindowText(FileNameEdit(dialog));
            seen->folder = FolderOf(dialog);
            PressButton(dialog, IDCANCEL);
          },
          Kind::FileDialog};
}

// A message box, or the dialog's own replace prompt (any title).
DialogStep Box(const std::string& title, int button, std::string* text) {
  return {title,
          [button, text](HWND box) {
            if (text != nullptr) *text = MessageBoxText(box);
            PressButton(box, button);
          },
          Kind::Other};
}

// Runs the command with the steps queued; true when every step ran.
bool Drive(std::vector<DialogStep> script, const std::function<void()>& command) {
  DialogDriver driver(std::move(script));
  command();
  return driver.finished();
}

struct Entry {
  Entry(ImageKind kind, Bytes resource, const uint8_t* decoded = nullptr)
      : bytes(std::move(resource)) {
    record = RecordFor(kind, bytes);
    record.fileName = "sample.dll";
    PrepareImage(bytes.data(), &record, &image, decoded);
  }
  Bytes bytes;
  ImageRecord record;
  LoadedImage image;
};

// A square PNG's pixels; all 0 when it does not decode.
Bytes Decoded(const Bytes& png, int32_t side) {
  Bytes pixels(static_cast<size_t>(side * side * 4));
  const auto n = static_cast<uint32_t>(side);
  DecodePng(png.data(), static_cast<int64_t>(png.size()), n, n, pixels.data());
  return pixels;
}

class SaveDialog : public ::testing::Test {
 protected:
  void Save(const Entry& e) { SaveImage(nullptr, save_, e.record, e.image); }

  SaveState save_;
  TempDir dir_;
  Entry bitmap_{ImageKind::Bitmap, MakeBitmap(DibShape{})};
  Entry icon_{ImageKind::Icon, MakeIcon(DibShape{})};
  Entry cursor_{ImageKind::Cursor, MakeCursor(11, 11, DibShape{})};
  Entry alphaIcon_{ImageKind::Icon, MakeIcon(DibShape{32, 32, 32})};
  Bytes png24_ = MakePng(24, 24);
  std::vector<uint8_t> decoded_ = Decoded(png24_, 24);
  Entry pngIcon_{ImageKind::Icon, png24_, decoded_.data()};
};

}  // namespace

TEST_F(SaveDialog, ProposesNumberedNamesPerKindAndCountsOnlySuccess) {
  SeenDialog first, second, icon, cursor;
  const std::string a = dir_.Join("a.bmp");
  const std::string b = dir_.Join("b.bmp");
  const std::string c = dir_.Join("c.ico");
  const std::string d = dir_.Join("d.cur");
  ASSERT_TRUE(Drive({SaveAs("Save bitmap", a, &first)}, [&] { Save(bitmap_); }));
  EXPECT_EQ(first.fileName, "Bitmap0.bmp");
  EXPECT_EQ(first.fileType, "Image files [.bmp;.ico;.cur]");
  EXPECT_EQ(save_.bitmapCounter, 1);
  EXPECT_EQ(save_.lastSavePath, a);
  Bytes file = ReadWholeFile(a);
  ASSERT_EQ(file.size(), 14 + bitmap_.bytes.size());
  EXPECT_EQ(file[0], 'B');

  ASSERT_TRUE(Drive({SaveAs("Save bitmap", b, &second)}, [&] { Save(bitmap_); }));
  EXPECT_EQ(second.fileName, "Bitmap1.bmp");

  ASSERT_TRUE(Drive({SaveAs("Save icon", c, &icon)}, [&] { Save(icon_); }));
  EXPECT_EQ(icon.fileName, "Icon0.ico");
  EXPECT_EQ(ReadWholeFile(c).size(), 766u);
  ASSERT_TRUE(Drive({SaveAs("Save cursor", d, &cursor)}, [&] { Save(cursor_); }));
  EXPECT_EQ(cursor.fileName, "Cursor0.cur");
  EXPECT_EQ(ReadWholeFile(d).size(), 22 + cursor_.bytes.size() - 4);
  EXPECT_EQ(save_.bitmapCounter, 2);
  EXPECT_EQ(save_.iconCounter, 1);
  EXPECT_EQ(save_.cursorCounter, 1);
}

TEST_F(SaveDialog, OpensWhereTheLastConfirmedSaveWent) {
  // The dialog remembers its last folder by itself, so the remembered path
  // is pointed elsewhere first.
  const std::string a = dir_.Join("a.bmp");
  ASSERT_TRUE(Drive({SaveAs("Save bitmap", a, nullptr)}, [&] { Save(bitmap_); }));
  TempDir other;
  const std::string elsewhere = other.Join("z.bmp");
  snprintf(save_.lastSavePath, sizeof save_.lastSavePath, "%s", elsewhere.c_str());
  SeenDialog seen;
  ASSERT_TRUE(Drive({Cancel("Save bitmap", &seen)}, [&] { Save(bitmap_); }));
  EXPECT_EQ(std::filesystem::path(seen.folder), std::filesystem::path(other.path()));
}

TEST_F(SaveDialog, CancelChangesNothing) {
  const std::string a = dir_.Join("a.bmp");
  ASSERT_TRUE(Drive({SaveAs("Save bitmap", a, nullptr)}, [&] { Save(bitmap_); }));
  SeenDialog seen;
  ASSERT_TRUE(Drive({Cancel("Save bitmap", &seen)}, [&] { Save(bitmap_); }));
  EXPECT_EQ(seen.fileName, "Bitmap1.bmp");
  EXPECT_EQ(save_.bitmapCounter, 1);
  EXPECT_EQ(save_.lastSavePath, a);
  ASSERT_TRUE(Drive({Cancel("Save icon", &seen)}, [&] { Save(icon_); }));
  EXPECT_EQ(seen.fileName, "Icon0.ico");
  EXPECT_EQ(save_.iconCounter, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(SaveDialog, NameWithoutExtensionGetsTheChosenTypes) {
  const std::string plain = dir_.Join("plain");
  ASSERT_TRUE(Drive({SaveAs("Save icon", plain, nullptr)}, [&] { Save(icon_); }));
  EXPECT_EQ(ReadWholeFile(plain + ".ico").size(), 766u);
  EXPECT_FALSE(std::filesystem::exists(plain));
  // Another kind's extension is refused and the dialog comes again; a name
  // the program completed is asked about before it is replaced.
  std::string text;
  ASSERT_TRUE(Drive({SaveAs("Save icon", dir_.Join("x.bmp"), nullptr),
                     Box("Ravelin 1.5", IDOK, &text), SaveAs("Save icon", plain, nullptr),
                     Box("Save icon", IDNO, nullptr), SaveAs("Save icon", plain, nullptr, 2)},
                    [&] { Save(icon_); }));
  EXPECT_EQ(text.substr(0, 19), "An icon is saved as");
  EXPECT_FALSE(std::filesystem::exists(dir_.Join("x.bmp")));
  EXPECT_TRUE(std::filesystem::exists(plain + ".png"));
  EXPECT_EQ(save_.iconCounter, 2);
}

// The PNG type, or a name ending in .png, writes what ravelin-scan --png
// writes for the entry.
TEST_F(SaveDialog, PngIsTheFileThePngExportWrites) {
  ASSERT_TRUE(alphaIcon_.image.alpha && pngIcon_.image.png && !pngIcon_.image.unusable);
  const Entry* entries[] = {&icon_, &cursor_, &bitmap_, &alphaIcon_, &pngIcon_};
  TempDir scan;
  for (int i = 0; i < 5; ++i) {
    const Entry& e = *entries[i];
    const std::string typed = dir_.Join("e" + std::to_string(i) + (i % 2 ? ".png" : ""));
    ASSERT_TRUE(Drive({SaveAs(SaveDialogTitle(e.record.kind), typed, nullptr, i % 2 ? 0 : 2)},
                      [&] { Save(e); }));
    ASSERT_TRUE(WritePngEntry(scan.path().c_str(), i, e.image, "sample.dll"));
    const Bytes png = ReadWholeFile(scan.Join(std::to_string(i) + ".png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(ReadWholeFile(dir_.Join("e" + std::to_string(i) + ".png")), png) << i;
  }
}

TEST_F(SaveDialog, MissingFolderGivesTheErrorBoxAndKeepsTheCounter) {
  const std::string target = dir_.Join("missing") + "\\x.bmp";
  std::string text;
  ASSERT_TRUE(Drive({SaveAs("Save bitmap", target, nullptr), Box("Ravelin 1.5", IDOK, &text)},
                    [&] { Save(bitmap_); }));
  EXPECT_EQ(text, "Can't create file\n\"" + target + "\"");
  EXPECT_EQ(save_.bitmapCounter, 0);
  EXPECT_EQ(save_.lastSavePath, target);
  SeenDialog seen;
  ASSERT_TRUE(Drive({Cancel("Save bitmap", &seen)}, [&] { Save(bitmap_); }));
  EXPECT_EQ(seen.fileName, "Bitmap0.bmp");
}

TEST_F(SaveDialog, FileHeldOpenByAnotherGivesTheErrorBox) {
  const std::string target = dir_.Join("held.ico");
  dir_.Write("held.ico", {1, 2, 3});
  HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string text;
  // The dialog first asks whether to replace the file.
  ASSERT_TRUE(Drive({SaveAs("Save icon", target, nullptr), Box("", IDYES, nullptr),
                     Box("Ravelin 1.5", IDOK, &text)},
                    [&] { Save(icon_); }));
  CloseHandle(held);
  EXPECT_EQ(text, "Can't create file\n\"" + target + "\"");
  EXPECT_EQ(save_.iconCounter, 0);
  EXPECT_EQ(ReadWholeFile(target), (Bytes{1, 2, 3}));
}

TEST_F(SaveDialog, UnusableEntryIsRefusedBeforeAnyDialog) {
  DibShape twoBits;
  twoBits.bitCount = 2;
  Entry unusable(ImageKind::Icon, MakeIcon(twoBits));
  std::string text, copied;
  ASSERT_TRUE(Drive({Box("Ravelin 1.5", IDOK, &text), Box("Ravelin 1.5", IDOK, &copied)}, [&] {
    Save(unusable);
    CopyEntryToClipboard(nullptr, unusable.record, unusable.image);
  }));
  EXPECT_EQ(text, "Can't save an image of this format\n\"sample.dll\"");
  EXPECT_EQ(copied, text);
  EXPECT_EQ(save_.lastSavePath[0], '\0');
}

// An executable with an icon group of two icons, a cursor group of one
// cursor, and an icon that no group names.
class SaveGroupDialog : public SaveDialog {
 protected:
  void SetUp() override {
    pe_ = MakeMinimalPe({PeIcon(1, MakeIconData(16, 16, 4)),
                         PeIcon(2, MakeIconData(32, 32, 8)),
                         PeIcon(3, MakeIconData(48, 48, 4)),
                         PeCursor(1, MakeCursorData(3, 4, 32, 32)),
                         {ResName::Id(kResourceTypeGroupIcon), ResName::Id(1), 0x0409,
                          MakeGroupData(false, {{2, 32, 32, 8}, {1, 16, 16, 4}})},
                         {ResName::Id(kResourceTypeGroupCursor), ResName::Id(1), 0x0409,
                          MakeGroupData(true, {{1, 32, 32, 1}})}});
    dir_.Write("groups.exe", pe_.bytes);
  }
  // The record the scan makes for resource i of the list above.
  ImageRecord Record(ImageKind kind, size_t i, const Bytes& data) const {
    ImageRecord r{};
    r.kind = kind;
    r.offset = pe_.DataPosition(i);
    r.size = static_cast<int32_t>(data.size());
    r.directory = dir_.path().c_str();
    r.fileName = "groups.exe";
    return r;
  }
  MinimalPe pe_;
};

TEST_F(SaveGroupDialog, SavesTheWholeGroupOfTheEntryWithItsOwnNamesAndCounter) {
  const ImageRecord second = Record(ImageKind::Icon, 0, MakeIconData(16, 16, 4));
  const ImageRecord cursor = Record(ImageKind::Cursor, 3, MakeCursorData(3, 4, 32, 32));
  SeenDialog first, again, cur, single;
  const std::string a = dir_.Join("a.ico");
  ASSERT_TRUE(Drive({SaveAs("Save icon group", a, &first)},
                    [&] { SaveIconGroup(nullptr, save_, second); }));
  EXPECT_EQ(first.fileName, "Group0.ico");
  EXPECT_EQ(first.fileType, "Image files [.bmp;.ico;.cur]");
  EXPECT_EQ(save_.lastSavePath, a);
  Bytes file = ReadWholeFile(a);
  std::vector<IconFileEntry> entries;
  ASSERT_EQ(CheckIconFile(file.data(), file.size(), 1, &entries), "");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].width, 32);  // group order, not the entry's own place
  EXPECT_EQ(entries[1].width, 16);
  EXPECT_EQ(Bytes(file.begin() + entries[1].offset, file.end()), MakeIconData(16, 16, 4));

  ASSERT_TRUE(Drive({SaveAs("Save icon group", dir_.Join("b.ico"), &again)},
                    [&] { SaveIconGroup(nullptr, save_, second); }));
  EXPECT_EQ(again.fileName, "Group1.ico");
  const std::string c = dir_.Join("c.cur");
  ASSERT_TRUE(Drive({SaveAs("Save cursor group", c, &cur)},
                    [&] { SaveIconGroup(nullptr, save_, cursor); }));
  EXPECT_EQ(cur.fileName, "Group0.cur");
  file = ReadWholeFile(c);
  ASSERT_EQ(CheckIconFile(file.data(), file.size(), 2, &entries), "");
  EXPECT_EQ(entries[0].planesOrHotspotX, 3);
  EXPECT_EQ(entries[0].bitCountOrHotspotY, 4);
  // Single images keep their own numbers.
  ASSERT_TRUE(Drive({Cancel("Save icon", &single)}, [&] { Save(icon_); }));
  EXPECT_EQ(single.fileName, "Icon0.ico");
  EXPECT_EQ(save_.iconGroupCounter, 2);
  EXPECT_EQ(save_.cursorGroupCounter, 1);
}

TEST_F(SaveGroupDialog, EntryInNoGroupIsSaidAndNothingIsWritten) {
  const ImageRecord alone = Record(ImageKind::Icon, 2, MakeIconData(48, 48, 4));
  std::string text;
  ASSERT_TRUE(
      Drive({Box("Ravelin 1.5", IDOK, &text)}, [&] { SaveIconGroup(nullptr, save_, alone); }));
  EXPECT_EQ(text, "This icon belongs to no icon group.");
  EXPECT_EQ(save_.lastSavePath[0], '\0');
  EXPECT_EQ(save_.iconGroupCounter, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(SaveGroupDialog, CancelAndMissingFolderKeepTheCounter) {
  const ImageRecord first = Record(ImageKind::Icon, 1, MakeIconData(32, 32, 8));
  SeenDialog seen;
  ASSERT_TRUE(
      Drive({Cancel("Save icon group", &seen)}, [&] { SaveIconGroup(nullptr, save_, first); }));
  EXPECT_EQ(save_.lastSavePath[0], '\0');
  const std::string target = dir_.Join("missing") + "\\x.ico";
  std::string text;
  ASSERT_TRUE(Drive({SaveAs("Save icon group", target, nullptr), Box("Ravelin 1.5", IDOK, &text)},
                    [&] { SaveIconGroup(nullptr, save_, first); }));
  EXPECT_EQ(text, "Can't create file\n\"" + target + "\"");
  EXPECT_EQ(save_.lastSavePath, target);
  ASSERT_TRUE(
      Drive({Cancel("Save icon group", &seen)}, [&] { SaveIconGroup(nullptr, save_, first); }));
  EXPECT_EQ(seen.fileName, "Group0.ico");
}

// Another thread reads back what Copy put on the clipboard: the PNG export's
// file under "PNG", and its pixels and alpha as CF_DIBV5; an entry that
// cannot be drawn is refused as Save refuses it.
TEST_F(SaveDialog, CopyPutsThePngExportAndItsPixelsOnTheClipboard) {
  const Entry* entries[] = {&bitmap_, &cursor_, &alphaIcon_, &pngIcon_};
  for (int i = 0; i < 4; ++i) {
    const Entry& e = *entries[i];
    CopyEntryToClipboard(nullptr, e.record, e.image);
    Bytes png, dib;
    std::thread([&] {
      if (!OpenClipboard(nullptr)) return;
      for (auto [format, out] : {std::pair{RegisterClipboardFormatA("PNG"), &png},
                                 std::pair{static_cast<UINT>(CF_DIBV5), &dib}}) {
        HGLOBAL block = GetClipboardData(format);
        if (block == nullptr) continue;
        const auto* at = static_cast<const uint8_t*>(GlobalLock(block));
        out->assign(at, at + GlobalSize(block));
        GlobalUnlock(block);
      }
      CloseClipboard();
    }).join();
    ASSERT_TRUE(WritePngEntry(dir_.path().c_str(), i, e.image, "sample.dll"));
    EXPECT_EQ(png, ReadWholeFile(dir_.Join(std::to_string(i) + ".png"))) << i;
    const size_t row = static_cast<size_t>(e.image.width) * 4;
    const Bytes pixels = Decoded(png, e.image.width);
    Bytes bottomUp;  // the DIB's row order
    for (size_t at = pixels.size(); at >= row; at -= row) {
      bottomUp.insert(bottomUp.end(), pixels.begin() + (at - row), pixels.begin() + at);
    }
    ASSERT_GT(dib.size(), 124u);
    EXPECT_EQ(GetLe32(dib.data() + 52), 0xFF000000u);  // the alpha mask
    EXPECT_EQ(Bytes(dib.begin() + 124, dib.end()), bottomUp) << i;
  }
}

TEST(ErrorBox, CutsItsTextAtFiveHundredBytes) {
  const std::string name(600, 'n');
  std::string text;
  ASSERT_TRUE(Drive({Box("Ravelin 1.5", IDOK, &text)},
                    [&] { ShowErrorBox(nullptr, "Can't open", name.c_str()); }));
  EXPECT_EQ(text.size(), 499u);
  EXPECT_EQ(text.substr(0, 12), "Can't open\n\"");
}

TEST(WaitCursor, RemembersTheCursorOfTheMomentAndDoesNotNest) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
  // Off before any on puts up the arrow.
  SetCursor(cross);
  SetWaitCursor(false);
  EXPECT_EQ(GetCursor(), arrow);

  SetCursor(cross);
  SetWaitCursor(true);
  EXPECT_EQ(GetCursor(), wait);
  SetWaitCursor(false);
  EXPECT_EQ(GetCursor(), cross);

  SetWaitCursor(true);
  SetWaitCursor(true);  // remembers the hourglass itself
  SetWaitCursor(false);
  EXPECT_EQ(GetCursor(), wait);
  SetCursor(arrow);
}
