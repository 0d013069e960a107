// Save All over a real DLL against what ravelin-scan's --export and --png
// write for the same entries, natively and under Wine.
#include "image/save_all.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/entry_files.h"
#include "scan/name_pool.h"
#include "tests/support/temp_dir.h"

namespace {

#ifdef _WIN32
constexpr char kDllFolder[] = "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";
#else
constexpr char kDllFolder[] = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
#endif

// Cancels once `after` entries are done.
struct CountingFeedback final : SaveAllFeedback {
  explicit CountingFeedback(int after) : left(after) {}
  bool Cancelled() override { return left == 0; }
  void Step() override { --left; }
  int left;
};

class SaveAll : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::string(kDllFolder) + "/user32.dll")) GTEST_SKIP();
    ASSERT_TRUE(InitImageLoader(cache_));
    ASSERT_TRUE(catalogue_.directoryNames.Reset(kDirectoryPoolSize) &&
                catalogue_.fileNames.Reset(kFilePoolSize));
    ASSERT_TRUE(AllocateCatalogue(&catalogue_, kCatalogueCapacity));
    ASSERT_EQ(AddFileToCatalogue(&catalogue_, catalogue_.directoryNames.Append(kDllFolder),
                                 catalogue_.fileNames.Append("user32.dll")),
              AddStatus::Done);
    ASSERT_GT(catalogue_.count, 20);
    for (int32_t i = 0; i < catalogue_.count; ++i) all_.push_back(i);
  }
  // What ravelin-scan writes for entry i into the scan folder.
  std::string Scanned(int32_t i, SaveFormat format) {
    ImageRecord& record = catalogue_.records[i];
    LoadedImage image;
    uint8_t* large = nullptr;
    EXPECT_TRUE(LoadImageRecord(cache_, &record, &image, &large));
    const bool png = format == SaveFormat::Png;
    EXPECT_TRUE(png ? WritePngEntry(scan_.path().c_str(), i, image, "user32.dll")
                    : ExportEntry(scan_.path().c_str(), i, record, image, "user32.dll"));
    ReleaseLargeBuffer(cache_, &large);
    const std::string saved = Saved(i, format);
    return scan_.Join(std::to_string(i) + saved.substr(saved.rfind('.')));
  }
  std::string Saved(int32_t i, SaveFormat format) {
    char name[kPathBufferSize];
    EXPECT_TRUE(SaveAllName(catalogue_.records[i], i, format, name));
    return out_.Join(name);
  }

  ImageCache cache_;
  Catalogue catalogue_;
  std::vector<int32_t> all_;
  TempDir out_, scan_;
};

}  // namespace

TEST_F(SaveAll, WritesWhatTheExportWritesUnderItsOwnNames) {
  EXPECT_EQ(Saved(7, SaveFormat::Png), out_.Join("user32.dll.0007.png"));
  for (SaveFormat format : {SaveFormat::Classic, SaveFormat::Png}) {
    CountingFeedback never(-1);
    const SaveAllResult result =
        SaveAllEntries(cache_, &catalogue_, all_, out_.path().c_str(), format, false, never);
    EXPECT_EQ(result.written + result.unusable, catalogue_.count);
    for (int32_t i = 0; i < catalogue_.count; ++i) {
      const std::string scanned = Scanned(i, format);
      EXPECT_EQ(std::filesystem::exists(scanned), std::filesystem::exists(Saved(i, format))) << i;
      if (!std::filesystem::exists(scanned)) continue;
      EXPECT_EQ(ReadWholeFile(Saved(i, format)), ReadWholeFile(scanned)) << i;
    }
  }
}

// Cancel stops between files; a second run that keeps existing files
// leaves a changed one changed.
TEST_F(SaveAll, CancelKeepsWhatWasWrittenAndASecondRunSeesIt) {
  CountingFeedback three(3);
  SaveAllResult result = SaveAllEntries(cache_, &catalogue_, all_, out_.path().c_str(),
                                        SaveFormat::Classic, false, three);
  EXPECT_TRUE(result.cancelled);
  ASSERT_EQ(result.written + result.unusable, 3);
  const int32_t written = result.written;
  EXPECT_EQ(CountExistingSaveAllFiles(catalogue_, all_, out_.path().c_str(), SaveFormat::Classic),
            written);
  EXPECT_EQ(ReadWholeFile(Saved(0, SaveFormat::Classic)),
            ReadWholeFile(Scanned(0, SaveFormat::Classic)));
  out_.Write(std::filesystem::path(Saved(0, SaveFormat::Classic)).filename().string(), {1, 2});
  CountingFeedback never(-1);
  result = SaveAllEntries(cache_, &catalogue_, all_, out_.path().c_str(), SaveFormat::Classic, true,
                          never);
  EXPECT_EQ(result.kept, written);
  EXPECT_EQ(result.written + result.unusable + written, catalogue_.count);
  EXPECT_EQ(ReadWholeFile(Saved(0, SaveFormat::Classic)), (std::vector<uint8_t>{1, 2}));
}
