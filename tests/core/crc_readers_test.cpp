// The reader pool: checksums come back in the order they were queued and equal the
// one-file-at-a-time ones, whatever happens to the files meanwhile.
#include "core/crc_readers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/crc32shr.h"
#include "core/rules.h"
#include "core/table.h"
#include "platform/platform.h"
#include "tests/support/scratch.h"
#include "tests/support/touch.h"

namespace {

struct Delivery {
  uint64_t tag;
  uint32_t crc;
  int error;
};

class Collect : public CrcSink {
 public:
  void Found(uint64_t tag, const FileFacts& f) override { facts.emplace_back(tag, f); }
  void Checksummed(uint64_t tag, const char*, uint32_t crc, int error) override {
    got.push_back({tag, crc, error});
  }
  std::vector<Delivery> got;
  std::vector<std::pair<uint64_t, FileFacts>> facts;  // of the deferred files
};

std::string Contents(size_t size, unsigned seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + i / 977) & 0xFF);
  return s;
}

// Files of many sizes, around the 64 KiB buffer too.
std::vector<std::string> MakeFiles(const ScratchDir& dir, size_t count) {
  const size_t sizes[] = {0, 1, 100, 4096, 65535, 65536, 65537, 200000};
  std::vector<std::string> paths;
  for (size_t i = 0; i < count; ++i) {
    std::string name = "f" + std::to_string(i);
    dir.File(name, Contents(sizes[i % 8] + i, static_cast<unsigned>(i)));
    paths.push_back(dir.Path(name));
  }
  return paths;
}

uint64_t SizeOf(const std::string& path) {
  return std::filesystem::file_size(path);
}

TEST(CrcReaders, DeliverInQueueOrderWhatOneReaderFinds) {
  ASSERT_EQ(0, InitMagic());
  ScratchDir dir;
  std::vector<std::string> paths = MakeFiles(dir, 300);
  std::vector<uint32_t> expected;
  for (const std::string& p : paths) {
    uint32_t crc = 0;
    ASSERT_EQ(0, CRCFile(p.c_str(), &crc));
    expected.push_back(crc);
  }
  for (unsigned readers : {1u, 2u, 8u, kFitReaders}) {
    // Half the files out of the page cache: fitted readers hand them to the readers that wait.
    for (size_t i = 0; i < paths.size(); i += 2) EvictFromCache(paths[i].c_str());
    Collect sink;
    {
      CrcReaders pool(readers);
      for (size_t i = 0; i < paths.size(); ++i) {
        // Every third file looked up again, as a stored table's files are.
        pool.Submit(paths[i].c_str(), SizeOf(paths[i]), FILE_ATTRIBUTE_ARCHIVE, i % 3 == 0, &sink,
                    1000 + i);
      }
      pool.Drain();
    }
    ASSERT_EQ(sink.got.size(), paths.size()) << readers;
    for (size_t i = 0; i < paths.size(); ++i) {
      EXPECT_EQ(sink.got[i].tag, 1000 + i) << readers;
      EXPECT_EQ(sink.got[i].crc, expected[i]) << readers << " " << paths[i];
      EXPECT_EQ(sink.got[i].error, 0) << readers;
    }
  }
}

