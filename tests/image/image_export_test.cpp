#include "image/image_export.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/dib_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

// An entry prepared from its bytes the way the loader prepares it.
struct Entry {
  Entry(ImageKind kind, Bytes resource) : bytes(std::move(resource)) {
    record = RecordFor(kind, bytes);
    PrepareImage(bytes.data(), &record, &image);
  }
  Entry(const Entry&) = delete;
  Bytes bytes;
  ImageRecord record;
  LoadedImage image;
};

Bytes Header(const Entry& e) {
  ExportPlan plan;
  EXPECT_TRUE(PlanExport(e.record, e.image, &plan));
  return Bytes(plan.header, plan.header + plan.headerSize);
}

}  // namespace

TEST(ImageExport, IconOf744BytesBecomesA766ByteFile) {
  Entry icon(ImageKind::Icon, MakeIcon(DibShape{}));
  ASSERT_EQ(icon.bytes.size(), 744u);
  const Bytes expected = {0,    0,    1,  0, 1,  0,         // icon directory, one image
                          32,   32,   16, 0, 1,  0, 4, 0,   // 32 x 32, 16 colours, 1 plane, 4 bits
                          0xE8, 0x02, 0,  0, 22, 0, 0, 0};  // 744 bytes at 22
  EXPECT_EQ(Header(icon), expected);

  TempDir dir;
  std::string path = dir.Join("x.ico");
  ASSERT_EQ(WriteImageFile(path.c_str(), icon.record, icon.image), ExportStatus::Written);
  Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 766u);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin()));
  EXPECT_TRUE(std::equal(icon.bytes.begin(), icon.bytes.end(), file.begin() + 22));

  // NE alignment pads the resource to 1024 bytes; the file holds the image.
  Bytes padded = icon.bytes;
  padded.resize(1024, 0);
  Entry ne(ImageKind::Icon, padded);
  EXPECT_EQ(Header(ne), expected);
}

TEST(ImageExport, CursorMovesItsHotspotIntoTheDirectory) {
  DibShape mono;
  mono.bitCount = 1;
  Entry cursor(ImageKind::Cursor, MakeCursor(11, 11, mono));
  ASSERT_EQ(cursor.bytes.size(), 308u);
  const Bytes expected = {0,    0,    2, 0, 1,  0,          // cursor directory
                          32,   32,   0, 0, 11, 0, 11, 0,   // 32 x 32, hotspot (11, 11)
                          0x30, 0x01, 0, 0, 22, 0, 0,  0};  // 304 bytes at 22
  EXPECT_EQ(Header(cursor), expected);

  TempDir dir;
  std::string path = dir.Join("x.cur");
  ASSERT_EQ(WriteImageFile(path.c_str(), cursor.record, cursor.image), ExportStatus::Written);
  Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 326u);
  EXPECT_TRUE(std::equal(cursor.bytes.begin() + 4, cursor.bytes.end(), file.begin() + 22));

  // Hotspots past 255 keep their low byte only, with a zero high byte.
  Put16(cursor.bytes, 0, 0x1234);
  PrepareImage(cursor.bytes.data(), &cursor.record, &cursor.image);
  Bytes wide = Header(cursor);
  EXPECT_EQ(wide[10], 0x34);
  EXPECT_EQ(wide[11], 0);
}

TEST(ImageExport, IconEntryFieldsFollowWidthAndBitCountOnly) {
  DibShape shape;
  shape.bitCount = 4;
  shape.clrUsed = 3;  // does not change the entry's colour count
  EXPECT_EQ(Header(Entry(ImageKind::Icon, MakeIcon(shape)))[8], 16);
  shape.clrUsed = 0;
  shape.bitCount = 1;
  EXPECT_EQ(Header(Entry(ImageKind::Icon, MakeIcon(shape)))[8], 2);
  shape.bitCount = 8;
  EXPECT_EQ(Header(Entry(ImageKind::Icon, MakeIcon(shape)))[8], 0);

  // 256 pixels across are written as 0.
  shape.width = 256;
  shape.height = 256;
  shape.bitCount = 32;
  Bytes big = Header(Entry(ImageKind::Icon, MakeIcon(shape)));
  EXPECT_EQ(big[6], 0);
  EXPECT_EQ(big[7], 0);
  EXPECT_EQ(big[12], 32);
}

