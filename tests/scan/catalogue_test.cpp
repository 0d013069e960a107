#include "scan/catalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scan/scan_window.h"
#include "tests/support/dib_builder.h"
#include "tests/support/ne_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> MzWithHeaderAt(uint32_t headerPosition, size_t length) {
  std::vector<uint8_t> b(length, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 60, headerPosition);
  return b;
}

MinimalPe FiveBitmaps() {
  std::vector<PeResource> r;
  for (uint32_t i = 1; i <= 5; ++i) r.push_back(PeBitmap(i, MakeBitmapData(static_cast<int32_t>(i), 2)));
  return MakeMinimalPe(r);
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(AllocateCatalogue(&catalogue_, kCatalogueCapacity)); }
  TempDir dir_;
  Catalogue catalogue_;
};

}  // namespace

TEST_F(CatalogueTest, ShortFilesAndHeaderPositionBounds) {
  std::vector<uint8_t> file = MzWithHeaderAt(0, 64);
  EXPECT_EQ(ScanBytes(dir_, file).status, ScanStatus::Unsupported);  // reads "MZ" as the signature
  file.pop_back();
  EXPECT_EQ(ScanBytes(dir_, file).status, ScanStatus::Damaged);

  // "PE",0,0 as the last four bytes: the PE walker runs and finds no COFF
  // header. One byte further and the header position is out of the file.
  file = MzWithHeaderAt(0x80, 0x84);
  PutBytes(file, 0x80, "PE\0\0", 4);
  EXPECT_EQ(ScanBytes(dir_, file).status, ScanStatus::Damaged);
  Put32(file, 60, 0x81);
  EXPECT_EQ(ScanBytes(dir_, file).status, ScanStatus::Unsupported);

  // Header positions that only a wrapping sum would let through.
  for (uint32_t position : {0xFFFFFFFCu, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x7FFFFFFDu}) {
    Put32(file, 60, position);
    EXPECT_EQ(ScanBytes(dir_, file).status, ScanStatus::Unsupported) << std::hex << position;
  }
}

TEST_F(CatalogueTest, SignaturesThatSelectAWalker) {
  NeBuilder ne;
  ne.Add(kNeTypeIcon, MakeIconData(16, 16));
  for (const char* tail : {"\0\0", "\xFF\xFF", "PE", "\x05\x0A"}) {
    ne.signature = {'N', 'E', static_cast<uint8_t>(tail[0]), static_cast<uint8_t>(tail[1])};
    ScanOutcome out = ScanBytes(dir_, ne.Build().bytes);
    EXPECT_EQ(out.status, ScanStatus::Ok);
    EXPECT_EQ(out.records.size(), 1u);
  }
  for (std::array<uint8_t, 4> other : {std::array<uint8_t, 4>{'N', 'X', 0, 0},
                                       std::array<uint8_t, 4>{'E', 'N', 0, 0},
                                       std::array<uint8_t, 4>{'n', 'e', 0, 0}}) {
    ne.signature = other;
    EXPECT_EQ(ScanBytes(dir_, ne.Build().bytes).status, ScanStatus::Unsupported);
  }

  MinimalPe pe = MakeMinimalPe({PeBitmap(1, MakeBitmapData(4, 4))});
  EXPECT_EQ(ScanBytes(dir_, pe.bytes).status, ScanStatus::Ok);
  for (const char* tail : {"\0\x01", "\x01\0", "\0E", "  "}) {
    std::vector<uint8_t> bent = pe.bytes;
    bent[0x82] = static_cast<uint8_t>(tail[0]);
    bent[0x83] = static_cast<uint8_t>(tail[1]);
    EXPECT_EQ(ScanBytes(dir_, bent).status, ScanStatus::Unsupported);
  }
  for (const char* mz : {"ZM", "Mz", "mZ"}) {
    std::vector<uint8_t> bent = pe.bytes;
    bent[0] = static_cast<uint8_t>(mz[0]);
    bent[1] = static_cast<uint8_t>(mz[1]);
    EXPECT_EQ(ScanBytes(dir_, bent).status, ScanStatus::Unsupported);
  }
}

TEST_F(CatalogueTest, StatusesAsTheCommandsSeeThem) {
  std::string d = dir_.path();
  int32_t sequenceBefore = catalogue_.nextSequence;

  dir_.Write("short.exe", std::vector<uint8_t>(63, 'M'));
  dir_.Write("emptytree.exe", MakeMinimalPe({}).bytes);
  PeBuilder bare;
  bare.sections.push_back({".text", 0x1000, 0, std::vector<uint8_t>(32, 0x90)});
  dir_.Write("norsrc.exe", bare.Build().bytes);
  dir_.Write("text.exe", std::vector<uint8_t>(100, 'x'));
  std::filesystem::create_directory(dir_.Join("folder.exe"));

  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "short.exe"), AddStatus::Done);
  ScanStatus why = ScanStatus::Ok;
  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "norsrc.exe", &why), AddStatus::Done);
  EXPECT_EQ(why, ScanStatus::NoImages);
  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "text.exe"), AddStatus::Unsupported);
  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "missing.exe"), AddStatus::CannotOpen);
  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "folder.exe"), AddStatus::CannotOpen);
  EXPECT_EQ(catalogue_.count, 0);
  EXPECT_EQ(catalogue_.nextSequence, sequenceBefore);
  EXPECT_EQ(ScanPath(d, "emptytree.exe").status, ScanStatus::NoImages);
}

