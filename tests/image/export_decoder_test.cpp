// Exported files read back by real decoders (ImageMagick, icotool) for the
// layouts Wine's own DLLs do not hold: colour masks behind a 40-byte header,
// an icon whose mask is cut short, PNG icons and cursors.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/image_export.h"
#include "tests/support/dib_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

bool HaveTool(const char* tool) {
  std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return system(command.c_str()) == 0;
}

// Standard output and the exit status of a shell command; standard error
// goes to the output too, so a decoder's complaint shows in the result.
struct ToolRun {
  int status;
  std::string output;
};

ToolRun Shell(const std::string& command) {
  ToolRun run{-1, ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  run.status = pclose(pipe);
  return run;
}

std::string Export(const TempDir& dir, const std::string& name, ImageKind kind, Bytes bytes) {
  ImageRecord record = RecordFor(kind, bytes);
  LoadedImage image;
  PrepareImage(bytes.data(), &record, &image);
  std::string path = dir.Join(name);
  EXPECT_EQ(WriteImageFile(path.c_str(), record, image), ExportStatus::Written) << name;
  return path;
}

class ExportDecoders : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"convert", "identify", "icotool"}) {
      if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    }
  }
  TempDir dir_;
};

}  // namespace

TEST_F(ExportDecoders, ColourMasksBehindAPlainHeaderDecodeToTheRightColours) {
  // Two 5-6-5 pixels, red then blue, behind the three masks.
  DibShape shape;
  shape.width = 2;
  shape.height = 1;
  shape.bitCount = 16;
  shape.compression = 3;
  Bytes bytes = InfoHeader(shape, 1);
  for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) {
    bytes.resize(bytes.size() + 4);
    Put32(bytes, bytes.size() - 4, mask);
  }
  bytes.insert(bytes.end(), {0x00, 0xF8, 0x1F, 0x00});
  std::string path = Export(dir_, "masks.bmp", ImageKind::Bitmap, bytes);
  ToolRun run = Shell("convert '" + path + "' -depth 8 txt:-");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("0,0: (255,0,0"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("1,0: (0,0,255"), std::string::npos) << run.output;
}

TEST_F(ExportDecoders, IconWithCutMaskDecodesWithOpaqueTopRows) {
  Bytes bytes = MakeIcon(DibShape{});
  // Eleven of the 32 mask rows are missing: the top ones, as rows are
  // stored bottom-up.
  bytes.resize(744 - 11 * 4);
  std::string path = Export(dir_, "cut.ico", ImageKind::Icon, bytes);
  ToolRun list = Shell("icotool -l '" + path + "'");
  ASSERT_EQ(list.status, 0) << list.output;
  EXPECT_EQ(list.output,
            "--icon --index=1 --width=32 --height=32 --bit-depth=4 --palette-size=16\n");
  ToolRun alpha = Shell("convert '" + path + "' -alpha extract -depth 8 txt:-");
  ASSERT_EQ(alpha.status, 0) << alpha.output;
  for (int x : {0, 17, 31}) {
    std::string pixel = std::to_string(x) + ",0: (255";
    EXPECT_NE(alpha.output.find(pixel), std::string::npos) << pixel;
  }
}

TEST_F(ExportDecoders, PngIconAndCursorAreReadable) {
  std::string icon = Export(dir_, "png.ico", ImageKind::Icon, MakePng(256, 256));
  ToolRun list = Shell("icotool -l '" + icon + "'");
  ASSERT_EQ(list.status, 0) << list.output;
  EXPECT_EQ(list.output,
            "--icon --index=1 --width=256 --height=256 --bit-depth=32 --palette-size=0\n");
  ToolRun identify = Shell("identify -format '%m %w %h\\n' '" + icon + "'");
  ASSERT_EQ(identify.status, 0) << identify.output;
  EXPECT_EQ(identify.output, "PNG 256 256\n");

  Bytes cursor = {5, 0, 6, 0};
  Bytes png = MakePng(32, 32);
  cursor.insert(cursor.end(), png.begin(), png.end());
  std::string cur = Export(dir_, "png.cur", ImageKind::Cursor, cursor);
  list = Shell("icotool -l '" + cur + "'");
  ASSERT_EQ(list.status, 0) << list.output;
  EXPECT_NE(list.output.find("--width=32 --height=32"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("--hotspot-x=5 --hotspot-y=6"), std::string::npos) << list.output;
}