TEST(ImageExport, BitmapOffsetCountsColoursAndColourMasks) {
  DibShape shape;
  shape.bitCount = 8;
  Entry full(ImageKind::Bitmap, MakeBitmap(shape));
  Bytes h = Header(full);
  ASSERT_EQ(h.size(), 14u);
  EXPECT_EQ(h[0], 'B');
  EXPECT_EQ(h[1], 'M');
  EXPECT_EQ(Get32(h, 2), 14 + full.bytes.size());
  EXPECT_EQ(Get32(h, 6), 0u);
  EXPECT_EQ(Get32(h, 10), 1078u);

  shape.clrUsed = 16;
  EXPECT_EQ(Get32(Header(Entry(ImageKind::Bitmap, MakeBitmap(shape))), 10), 118u);

  shape.clrUsed = 0;
  shape.bitCount = 16;
  shape.compression = 3;  // three masks behind the 40-byte header
  EXPECT_EQ(Get32(Header(Entry(ImageKind::Bitmap, MakeBitmap(shape))), 10), 14u + 40 + 12);
  shape.bitCount = 32;
  shape.compression = 6;  // four
  EXPECT_EQ(Get32(Header(Entry(ImageKind::Bitmap, MakeBitmap(shape))), 10), 14u + 40 + 16);
  shape.compression = 3;
  shape.headerSize = 124;  // masks inside the header
  EXPECT_EQ(Get32(Header(Entry(ImageKind::Bitmap, MakeBitmap(shape))), 10), 14u + 124);
}

TEST(ImageExport, PngIconIsWrappedWithItsOwnSize) {
  Bytes png = MakePng(256, 256);
  Entry icon(ImageKind::Icon, png);
  EXPECT_TRUE(icon.image.unusable);
  Bytes h = Header(icon);
  const Bytes expected = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), h.begin()));
  EXPECT_EQ(Get32(h, 14), png.size());
  EXPECT_EQ(Get32(h, 18), 22u);

  Entry small(ImageKind::Icon, MakePng(48, 20));
  Bytes hs = Header(small);
  EXPECT_EQ(hs[6], 48);
  EXPECT_EQ(hs[7], 20);

  // Grey and alpha, padded as NE alignment pads: still 1 plane and 32 bits,
  // and only the PNG's own bytes.
  Bytes grey = png;
  grey[25] = 4;
  grey.resize(png.size() + 280, 0);
  EXPECT_EQ(Header(Entry(ImageKind::Icon, grey)), Header(icon));

  // A cursor holding a PNG keeps its hotspot in the entry.
  Bytes cursorBytes(4 + png.size(), 0);
  cursorBytes[0] = 7;
  cursorBytes[2] = 9;
  std::copy(png.begin(), png.end(), cursorBytes.begin() + 4);
  Entry cursor(ImageKind::Cursor, cursorBytes);
  Bytes hc = Header(cursor);
  EXPECT_EQ(Get16(hc, 2), 2u);
  EXPECT_EQ(Get16(hc, 10), 7u);
  EXPECT_EQ(Get16(hc, 12), 9u);
  EXPECT_EQ(Get32(hc, 14), png.size());

  TempDir dir;
  std::string path = dir.Join("png.ico");
  ASSERT_EQ(WriteImageFile(path.c_str(), icon.record, icon.image), ExportStatus::Written);
  Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 22 + png.size());
  EXPECT_TRUE(std::equal(png.begin(), png.end(), file.begin() + 22));

  // Decoded, and so usable, a PNG icon or cursor still goes out as the PNG
  // it is, never as a DIB made of its decoded pixels.
  for (Entry* e : {&icon, &cursor}) {
    const Bytes pixels(static_cast<size_t>(e->image.bitsSize), 0x7F);
    PrepareImage(e->bytes.data(), &e->record, &e->image, pixels.data());
    ASSERT_FALSE(e->image.unusable);
    const std::string decodedPath = dir.Join("decoded");
    ASSERT_EQ(WriteImageFile(decodedPath.c_str(), e->record, e->image), ExportStatus::Written);
    const Bytes written = ReadWholeFile(decodedPath);
    const Bytes header = Header(*e);
    ASSERT_EQ(written.size(), 22 + png.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), written.begin()));
    EXPECT_TRUE(std::equal(png.begin(), png.end(), written.begin() + 22));
    EXPECT_EQ(Get16(written, 2), e->record.kind == ImageKind::Cursor ? 2u : 1u);
  }
}

