// The read contract of the file services on real files: seek anywhere, read
// at most count bytes from there, none at or past the end. The POSIX side
// joins seeks with reads and serves the first 4 KiB from one read, so reads
// around that edge, reads of two open files in turn and a descriptor number
// reused after a close are where it could go wrong; the same cases run against
// the Win32 side under Wine.
#include "scan/file_services.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Pattern(size_t length, uint8_t salt) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + salt) % 251);
  return bytes;
}

// Reads count bytes at position, through a seek and a read and then through
// the positional read, and checks them against the file's bytes.
void ExpectReadAt(FileHandle file, const std::vector<uint8_t>& content, int64_t position,
                  int32_t count) {
  int64_t room = static_cast<int64_t>(content.size()) - position;
  int32_t expect = room <= 0 ? 0 : (room < count ? static_cast<int32_t>(room) : count);
  for (bool positional : {false, true}) {
    std::vector<uint8_t> got(static_cast<size_t>(count) + 1, 0xEE);
    int32_t arrived = 0;
    if (positional) {
      arrived = ReadBytesAt(file, position, got.data(), count);
    } else {
      ASSERT_TRUE(SeekFromStart(file, position));
      arrived = ReadBytes(file, got.data(), count);
    }
    EXPECT_EQ(arrived, expect) << "at " << position << " count " << count
                               << (positional ? " (positional)" : "");
    for (int32_t i = 0; i < expect; ++i) {
      ASSERT_EQ(got[i], content[position + i]) << "byte " << i << " of the read at " << position;
    }
    EXPECT_EQ(got[expect], 0xEE) << "wrote past what it reported, at " << position;
  }
}

TEST(FileServices, ReadsWhatLiesAtEachSoughtPosition) {
  TempDir dir;
  std::vector<uint8_t> content = Pattern(70000, 1);
  FileHandle file = OpenFileForReading(dir.Write("long.bin", content).c_str());
  ASSERT_NE(file, kInvalidFile);
  EXPECT_EQ(GetFileLength(file), 70000);
  // The order of a scan: MZ header, signature, COFF header, section table,
  // then windows far out, and back near the start.
  ExpectReadAt(file, content, 0, 64);
  ExpectReadAt(file, content, 0x80, 4);
  ExpectReadAt(file, content, 0x84, 20);
  ExpectReadAt(file, content, 0x98, 5 * 40);
  ExpectReadAt(file, content, 3000, 65536);
  ExpectReadAt(file, content, 20, 10);
  // Around the edge of the first 4 KiB.
  ExpectReadAt(file, content, 4095, 1);
  ExpectReadAt(file, content, 4094, 4);
  ExpectReadAt(file, content, 4096, 4);
  ExpectReadAt(file, content, 0, 4096);
  ExpectReadAt(file, content, 0, 4097);
  ExpectReadAt(file, content, 1, 4096);
  // Up to and past the end.
  ExpectReadAt(file, content, 70000 - 16, 64);
  ExpectReadAt(file, content, 70000, 4);
  ExpectReadAt(file, content, 1 << 20, 4);
  // Just written and read: not a head to ask for again.
  EXPECT_NE(ReadAheadUnlessCached(file), HeadInCache::No);
  CloseFile(file);
}

TEST(FileServices, ConsecutiveReadsGoOnWhereTheLastStopped) {
  TempDir dir;
  std::vector<uint8_t> content = Pattern(9000, 2);
  FileHandle file = OpenFileForReading(dir.Write("seq.bin", content).c_str());
  ASSERT_NE(file, kInvalidFile);
  ASSERT_TRUE(SeekFromStart(file, 4090));
  uint8_t a[4], b[8], c[16];
  ASSERT_EQ(ReadBytes(file, a, 4), 4);
  ASSERT_EQ(ReadBytes(file, b, 8), 8);  // crosses the 4 KiB edge
  EXPECT_EQ(0, memcmp(a, &content[4090], 4));
  EXPECT_EQ(0, memcmp(b, &content[4094], 8));
  ASSERT_TRUE(SeekFromStart(file, 8990));
  EXPECT_EQ(ReadBytes(file, c, 16), 10);
  EXPECT_EQ(0, memcmp(c, &content[8990], 10));
  EXPECT_EQ(ReadBytes(file, c, 16), 0);
  // Positional reads that follow on from each other, with a seek and a read
  // elsewhere between them: each still reads where it says.
  ASSERT_EQ(ReadBytesAt(file, 0, a, 4), 4);
  EXPECT_EQ(0, memcmp(a, &content[0], 4));
  ASSERT_TRUE(SeekFromStart(file, 100));
  ASSERT_EQ(ReadBytes(file, b, 8), 8);
  ASSERT_EQ(ReadBytesAt(file, 4, b, 8), 8);
  EXPECT_EQ(0, memcmp(b, &content[4], 8));
  ASSERT_EQ(ReadBytesAt(file, 12, c, 16), 16);
  EXPECT_EQ(0, memcmp(c, &content[12], 16));
  CloseFile(file);
}