// What the walk saw no longer holds when a reader gets to the file.
TEST(CrcReaders, FilesGoneShrunkOrNoLongerFilesGetZero) {
  ASSERT_EQ(0, InitMagic());
  ScratchDir dir;
  const std::string text = Contents(70000, 1);
  for (unsigned readers : {1u, 2u, 8u, kFitReaders}) {
    for (const char* name : {"gone", "shrunk", "grown", "dir", "fifo", "same", "link"})
      dir.File(name, text);
    std::filesystem::remove(dir.Path("gone"));
    std::filesystem::resize_file(dir.Path("shrunk"), 100);
    dir.File("grown", text + "more");
    std::filesystem::remove(dir.Path("dir"));
    dir.Dir("dir");
    std::filesystem::remove(dir.Path("fifo"));
    if (!kIsWin32) {
      ASSERT_EQ(std::system(("mkfifo '" + dir.Path("fifo") + "'").c_str()), 0);
      std::filesystem::remove(dir.Path("link"));
      std::filesystem::create_symlink(dir.Path("same"), dir.Path("link"));
    }
    Collect sink;
    {
      CrcReaders pool(readers);
      uint64_t tag = 0;
      for (const char* name : {"gone", "shrunk", "grown", "dir", "fifo", "same", "link"})
        pool.Submit(dir.Path(name).c_str(), text.size(), FILE_ATTRIBUTE_ARCHIVE, false, &sink,
                    tag++);
      // The same files deferred by the walk: each is read as what its reader finds it to be.
      for (const char* name : {"gone", "shrunk", "grown", "dir", "fifo", "same", "link"})
        pool.SubmitDeferred(dir.Path(name).c_str(), &sink, tag++);
      pool.Drain();
    }
    uint32_t whole = 0, head = 0, longer = 0;
    ASSERT_EQ(0, CRCFile(dir.Path("same").c_str(), &whole));
    ASSERT_EQ(0, CRCFile(dir.Path("shrunk").c_str(), &head));
    ASSERT_EQ(0, CRCFile(dir.Path("grown").c_str(), &longer));
    ASSERT_EQ(sink.got.size(), 14u);
    ASSERT_EQ(sink.facts.size(), 7u);
    struct Deferred {
      bool found;
      DWORD kind;  // the attributes but read-only and hidden
      uint64_t size;
      uint32_t crc;
      bool error;
    };
    const bool posix = !kIsWin32;  // a FIFO and a link only there; the FIFO is gone on Win32
    const Deferred deferred[] = {
        {false, 0, 0, 0, true},
        {true, 0x20, 100, head, false},
        {true, 0x20, text.size() + 4, longer, false},
        {true, 0x10, 0, 0, false},
        {posix, posix ? 0x40u : 0u, 0, 0, !posix},
        {true, 0x20, text.size(), whole, false},
        {true, posix ? 0x400u : 0x20u, posix ? 0 : text.size(), posix ? 0 : whole, false}};
    for (size_t k = 0; k < 7; ++k) {
      const FileFacts& f = sink.facts[k].second;
      EXPECT_EQ(sink.facts[k].first, 7 + k);
      EXPECT_EQ(f.found, deferred[k].found) << k;
      if (f.found) {
        EXPECT_EQ(f.attributes & ~0x3u, deferred[k].kind) << k;
        EXPECT_EQ(f.size, deferred[k].size) << k;
      }
      EXPECT_EQ(sink.got[7 + k].crc, deferred[k].crc) << k;
      EXPECT_EQ(sink.got[7 + k].error != 0, deferred[k].error) << k;
    }
    EXPECT_EQ(sink.got[0].crc, 0u);  // gone
    EXPECT_NE(sink.got[0].error, 0);
    EXPECT_EQ(sink.got[1].crc, 0u);  // shrunk: contents unknown
    EXPECT_NE(sink.got[1].error, 0);
    EXPECT_EQ(sink.got[2].crc, whole);  // grown: the bytes the walk saw
    EXPECT_EQ(sink.got[3].crc, 0u);     // a directory now
    EXPECT_EQ(sink.got[4].crc, 0u);     // a FIFO now (or gone): never waited on
    EXPECT_EQ(sink.got[5].crc, whole);
    if (!kIsWin32) {
      EXPECT_EQ(sink.got[6].crc, 0u);  // a link now: not followed
    }
    std::filesystem::remove_all(dir.Path("dir"));
    std::filesystem::remove(dir.Path("fifo"));
    std::filesystem::remove(dir.Path("link"));
  }
}