TEST(ImageExport, UnusableEntriesAreRefusedAndNothingIsCreated) {
  DibShape twoBits;
  twoBits.bitCount = 2;
  Bytes cursor43 = MakeCursor(1, 1, DibShape{});
  cursor43.resize(43);
  Bytes cutPng = MakePng(16, 16);
  cutPng.resize(cutPng.size() - 12);  // IEND missing
  Bytes headOnly = MakePng(16, 16);
  headOnly.resize(45);  // signature, IHDR, part of IDAT
  Bytes notIhdr = MakePng(16, 16);
  notIhdr[12] = 'X';
  Bytes pngBitmap = MakePng(16, 16);

  TempDir dir;
  int n = 0;
  auto refused = [&](ImageKind kind, const Bytes& bytes) {
    Entry e(kind, bytes);
    std::string path = dir.Join("r" + std::to_string(n++));
    EXPECT_EQ(WriteImageFile(path.c_str(), e.record, e.image), ExportStatus::Refused);
    EXPECT_FALSE(std::filesystem::exists(path));
  };
  refused(ImageKind::Icon, MakeIcon(twoBits));
  refused(ImageKind::Bitmap, MakeBitmap(twoBits));
  refused(ImageKind::Cursor, cursor43);
  refused(ImageKind::Icon, cutPng);
  refused(ImageKind::Icon, headOnly);
  refused(ImageKind::Icon, notIhdr);
  refused(ImageKind::Bitmap, pngBitmap);  // bitmaps never hold PNGs

  // An image prepared from other bytes than the record's.
  Entry icon(ImageKind::Icon, MakeIcon(DibShape{}));
  ImageRecord other = icon.record;
  other.size = 700;
  ExportPlan plan;
  EXPECT_FALSE(PlanExport(other, icon.image, &plan));
  LoadedImage never;
  EXPECT_FALSE(PlanExport(icon.record, never, &plan));
}

TEST(ImageExport, IconWithCutMaskIsCompletedWithOpaqueRows) {
  Bytes bytes = MakeIcon(DibShape{});
  bytes.resize(700);  // 44 of the 128 mask bytes are missing
  Entry icon(ImageKind::Icon, bytes);
  ASSERT_FALSE(icon.image.unusable);
  ASSERT_FALSE(icon.image.maskComplete);
  TempDir dir;
  std::string path = dir.Join("cut.ico");
  ASSERT_EQ(WriteImageFile(path.c_str(), icon.record, icon.image), ExportStatus::Written);
  Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 766u);
  EXPECT_EQ(Get32(file, 14), 744u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file.begin() + 22));
  for (size_t i = 22 + 700; i < file.size(); ++i) ASSERT_EQ(file[i], 0) << i;
}