TEST(FileServices, AFileShorterThanItsHeaderReadsToItsEndOnly) {
  TempDir dir;
  std::vector<uint8_t> content = Pattern(100, 3);
  FileHandle file = OpenFileForReading(dir.Write("short.bin", content).c_str());
  ASSERT_NE(file, kInvalidFile);
  EXPECT_EQ(GetFileLength(file), 100);
  ExpectReadAt(file, content, 0, 64);
  ExpectReadAt(file, content, 60, 64);
  ExpectReadAt(file, content, 99, 4);
  ExpectReadAt(file, content, 100, 4);
  ExpectReadAt(file, content, 4000, 200);
#ifndef _WIN32
  // Too short to tell: its bytes may have come with the open.
  EXPECT_EQ(ReadAheadUnlessCached(file), HeadInCache::Unknown);
#endif
  CloseFile(file);

  FileHandle empty = OpenFileForReading(dir.Write("empty.bin", {}).c_str());
  ASSERT_NE(empty, kInvalidFile);
  EXPECT_EQ(GetFileLength(empty), 0);
  ExpectReadAt(empty, {}, 0, 64);
  CloseFile(empty);
}

TEST(FileServices, TwoOpenFilesKeepTheirOwnPositionsAndLengths) {
  TempDir dir;
  std::vector<uint8_t> first = Pattern(5000, 4);
  std::vector<uint8_t> second = Pattern(300, 5);
  FileHandle a = OpenFileForReading(dir.Write("a.bin", first).c_str());
  FileHandle b = OpenFileForReading(dir.Write("b.bin", second).c_str());
  ASSERT_NE(a, kInvalidFile);
  ASSERT_NE(b, kInvalidFile);
  EXPECT_EQ(GetFileLength(a), 5000);
  EXPECT_EQ(GetFileLength(b), 300);
  ASSERT_TRUE(SeekFromStart(a, 10));
  ASSERT_TRUE(SeekFromStart(b, 20));
  uint8_t x[4];
  ASSERT_EQ(ReadBytes(a, x, 4), 4);
  EXPECT_EQ(0, memcmp(x, &first[10], 4));
  ASSERT_EQ(ReadBytes(b, x, 4), 4);
  EXPECT_EQ(0, memcmp(x, &second[20], 4));
  ASSERT_EQ(ReadBytes(a, x, 4), 4);
  EXPECT_EQ(0, memcmp(x, &first[14], 4));
  ExpectReadAt(a, first, 0, 64);
  ExpectReadAt(b, second, 0, 64);
  ExpectReadAt(a, first, 4000, 1000);
  CloseFile(a);
  CloseFile(b);
}

TEST(FileServices, AReopenedHandleReadsTheNewFileNotTheOld) {
  TempDir dir;
  std::vector<uint8_t> old = Pattern(2000, 6);
  std::vector<uint8_t> fresh = Pattern(1500, 7);
  std::string oldPath = dir.Write("old.bin", old);
  std::string freshPath = dir.Write("fresh.bin", fresh);
  for (int round = 0; round < 3; ++round) {
    FileHandle a = OpenFileForReading(oldPath.c_str());
    ASSERT_NE(a, kInvalidFile);
    ExpectReadAt(a, old, 0, 64);
    CloseFile(a);
    // POSIX hands out the lowest free descriptor: usually the same number.
    FileHandle b = OpenFileForReading(freshPath.c_str());
    ASSERT_NE(b, kInvalidFile);
    EXPECT_EQ(GetFileLength(b), 1500);
    ExpectReadAt(b, fresh, 0, 64);
    ExpectReadAt(b, fresh, 1490, 64);
    CloseFile(b);
  }
}

