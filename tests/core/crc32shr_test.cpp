// The CRC-32 engine: the kernels against each other, and files read by path.
#include "core/crc32shr.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/crc32_kernels.h"
#include "core/reason.h"
#include "core/tell.h"
#include "platform/platform.h"
#include "tests/support/process.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

using Kernel = uint32_t (*)(uint32_t, const unsigned char*, size_t);

struct NamedKernel {
  const char* name;
  Kernel run;
  bool available;
};

// Every kernel this processor can run; the table kernels run everywhere.
std::vector<NamedKernel> Kernels() {
  return {{"slicing", Crc32Slicing, true},
          {"clmul", Crc32Clmul, Crc32ClmulAvailable()},
          {"vpclmul256", Crc32Vpclmul256, Crc32Vpclmul256Available()},
          {"vpclmul", Crc32Vpclmul, Crc32VpclmulAvailable()},
          {"arm crc32", Crc32ArmCrc, Crc32ArmCrcAvailable()},
          {"arm pmull", Crc32Pmull, Crc32PmullAvailable()}};
}

std::vector<unsigned char> PseudoRandomBytes(size_t count, uint32_t seed) {
  std::vector<unsigned char> bytes(count);
  for (auto& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(seed >> 24);
  }
  return bytes;
}

uint32_t Reference(const unsigned char* bytes, size_t count) {
  return Crc32Bytewise(0xFFFFFFFFu, bytes, count) ^ 0xFFFFFFFFu;
}

uint32_t OneShot(const std::vector<unsigned char>& bytes) {
  uint32_t crc;
  CRCInit(&crc);
  if (!bytes.empty()) CRCUpdate(bytes.data(), bytes.size(), &crc);
  CRCFinal(&crc);
  return crc;
}

TEST(Crc32Table, InitMagicBuildsThePublishedTable) {
  ASSERT_EQ(InitMagic(), 0);
  EXPECT_EQ(CRCTable[0], 0x00000000u);
  EXPECT_EQ(CRCTable[1], 0x77073096u);
  EXPECT_EQ(CRCTable[2], 0xEE0E612Cu);
  EXPECT_EQ(CRCTable[128], 0xEDB88320u);
  EXPECT_EQ(CRCTable[255], 0x2D02EF8Du);
  // A second start-up keeps the engine working.
  EXPECT_EQ(InitMagic(), 0);
  EXPECT_EQ(CRCTable[255], 0x2D02EF8Du);
}

TEST(Crc32Kernels, KnownVectors) {
  const std::string check = "123456789";
  const std::string fox = "The quick brown fox jumps over the lazy dog";
  auto bytes = [](const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); };
  EXPECT_EQ(OneShot({}), 0x00000000u);
  EXPECT_EQ(OneShot(bytes(check)), 0xCBF43926u);
  EXPECT_EQ(OneShot(bytes(fox)), 0x414FA339u);
  // The reference the kernels are held to.
  const auto b = bytes(check);
  EXPECT_EQ(Reference(b.data(), b.size()), 0xCBF43926u);
}

// Every length up to a few blocks of every kernel's widest step, from every alignment of the
// widest register, with running values that are not the usual start value.
TEST(Crc32Kernels, EqualTheReferenceForEveryLengthAndAlignment) {
  const auto data = PseudoRandomBytes(4098 + 64, 0xC0FFEEu);
  for (const auto& k : Kernels()) {
    if (!k.available) {
      std::printf("[ SKIPPED  ] %s kernel: not used on this processor or build\n", k.name);
      continue;
    }
    SCOPED_TRACE(k.name);
    for (size_t offset = 0; offset < 64; ++offset) {
      const unsigned char* p = data.data() + offset;
      const uint32_t start = 0xFFFFFFFFu ^ static_cast<uint32_t>(offset * 0x9E3779B9u);
      uint32_t expected = start;  // the reference, one byte further each round
      for (size_t len = 0; len <= 4097; ++len) {
        ASSERT_EQ(k.run(start, p, len), expected) << "offset " << offset << " length " << len;
        expected = Crc32Bytewise(expected, p + len, 1);
      }
    }
  }
}

TEST(Crc32Kernels, ChunkedUpdatesCompose) {
  const auto data = PseudoRandomBytes(1 << 20, 7);
  const uint32_t whole = Reference(data.data(), data.size());
  // Chunk sizes that straddle every kernel's block sizes and thresholds.
  const size_t chunks[] = {1, 15, 16, 17, 63, 64, 127, 128, 129, 255, 256, 257, 1000, 65536, 65537};
  for (const auto& k : Kernels()) {
    if (!k.available) continue;
    for (size_t chunk : chunks) {
      SCOPED_TRACE(std::string(k.name) + " chunk " + std::to_string(chunk));
      uint32_t crc = 0xFFFFFFFFu;
      for (size_t at = 0; at < data.size(); at += chunk) {
        crc = k.run(crc, data.data() + at, std::min(chunk, data.size() - at));
      }
      EXPECT_EQ(crc ^ 0xFFFFFFFFu, whole);
    }
  }
  uint32_t crc;
  CRCInit(&crc);
  CRCUpdate(data.data(), 12345, &crc);
  CRCUpdate(data.data() + 12345, data.size() - 12345, &crc);
  CRCFinal(&crc);
  EXPECT_EQ(crc, whole);
}

class CrcFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(InitMagic(), 0);
    ASSERT_TRUE(scratch_.Made());
  }
  std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  ScratchDir scratch_;
  const fs::path& dir_ = scratch_.Root();
};

TEST_F(CrcFileTest, FilesAroundTheBufferSizeMatchTheOneShotCrc) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{kCrcBufferSize}, size_t{kCrcBufferSize} + 1,
                      size_t{3} * kCrcBufferSize + 17}) {
    SCOPED_TRACE(size);
    const auto bytes = PseudoRandomBytes(size, static_cast<uint32_t>(size));
    const std::string path = Write("f" + std::to_string(size), bytes);
    uint32_t crc = 0xDEADBEEFu;
    EXPECT_EQ(CRCFile(path.c_str(), &crc), 0);
    EXPECT_EQ(crc, size == 0 ? 0u : Reference(bytes.data(), bytes.size()));
  }
}

TEST_F(CrcFileTest, SmallCallerBufferReadsInManyChunks) {
  const auto bytes = PseudoRandomBytes(1000, 3);
  const std::string path = Write("small", bytes);
  unsigned char buffer[7];
  uint32_t crc = 0;
  EXPECT_EQ(CRCFileBuffered(path.c_str(), buffer, sizeof buffer, &crc), 0);
  EXPECT_EQ(crc, Reference(bytes.data(), bytes.size()));
}

TEST_F(CrcFileTest, UnreadableEntriesGetCrcZero) {
  uint32_t crc = 0xDEADBEEFu;
  const std::string missing = (dir_ / "missing").string();
  EXPECT_NE(CRCFile(missing.c_str(), &crc), 0);
  EXPECT_EQ(crc, 0u);

  fs::create_directory(dir_ / "sub");
  crc = 0xDEADBEEFu;
  EXPECT_EQ(CRCFile((dir_ / "sub").string().c_str(), &crc), 0);
  EXPECT_EQ(crc, 0u);
}

TEST_F(CrcFileTest, LinksAreNotFollowed) {
  const std::string target = Write("target", PseudoRandomBytes(100, 5));
  std::error_code error;
  fs::create_symlink(target, dir_ / "link", error);
  if (error) GTEST_SKIP() << "cannot create a symbolic link here: " << error.message();
  uint32_t crc = 0xDEADBEEFu;
  EXPECT_EQ(CRCFile((dir_ / "link").string().c_str(), &crc), 0);
  EXPECT_EQ(crc, 0u);
}

// A file that delivers fewer bytes than its size says (as one that shrinks while being read):
// sysfs files claim a page but hold a few bytes.
TEST_F(CrcFileTest, ShortReadGivesCrcZeroAndAnError) {
  const char* shortFile = "/sys/devices/system/cpu/online";
  std::error_code error;
  if (kIsWin32 || fs::file_size(shortFile, error) <= 16 || error) {
    GTEST_SKIP() << "no file whose size overstates its contents";
  }
  uint32_t crc = 0xDEADBEEFu;
  EXPECT_EQ(CRCFile(shortFile, &crc), kReasonShrank);
  EXPECT_EQ(crc, 0u);
}

TEST_F(CrcFileTest, ZeroSizedBufferRefusesAndKeepsTheCrc) {
  const std::string path = Write("x", PseudoRandomBytes(10, 1));
  unsigned char buffer[1];
  uint32_t crc = 0x12345678u;
  EXPECT_EQ(CRCFileBuffered(path.c_str(), buffer, 0, &crc), kCrcNotReady);
  EXPECT_EQ(crc, 0x12345678u);
}

std::string told;  // the lines the listener saw

// Runs in a fresh process, where InitMagic has not been called whatever the test order is. The
// refusal is a line of the text report; with a listener (the JSON report) it is one of its
// errors, and standard output holds none of its text.
int CheckRefusalBeforeInitMagic() {
  const std::string line = "*** Error: crc32shr CRCFile() - Use InitMagic before call CRCFile().";
  for (bool listened : {false, true}) {
    if (listened)
      SetTellListener([](const char* text, size_t len) { told.append(text, len) += '|'; });
    uint32_t crc = 0x12345678u;
    ::testing::internal::CaptureStdout();
    int result = CRCFile("anything", &crc);
    const std::string out = ::testing::internal::GetCapturedStdout();
    if (result != kCrcNotReady) return 1;
    if (crc != 0x12345678u) return 2;
    if (out != (listened ? "" : "\n" + line + "\n")) return 3;
    if (told != (listened ? "|" + line + "|" : "")) return 4;
  }
  return 0;
}

TEST(CrcFileDeathTest, RefusesBeforeInitMagic) {
  if (kUnderEmulator) GTEST_SKIP() << "the test program cannot start itself again under qemu-user";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(CheckRefusalBeforeInitMagic()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