// Files cut short or removed while the readers are at them: each checksum is the file's or 0,
// and every one arrives.
TEST(CrcReaders, FilesChangingUnderBusyReadersGiveTheirChecksumOrZero) {
  ASSERT_EQ(0, InitMagic());
  ScratchDir dir;
  std::vector<std::string> paths = MakeFiles(dir, 400);
  std::vector<uint32_t> expected, half;
  std::vector<uint64_t> sizes;
  for (const std::string& p : paths) {
    uint32_t crc = 0, crcHalf = 0;
    ASSERT_EQ(0, CRCFile(p.c_str(), &crc));
    ASSERT_EQ(0, CRCFileOfSize(p.c_str(), SizeOf(p) / 2, FILE_ATTRIBUTE_ARCHIVE, &crcHalf));
    expected.push_back(crc);
    half.push_back(crcHalf);
    sizes.push_back(SizeOf(p));
  }
  std::atomic<bool> go{false};
  std::thread vandal([&] {
    while (!go) std::this_thread::yield();
    std::error_code ignored;  // Windows refuses to change a file that is open
    for (size_t i = paths.size(); i-- > 0;) {
      if (i % 3 == 0) std::filesystem::resize_file(paths[i], sizes[i] / 2, ignored);
      if (i % 3 == 1) std::filesystem::remove(paths[i], ignored);
    }
  });
  Collect sink;
  {
    CrcReaders pool(4);
    for (size_t i = 0; i < paths.size(); ++i) {
      if (i == 40) go = true;
      pool.Submit(paths[i].c_str(), sizes[i], FILE_ATTRIBUTE_ARCHIVE, i % 2 == 0, &sink, i);
    }
    pool.Drain();
  }
  vandal.join();
  ASSERT_EQ(sink.got.size(), paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(sink.got[i].tag, i);
    uint32_t crc = sink.got[i].crc;
    // Looked up again (even positions), a file cut to half is checksummed as it is now.
    bool now = i % 2 == 0 && i % 3 == 0 && crc == half[i];
    if (crc != 0 && !now) {
      EXPECT_EQ(crc, expected[i]) << paths[i];
    }
  }
}

// A walk that leaves each file's find data to its reader ends with the table of a walk that
// looks every file up, less a file gone before its reader came to it.
TEST(CrcReaders, DeferredFilesEndAsTheWalkSeesThem) {
  if (kIsWin32) GTEST_SKIP() << "Windows lists every file whole: the walk defers none";
  ASSERT_EQ(0, InitMagic());
  ScratchDir dir;
  dir.Dir("d");
  dir.File("d/inner", Contents(70000, 2));
  dir.File("plain", "abc");
  dir.File(".hidden", "h");
  dir.File("ro", "r");
  std::filesystem::permissions(dir.Path("ro"),
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  auto fresh = [&dir] {
    Table t;
    snprintf(t.cStartPath, sizeof t.cStartPath, "%s", dir.Path().c_str());
    snprintf(t.cFileMask, sizeof t.cFileMask, "*.*");
    return t;
  };
  // Everything read once first, so that one walk's reads move no access time the other sees.
  fresh().BuildAndChecksum(1, WalkRules());
  for (unsigned readers : {1u, 2u, kFitReaders}) {
    WalkRules rules;
    rules.readers = readers;
    Table looked = fresh(), deferred = fresh();
    dir.File("gone", "g");
    deferred.BuildTree(1, rules, nullptr, true);
    std::filesystem::remove(dir.Path("gone"));
    looked.BuildTree(1, rules);
    deferred.ChecksumPass(rules);  // each file looked at before it is read: its access time as seen
    looked.ChecksumPass(rules);
    ASSERT_EQ(deferred.records.size(), looked.records.size()) << readers;
    for (size_t i = 0; i < looked.records.size(); ++i) {
      const Record& a = deferred.records[i];
      const Record& b = looked.records[i];
      EXPECT_STREQ(a.LongName(), b.LongName());
      EXPECT_EQ(a.dwAttr, b.dwAttr) << b.LongName();
      EXPECT_EQ(a.qwSize, b.qwSize) << b.LongName();
      EXPECT_EQ(a.dwCRC, b.dwCRC) << b.LongName();
      EXPECT_EQ(a.dwUpIdx, b.dwUpIdx) << b.LongName();
      EXPECT_EQ(a.wStatus, b.wStatus) << b.LongName();
      EXPECT_EQ(memcmp(&a.ftCreate, &b.ftCreate, sizeof a.ftCreate), 0) << b.LongName();
      EXPECT_EQ(memcmp(&a.ftAccess, &b.ftAccess, sizeof a.ftAccess), 0) << b.LongName();
      EXPECT_EQ(memcmp(&a.ftWrite, &b.ftWrite, sizeof a.ftWrite), 0) << b.LongName();
    }
  }
}

}  // namespace