TEST(FileServices, WritesLandAtTheSoughtPosition) {
  TempDir dir;
  std::string path = dir.Join("out.bin");
  FileHandle out = CreateFileForWriting(path.c_str());
  ASSERT_NE(out, kInvalidFile);
  ASSERT_TRUE(WriteBytes(out, "abcdef", 6));
  ASSERT_TRUE(SeekFromStart(out, 2));
  ASSERT_TRUE(WriteBytes(out, "XY", 2));
  ASSERT_TRUE(WriteBytes(out, "Z", 1));
  CloseFile(out);

  FileHandle in = OpenFileForReading(path.c_str());
  ASSERT_NE(in, kInvalidFile);
  std::vector<uint8_t> expect = {'a', 'b', 'X', 'Y', 'Z', 'f'};
  EXPECT_EQ(GetFileLength(in), 6);
  ExpectReadAt(in, expect, 0, 64);
  CloseFile(in);
}

TEST(FileServices, MissingFilesAndDirectoriesDoNotOpen) {
  TempDir dir;
  EXPECT_EQ(OpenFileForReading(dir.Join("missing.bin").c_str()), kInvalidFile);
  EXPECT_EQ(OpenFileForReading(dir.path().c_str()), kInvalidFile);
}

// The walks list a directory and then open its files by their full paths,
// which the services may open relative to the directory just listed: a path
// must still name what it names, also under a sibling whose name starts
// alike and after the current directory has moved on, and a directory must
// still not open as a file.
TEST(FileServices, PathsNearTheDirectoryJustListedOpenWhatTheyName) {
  TempDir dir;
  const std::string sep(1, PathSeparator());
  const std::string ab = dir.Join("ab");
  const std::string abc = dir.Join("abc");
  fs::create_directories(ab);
  fs::create_directories(abc + sep + "sub");
  const std::vector<uint8_t> inAb = Pattern(3000, 8);
  const std::vector<uint8_t> inAbc = Pattern(700, 9);
  dir.Write("ab" + sep + "x.bin", inAb);
  dir.Write("abc" + sep + "x.bin", inAbc);
  struct Case {
    std::string path;
    const std::vector<uint8_t>* content;  // nullptr: must not open
  };
  const Case cases[] = {
      {ab + sep + "x.bin", &inAb},
      {abc + sep + "x.bin", &inAbc},
      {abc + sep + "sub", nullptr},
      {ab + sep + "missing.bin", nullptr},
      {ab, nullptr},
      {ab + sep + ".." + sep + "abc" + sep + "x.bin", &inAbc},
  };
  char original[kPathBufferSize];
  ASSERT_TRUE(GetCurrentDir(original));
  auto openEach = [&cases](const std::string& when) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.path + " " + when);
      FileHandle file = OpenFileForReading(c.path.c_str());
      if (c.content == nullptr) {
        EXPECT_EQ(file, kInvalidFile);
        if (file != kInvalidFile) CloseFile(file);
        continue;
      }
      ASSERT_NE(file, kInvalidFile);
      EXPECT_EQ(GetFileLength(file), static_cast<int64_t>(c.content->size()));
      ExpectReadAt(file, *c.content, 0, 4096);
      CloseFile(file);
    }
  };
  // ab holds files only, abc a subdirectory too; each is entered by its full
  // path and listed, as the walks do; its files are opened while the listing
  // is still open, as the window's search does, and after the current
  // directory has moved.
  for (const std::string& listed : {abc, ab}) {
    ASSERT_TRUE(SetCurrentDir(listed.c_str()));
    DirEntry entry;
    DirListing* listing = ListFirst("*.*", &entry);
    ASSERT_NE(listing, nullptr);
    while (ListNext(listing, &entry)) {
    }
    openEach("while listing " + listed);
    ListClose(listing);
    for (const char* elsewhere : {".", ".."}) {
      ASSERT_TRUE(SetCurrentDir(elsewhere));
      openEach("after listing " + listed + " and moving to " + elsewhere);
    }
  }
  // A file that changed after its listing (ab's, the last) ended is taken at
  // its new length.
  const std::vector<uint8_t> grown = Pattern(3100, 10);
  dir.Write("ab" + sep + "x.bin", grown);
  FileHandle file = OpenFileForReading((ab + sep + "x.bin").c_str());
  ASSERT_NE(file, kInvalidFile);
  EXPECT_EQ(GetFileLength(file), 3100);
  CloseFile(file);
  ASSERT_TRUE(SetCurrentDir(original));
}

}  // namespace