TEST(ImageExport, CountersRiseOnlyAfterASuccessfulSaveOfTheirKind) {
  SaveState save;
  char name[kPathBufferSize];
  DefaultSaveName(save, ImageKind::Bitmap, name);
  EXPECT_STREQ(name, "Bitmap0.bmp");
  EXPECT_STREQ(SaveDialogTitle(ImageKind::Bitmap), "Save bitmap");
  EXPECT_STREQ(SaveDialogTitle(ImageKind::Icon), "Save icon");
  EXPECT_STREQ(SaveDialogTitle(ImageKind::Cursor), "Save cursor");

  TempDir dir;
  Entry bitmap(ImageKind::Bitmap, MakeBitmap(DibShape{}));
  // The kind decides the format, not the extension typed.
  std::string asIco = dir.Join("typed.ico");
  ASSERT_EQ(SaveToPath(save, asIco.c_str(), bitmap.record, bitmap.image), ExportStatus::Written);
  EXPECT_EQ(ReadWholeFile(asIco)[0], 'B');
  EXPECT_STREQ(save.lastSavePath, asIco.c_str());
  DefaultSaveName(save, ImageKind::Bitmap, name);
  EXPECT_STREQ(name, "Bitmap1.bmp");
  DefaultSaveName(save, ImageKind::Icon, name);
  EXPECT_STREQ(name, "Icon0.ico");

  // A failed write still remembers the path but keeps the number.
  std::string nowhere = dir.Join("missing") + "/x.bmp";
  EXPECT_EQ(SaveToPath(save, nowhere.c_str(), bitmap.record, bitmap.image),
            ExportStatus::CannotCreate);
  EXPECT_STREQ(save.lastSavePath, nowhere.c_str());
  EXPECT_EQ(save.bitmapCounter, 1);

  Entry cursor(ImageKind::Cursor, MakeCursor(0, 0, DibShape{}));
  std::string cur = dir.Join("c.cur");
  ASSERT_EQ(SaveToPath(save, cur.c_str(), cursor.record, cursor.image), ExportStatus::Written);
  DefaultSaveName(save, ImageKind::Cursor, name);
  EXPECT_STREQ(name, "Cursor1.cur");
  EXPECT_EQ(save.iconCounter, 0);
}

TEST(ImageExport, SaveNameAndTypeDecideFormatAndExtension) {
  struct Row {
    ImageKind kind;
    const char* typed;
    int32_t type;
    SaveNameCheck check;
    SaveFormat format;
    const char* path;
  };
  constexpr auto Ok = SaveNameCheck::Ok, Wrong = SaveNameCheck::WrongExtension;
  constexpr auto Bmp = ImageKind::Bitmap, Ico = ImageKind::Icon, Cur = ImageKind::Cursor;
  constexpr auto Classic = SaveFormat::Classic, Png = SaveFormat::Png;
  const int32_t one = kSaveTypeClassic, png = kSaveTypePng;
  const Row rows[] = {
      {Ico, "d\\Icon0.ICO", png, Ok, Png, "d\\Icon0.png"},
      {Cur, "c.PNG", one, Ok, Png, "c.PNG"},
      {Ico, "noext", one, Ok, Classic, "noext.ico"},
      {Bmp, "a.b\\noext", 3, Ok, Classic, "a.b\\noext.bmp"},
      {Cur, "dot.", png, Ok, Png, "dot.png"},
      {Bmp, "x.dat", png, Ok, Png, "x.dat"},
      {Ico, "x.bmp", one, Wrong, Classic, ""},
      {Bmp, "x.ico", one, Wrong, Classic, ""},
  };
  for (const Row& row : rows) {
    SaveTarget target{};
    ASSERT_EQ(ResolveSaveTarget(row.kind, row.typed, row.type, &target), row.check) << row.typed;
    if (row.check != SaveNameCheck::Ok) continue;
    EXPECT_EQ(target.format, row.format) << row.typed;
    EXPECT_STREQ(target.path, row.path) << row.typed;
  }
  SaveTarget target{};
  const std::string full(kPathBufferSize - 2, 'n');
  EXPECT_EQ(ResolveSaveTarget(ImageKind::Icon, full.c_str(), 1, &target), SaveNameCheck::TooLong);
}
