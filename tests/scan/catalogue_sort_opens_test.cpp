// Which files the area pass opens and closes, in which order, as the kernel
// sees it happen (inotify), on the real file services.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "scan/catalogue_sort.h"
#include "scan/duplicate_fold.h"
#include "tests/support/dib_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

class AreaPassOpens : public ::testing::Test {
 protected:
  void SetUp() override {
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch_, 0);
  }
  void TearDown() override { close(watch_); }

  // A file of three 8 x 8 bitmap headers, from offset 64 on, watched for
  // opens and closes under its name. The kernel merges an event into an
  // identical one still unread, so the closes also keep the opens apart.
  void AddFile(const std::string& name) {
    std::vector<uint8_t> bytes(64, 0);
    for (int i = 0; i < 3; ++i) PutBytes(bytes, bytes.size(), MakeInfoHeader(8, 8));
    const std::string path = dir_.Write(name, bytes);
    const int id = inotify_add_watch(watch_, path.c_str(), IN_OPEN | IN_CLOSE_NOWRITE);
    ASSERT_GE(id, 0);
    names_[id] = name;
  }

  ImageRecord Unknown(const char* fileName, int32_t slot, int32_t area = 0) {
    const char* directory = dir_.path().c_str();
    return ImageRecord{ImageKind::Bitmap, 64 + 40 * slot, 40, slot, area, directory, fileName};
  }

  // "open NAME" and "close NAME" for what happened since the last call.
  std::vector<std::string> Events() {
    std::vector<std::string> events;
    alignas(inotify_event) char buffer[4096];
    ssize_t got;
    while ((got = read(watch_, buffer, sizeof buffer)) > 0) {
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->mask & IN_OPEN) events.push_back("open " + names_[event->wd]);
        if (event->mask & IN_CLOSE_NOWRITE) events.push_back("close " + names_[event->wd]);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return events;
  }

  TempDir dir_;
  int watch_ = -1;
  std::map<int, std::string> names_;
};

}  // namespace

TEST_F(AreaPassOpens, OneOpenPerRunOfAFilesRecords) {
  AddFile("x.exe");
  AddFile("y.exe");
  static const char kX[] = "x.exe";
  static const char kY[] = "y.exe";
  std::vector<ImageRecord> records = {Unknown(kX, 0), Unknown(kX, 1), Unknown(kY, 0),
                                      Unknown(kX, 2, 64), Unknown(kX, 2)};
  ASSERT_TRUE(FillMissingAreas(records.data(), static_cast<int32_t>(records.size())));
  // X for its first two records, Y, then X again; the record whose area was
  // known between them costs nothing.
  EXPECT_EQ(Events(), (std::vector<std::string>{"open x.exe", "close x.exe", "open y.exe",
                                                "close y.exe", "open x.exe", "close x.exe"}));
  for (const ImageRecord& r : records) EXPECT_EQ(r.area, 64);

  // With every area known, nothing is opened at all.
  ASSERT_TRUE(FillMissingAreas(records.data(), static_cast<int32_t>(records.size())));
  EXPECT_TRUE(Events().empty());
}

TEST_F(AreaPassOpens, EqualTextsBehindOtherReferencesAreAnotherFile) {
  AddFile("x.exe");
  // The same name, but not the same pool entry.
  std::string first = "x.exe";
  std::string second = "x.exe";
  std::string otherDirectory = dir_.path();
  std::vector<ImageRecord> records = {Unknown(first.c_str(), 0), Unknown(second.c_str(), 1),
                                      Unknown(second.c_str(), 2)};
  records[2].directory = otherDirectory.c_str();
  ASSERT_TRUE(FillMissingAreas(records.data(), 3));
  EXPECT_EQ(Events(), (std::vector<std::string>{"open x.exe", "close x.exe", "open x.exe",
                                                "close x.exe", "open x.exe", "close x.exe"}));
}

TEST_F(AreaPassOpens, TheFoldReadsEachFileOnceAndArrangesWithoutAny) {
  AddFile("x.exe");
  AddFile("y.exe");
  static const char kX[] = "x.exe";
  // Sorted: in discovery order X, X, X, Y. Every header is equal.
  Catalogue catalogue;
  ASSERT_TRUE(AllocateCatalogue(&catalogue, 4));
  for (const ImageRecord& r : {Unknown(kX, 2), Unknown("y.exe", 0), Unknown(kX, 0), Unknown(kX, 1)})
    catalogue.records[catalogue.count++] = r;
  catalogue.records[1].sequence = 3;
  DuplicateFold fold;
  ASSERT_TRUE(fold.Read(catalogue) && fold.Arrange(catalogue));
  EXPECT_EQ(Events(),
            (std::vector<std::string>{"open x.exe", "close x.exe", "open y.exe", "close y.exe"}));
}