TEST_F(CatalogueTest, CatalogueFillsUpInTheMiddleOfAFile) {
  MinimalPe pe = FiveBitmaps();
  dir_.Write("five.exe", pe.bytes);
  std::string d = dir_.path();
  catalogue_.records[19997].sequence = -7;

  catalogue_.count = 19998;
  ScanStatus why = ScanStatus::NoImages;
  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "five.exe", &why), AddStatus::Done);
  EXPECT_EQ(why, ScanStatus::Ok);
  EXPECT_EQ(catalogue_.count, kCatalogueCapacity);
  EXPECT_EQ(catalogue_.records[19997].sequence, -7);
  EXPECT_EQ(catalogue_.records[19998].offset, pe.DataPosition(0));
  EXPECT_EQ(catalogue_.records[19999].offset, pe.DataPosition(1));
  EXPECT_EQ(catalogue_.records[19999].sequence, catalogue_.records[19998].sequence + 1);

  // A full catalogue does not open the next file, so even a missing one is
  // reported as CatalogueFull, and no sequence number is used up.
  int32_t sequence = catalogue_.nextSequence;
  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "missing.exe"), AddStatus::CatalogueFull);
  EXPECT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), "five.exe"), AddStatus::CatalogueFull);
  EXPECT_EQ(catalogue_.nextSequence, sequence);
  EXPECT_EQ(catalogue_.count, kCatalogueCapacity);

  // ScanFile itself writes no slot past the room it is given.
  ScanOutcome two = ScanBytes(dir_, pe.bytes, 2);
  EXPECT_EQ(two.status, ScanStatus::Ok);
  EXPECT_EQ(two.records.size(), 2u);
  EXPECT_EQ(two.slotsTouched, 2);
}

TEST_F(CatalogueTest, SequenceNumbersAndNamesAcrossFills) {
  dir_.Write("one.exe", FiveBitmaps().bytes);
  dir_.Write("two.exe", MakeMinimalPe({PeIcon(1, MakeIconData(16, 16))}).bytes);
  std::string d = dir_.path();
  const char* one = "one.exe";
  const char* two = "two.exe";

  int32_t start = catalogue_.nextSequence;
  ASSERT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), one), AddStatus::Done);
  ASSERT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), two), AddStatus::Done);
  ASSERT_EQ(catalogue_.count, 6);
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(catalogue_.records[i].sequence, start + i);
    EXPECT_EQ(catalogue_.records[i].directory, d.c_str());
    EXPECT_EQ(catalogue_.records[i].fileName, i < 5 ? one : two);  // the very references given
  }

  // A new fill starts at slot 0 but the numbers go on.
  catalogue_.count = 0;
  ASSERT_EQ(AddFileToCatalogue(&catalogue_, d.c_str(), two), AddStatus::Done);
  EXPECT_EQ(catalogue_.count, 1);
  EXPECT_EQ(catalogue_.records[0].sequence, start + 6);
  EXPECT_EQ(catalogue_.records[0].kind, ImageKind::Icon);
  EXPECT_EQ(catalogue_.records[1].sequence, start + 1);  // left from the first fill
}

TEST_F(CatalogueTest, AreaFromTheHeaderInTheWindow) {
  std::vector<uint8_t> cursor = {0xFF, 0xFF, 0xFF, 0xFF};  // a hotspot that would read as -1
  PutBytes(cursor, 4, MakeInfoHeader(32, 64));
  std::vector<uint8_t> pngCursor = {0xFF, 0xFF, 0xFF, 0xFF};
  PutBytes(pngCursor, 4, MakePngStart(48, 40));
  MinimalPe pe = MakeMinimalPe({
      PeCursor(1, cursor),
      PeCursor(2, pngCursor),
      PeBitmap(1, MakeInfoHeader(50, -100)),
      PeBitmap(2, MakeInfoHeader(-3, 4)),
      PeBitmap(3, MakeInfoHeader(0x7FFFFFFF, INT_MIN)),
      // Only icons and cursors hold PNG images.
      PeBitmap(4, MakePngStart(256, 256)),
      PeIcon(1, MakeInfoHeader(32, 64)),
      PeIcon(2, MakeInfoHeader(32, 65)),
      PeIcon(3, MakeInfoHeader(32, -64)),
      PeIcon(4, MakePngStart(256, 256)),
      PeIcon(5, MakePngStart(0x10000, 0x10001)),
      PeIcon(6, MakePngStart(256, 256, "IDAT")),
  });
  ScanOutcome out = ScanBytes(dir_, pe.bytes);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  std::vector<int32_t> areas;
  for (const ImageRecord& r : out.records) areas.push_back(r.area);
  // 0x7FFFFFFF x 2^31 keeps only its low 32 bits, as a 32-bit product would.
  // A PNG's size is not halved; a signature without IHDR behind it is read
  // as a header, like any other bytes.
  std::vector<int32_t> expected = {1024, 1920, 5000, -12,   INT_MIN, -1459617792,
                                   1024, 1024, 1024, 65536, 65536,   1417674752};
  EXPECT_EQ(areas, expected);
}

TEST_F(CatalogueTest, AreaOnlyWhenAllSixteenBytesAreInTheWindow) {
  // The second read starts at the lowest data entry; a header whose 16
  // bytes end exactly at the window's end is read, one byte later is not.
  for (int64_t past : {0, 1}) {
    MinimalPe pe = MakeMinimalPe({PeIcon(1, {}), PeIcon(2, {})});
    int64_t windowStart = pe.DataEntryPosition(0);
    int64_t header = windowStart + kScanWindowSize - 16 + past;
    pe.PointDataEntry(0, header, 40);
    pe.PointDataEntry(1, 0x40, 40);  // between the MZ header and "PE": before the window
    PutBytes(pe.bytes, static_cast<size_t>(header), MakeInfoHeader(32, 64));
    PutBytes(pe.bytes, 0x40, MakeInfoHeader(32, 64));
    ScanOutcome out = ScanBytes(dir_, pe.bytes);
    ASSERT_EQ(out.status, ScanStatus::Ok);
    ASSERT_EQ(out.records.size(), 2u);
    EXPECT_EQ(out.records[0].offset, header);
    EXPECT_EQ(out.records[0].area, past == 0 ? 1024 : 0) << "past " << past;
    EXPECT_EQ(out.records[1].area, 0);
  }
}

TEST_F(CatalogueTest, PngAreaOnlyWhenItsSizeIsInTheWindow) {
  // An icon's 24 PNG bytes, a cursor's 28 with its hotspot, end exactly at
  // the window's end, then one byte later; a classic header there would
  // still be read.
  for (ImageKind kind : {ImageKind::Icon, ImageKind::Cursor}) {
    const int64_t need = kind == ImageKind::Cursor ? 28 : 24;
    for (int64_t past : {0, 1}) {
      std::vector<uint8_t> data(kind == ImageKind::Cursor ? 4 : 0, 0);
      PutBytes(data, data.size(), MakePngStart(256, 256));
      MinimalPe pe = MakeMinimalPe({kind == ImageKind::Cursor ? PeCursor(1, {}) : PeIcon(1, {})});
      int64_t header = pe.DataEntryPosition(0) + kScanWindowSize - need + past;
      pe.PointDataEntry(0, header, static_cast<uint32_t>(data.size()));
      PutBytes(pe.bytes, static_cast<size_t>(header), data);
      ScanOutcome out = ScanBytes(dir_, pe.bytes);
      ASSERT_EQ(out.status, ScanStatus::Ok);
      ASSERT_EQ(out.records.size(), 1u);
      EXPECT_EQ(out.records[0].area, past == 0 ? 65536 : 0) << "need " << need << " past " << past;
    }
  }
}

TEST_F(CatalogueTest, ResourceMustLieWhollyInTheFile) {
  struct Case {
    int64_t fromEnd;  // data position relative to the end of the file
    uint32_t size;
    bool recorded;
  };
  const Case cases[] = {
      {-40, 40, true},           {-40, 41, false},       {-1, 1, true},
      {0, 0, true},              {0, 1, false},          {-40, 0x80000000u, false},
      {-40, 0xFFFFFFFFu, false}, {-40, 0x7FFFFFFFu, false},
  };
  for (const Case& c : cases) {
    MinimalPe pe = MakeMinimalPe({PeBitmap(1, MakeBitmapData(4, 4))});
    int64_t length = static_cast<int64_t>(pe.bytes.size());
    pe.PointDataEntry(0, length + c.fromEnd, c.size);
    ScanOutcome out = ScanBytes(dir_, pe.bytes);
    EXPECT_EQ(out.status, c.recorded ? ScanStatus::Ok : ScanStatus::NoImages)
        << "from end " << c.fromEnd << " size " << c.size;
    if (c.recorded && out.records.size() == 1) {
      EXPECT_EQ(out.records[0].offset, length + c.fromEnd);
      EXPECT_EQ(static_cast<uint32_t>(out.records[0].size), c.size);
    }
  }
}

TEST_F(CatalogueTest, FilesOfTwoGiBAndMoreReadAsTwoGiBLessOne) {
  // Sparse files: only the headers hold data.
  for (uint64_t length : {0x80000000ull + 0x1000, 0x100000000ull + 0x800}) {
    // A section address below its file position keeps the RVAs of offsets
    // near 2 GiB positive.
    MinimalPe pe = MakeMinimalPe({PeBitmap(1, {}), PeBitmap(2, {}), PeBitmap(3, {})}, false, 0x100);
    pe.PointDataEntry(0, 0x7FFFFFFF - 16, 16);  // ends at 2 GiB - 1: kept
    pe.PointDataEntry(1, 0x7FFFFFF0, 16);       // ends at 2 GiB: dropped
    pe.PointDataEntry(2, pe.DataPosition(0), 0);
    std::string path = dir_.Write("big.exe", pe.bytes);
    std::error_code ec;
    std::filesystem::resize_file(path, length, ec);
    if (ec) GTEST_SKIP() << "no sparse file of " << length << " bytes here: " << ec.message();
    ScanOutcome out = ScanPath(dir_.path(), "big.exe");
    std::filesystem::remove(path, ec);
    // What lies past what can be read is missing, and the scan says so.
    ASSERT_EQ(out.status, ScanStatus::Partial) << length;
    ASSERT_EQ(out.records.size(), 2u) << length;
    EXPECT_EQ(out.records[0].offset, 0x7FFFFFFF - 16);
    EXPECT_EQ(out.records[1].offset, pe.DataPosition(0));
  }
}

TEST(OpenInDirectory, JoinsWithOneSeparator) {
  const std::string sep(1, PathSeparator());
  char out[kPathBufferSize];
  ASSERT_TRUE(JoinPath("dir", "a.exe", out));
  EXPECT_EQ(std::string(out), "dir" + sep + "a.exe");
  ASSERT_TRUE(JoinPath(("dir" + sep).c_str(), "a.exe", out));
  EXPECT_EQ(std::string(out), "dir" + sep + "a.exe");
  ASSERT_TRUE(JoinPath("", "a.exe", out));
  EXPECT_EQ(std::string(out), "a.exe");
#ifdef _WIN32
  ASSERT_TRUE(JoinPath("C:", "a.exe", out));
  EXPECT_STREQ(out, "C:\\a.exe");
  ASSERT_TRUE(JoinPath("C:\\", "a.exe", out));
  EXPECT_STREQ(out, "C:\\a.exe");
#endif

  // 259 characters fit the buffer with the terminator; 260 do not, and the
  // buffer is left as it was.
  std::string dir(200, 'd');
  ASSERT_TRUE(JoinPath(dir.c_str(), std::string(58, 'n').c_str(), out));
  EXPECT_EQ(strlen(out), 259u);
  strcpy(out, "untouched");
  EXPECT_FALSE(JoinPath(dir.c_str(), std::string(59, 'n').c_str(), out));
  EXPECT_STREQ(out, "untouched");
  EXPECT_FALSE(JoinPath((dir + sep).c_str(), std::string(59, 'n').c_str(), out));
}

TEST(OpenInDirectory, OpensUpToTheLongestJoin) {
  TempDir dir;
  dir.Write("a.exe", {'M', 'Z'});
  for (const std::string& d : {dir.path(), dir.path() + PathSeparator()}) {
    FileHandle f = OpenInDirectory(d.c_str(), "a.exe");
    EXPECT_NE(f, kInvalidFile) << d;
    CloseFile(f);
  }
  EXPECT_EQ(OpenInDirectory(dir.path().c_str(), "b.exe"), kInvalidFile);

  size_t room = 259 - dir.path().size() - 1;  // the name that makes a 259-character join
  ASSERT_GT(room, 8u);
  ASSERT_LT(room, 255u);
  std::string name259(room, 'x');
  std::string name260(room + 1, 'x');
  std::vector<uint8_t> mz = std::vector<uint8_t>(64, 0);
  dir.Write(name259, mz);
  FileHandle f = OpenInDirectory(dir.path().c_str(), name259.c_str());
  EXPECT_NE(f, kInvalidFile);
  CloseFile(f);
  try {
    dir.Write(name260, mz);  // may not be possible where paths stop at 259
  } catch (const std::exception&) {
  }
  EXPECT_EQ(OpenInDirectory(dir.path().c_str(), name260.c_str()), kInvalidFile);
  int32_t count = 0;
  Catalogue one;
  ASSERT_TRUE(AllocateCatalogue(&one, 1));
  EXPECT_EQ(ScanFile(dir.path().c_str(), name260.c_str(), &one, &count), ScanStatus::CannotOpen);
}
