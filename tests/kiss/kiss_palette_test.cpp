// The palette layer: header validity, decoding of each entry form, exact
// reads and writes, and the first code that sticks.
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "kiss/kiss_palette.h"
#include "platform/platform.h"
#include "platform/posix/posix_test_hooks.h"

namespace {

// A descriptor reading from the given bytes, from the start.
class File {
 public:
  explicit File(const std::vector<uint8_t>& bytes) {
    FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    fd_ = dup(fileno(f));
    std::fclose(f);
    lseek(fd_, 0, SEEK_SET);
  }
  // These tests read without the entry point, which would otherwise give up
  // the layer's read-ahead before a closed descriptor's number is reused.
  ~File() {
    FinishFileAccess();
    close(fd_);
  }
  int32_t fd() const { return fd_; }

 private:
  int fd_;
};

std::vector<uint8_t> Header(uint8_t mark, uint8_t bits, int16_t perGroup, int16_t groups) {
  PaletteHeader h{};
  SetPaletteSignature(h);
  SetFileMark(h, mark);
  SetBitsPerColor(h, bits);
  SetColorsPerGroup(h, perGroup);
  SetGroupCount(h, groups);
  return std::vector<uint8_t>(h.bytes, h.bytes + kPaletteHeaderSize);
}

struct Decoded {
  int16_t result = 0;
  bool headerValid = false;
  bool decoded = false;
  std::vector<uint8_t> table = std::vector<uint8_t>(kColorTableSize, 0);
};

Decoded ReadAndDecode(const std::vector<uint8_t>& bytes) {
  File file(bytes);
  Decoded d;
  PaletteHeader header{};
  d.headerValid = ReadPaletteHeader(&d.result, file.fd(), header);
  d.decoded = DecodePaletteColors(&d.result, file.fd(), d.table.data(), header);
  return d;
}

TEST(PaletteHeader, Validity) {
  struct Case {
    uint8_t mark, bits;
    int16_t perGroup, groups;
    bool valid;
  };
  const Case cases[] = {
      {16, 24, 16, 16, true},   {16, 24, 256, 1, true},  {16, 12, 16, 10, true},
      {16, 24, 257, 1, false},  {16, 24, 16, 17, false}, {16, 24, 0, 5, true},
      {16, 12, 5, 0, true},     {16, 24, 300, -1, true}, {16, 24, -16, -16, true},
      {16, 24, -17, -16, false}, {32, 24, 16, 16, false}, {16, 8, 16, 16, false},
      {16, 16, 1, 1, false},    {0, 12, 1, 1, false},
      {16, 24, 32767, 32767, false}, {16, 24, -32768, 1, true}};
  for (const Case& c : cases) {
    File file(Header(c.mark, c.bits, c.perGroup, c.groups));
    Decoded d;
    PaletteHeader header{};
    d.headerValid = ReadPaletteHeader(&d.result, file.fd(), header);
    EXPECT_EQ(d.headerValid, c.valid) << int(c.mark) << " " << int(c.bits) << " " << c.perGroup
                                      << " x " << c.groups;
    EXPECT_EQ(d.result, kNoError) << "a header that is read records nothing of its own";
  }
}

TEST(Decode, TwelveBitEntryNibbles) {
  std::vector<uint8_t> file = Header(16, 12, 1, 1);
  file.push_back(0x2F);
  file.push_back(0xA5);
  Decoded d = ReadAndDecode(file);
  ASSERT_TRUE(d.decoded);
  EXPECT_EQ(d.table[0], 255) << "blue from the low nibble of byte 0";
  EXPECT_EQ(d.table[1], 85) << "green from byte 1, its high nibble ignored";
  EXPECT_EQ(d.table[2], 34) << "red from the high nibble of byte 0";
  EXPECT_EQ(d.table[3], 0);
}

TEST(Decode, TwentyFourBitEntriesLandReversed) {
  std::vector<uint8_t> file = Header(16, 24, 16, 16);
  for (int i = 0; i < 768; ++i) file.push_back(static_cast<uint8_t>(i * 7 + 1));
  Decoded d = ReadAndDecode(file);
  ASSERT_TRUE(d.decoded);
  for (size_t k = 0; k < 256; ++k) {
    ASSERT_EQ(d.table[3 * k + 2], file[32 + 3 * k]) << "red of colour " << k;
    ASSERT_EQ(d.table[3 * k + 1], file[32 + 3 * k + 1]);
    ASSERT_EQ(d.table[3 * k + 0], file[32 + 3 * k + 2]);
  }
}

TEST(Decode, HeaderlessFilesOfThreeHundredTwentyAndNineteenBytes) {
  std::vector<uint8_t> file(320, 0x11);
  file[0] = 'K', file[1] = 'i', file[2] = 'S', file[3] = 's';
  Decoded full = ReadAndDecode(file);
  EXPECT_TRUE(full.headerValid);
  EXPECT_TRUE(full.decoded);
  EXPECT_EQ(full.result, kNoError);
  EXPECT_EQ(full.table[2], (0x4B >> 4) * 17) << "the signature bytes are colour 0";
  EXPECT_EQ(full.table[3 * 159], 0x11 % 16 * 17);
  EXPECT_EQ(full.table[3 * 160], 0) << "entries past 160 stay black";

  file.pop_back();
  Decoded cut = ReadAndDecode(file);
  EXPECT_TRUE(cut.decoded) << "12-bit decoding runs its loops out";
  EXPECT_EQ(cut.result, kEndOfFile);
  EXPECT_EQ(cut.table[3 * 159], 0) << "the entry whose read failed is black";
  EXPECT_EQ(cut.table[3 * 158], 17) << "the one before it was read";
}

TEST(Decode, TwentyFourBitFileCutInEntryK) {
  for (int k : {0, 1, 100, 255}) {
    std::vector<uint8_t> file = Header(16, 24, 256, 1);
    for (int i = 0; i < 3 * k + 2; ++i) file.push_back(0x80);
    Decoded d = ReadAndDecode(file);
    EXPECT_FALSE(d.decoded) << k;
    EXPECT_EQ(d.result, kEndOfFile) << k;
    for (size_t j = 0; j < 256; ++j)
      ASSERT_EQ(d.table[3 * j], j < size_t(k) ? 0x80 : 0) << k << ":" << j;
  }
}

TEST(Decode, NeverMoreThan256EntriesWhateverTheHeaderSays) {
  struct Case {
    uint8_t bits;
    int16_t perGroup, groups;
  };
  for (const Case& c : {Case{12, 300, 1}, Case{12, 16, 32767}, Case{24, 32767, 32767},
                        Case{24, 1000, 1}}) {
    std::vector<uint8_t> file = Header(16, c.bits, c.perGroup, c.groups);
    file.resize(file.size() + 4000, 0x33);
    File f(file);
    int16_t result = 0;
    PaletteHeader header{};
    ReadPaletteHeader(&result, f.fd(), header);
    // A canary right behind the table catches any write past it.
    std::vector<uint8_t> table(kColorTableSize + 16, 0xEE);
    std::fill(table.begin(), table.begin() + kColorTableSize, 0);
    posix_hooks::ResetCounters();
    EXPECT_TRUE(DecodePaletteColors(&result, f.fd(), table.data(), header));
    EXPECT_EQ(posix_hooks::GetCounters().reads, 256) << "one read per entry, 256 at most";
    for (size_t i = kColorTableSize; i < kColorTableSize + 16; ++i) ASSERT_EQ(table[i], 0xEE);
  }
}

TEST(Decode, OtherDepthsReadNothing) {
  PaletteHeader header = {};
  SetBitsPerColor(header, 8);
  std::vector<uint8_t> table(kColorTableSize, 0);
  int16_t result = 0;
  posix_hooks::ResetCounters();
  EXPECT_FALSE(DecodePaletteColors(&result, 0, table.data(), header));
  EXPECT_EQ(posix_hooks::GetCounters().reads, 0);
}

TEST(ExactAccess, NothingHappensOnceACodeIsRecorded) {
  File file(std::vector<uint8_t>(64, 1));
  int16_t result = kDiskFull;
  uint8_t buffer[8] = {};
  posix_hooks::ResetCounters();
  ReadExact(&result, file.fd(), 8, buffer);
  WriteExact(&result, file.fd(), 8, buffer);
  EXPECT_EQ(posix_hooks::GetCounters().reads + posix_hooks::GetCounters().writes, 0);
  EXPECT_EQ(result, kDiskFull);
  EXPECT_EQ(buffer[0], 0);
}

TEST(ExactAccess, ShortReadsAndFailures) {
  File file(std::vector<uint8_t>(10, 1));
  uint8_t buffer[16] = {};
  int16_t result = 0;
  ReadExact(&result, file.fd(), 16, buffer);
  EXPECT_EQ(result, kEndOfFile);
  result = 0;
  ReadExact(&result, -1, 4, buffer);
  EXPECT_EQ(result, kReadError);
  result = 0;
  WriteExact(&result, -1, 4, buffer);
  EXPECT_EQ(result, kWriteError);
}

TEST(ExactAccess, OnlyTheLowSixteenBitsOfACountReachThePlatform) {
  File file(std::vector<uint8_t>(64, 9));
  uint8_t buffer[64] = {};
  uint32_t count = 0x10004;
  EXPECT_EQ(FileRead(file.fd(), &count, buffer), kNoError);
  EXPECT_EQ(count, 4u);
}

TEST(Results, FirstCodeWins) {
  int16_t result = 0;
  EXPECT_TRUE(RecordResult(&result, 0));
  EXPECT_FALSE(RecordResult(&result, kEndOfFile));
  EXPECT_FALSE(RecordResult(&result, kReadError));
  EXPECT_EQ(result, kEndOfFile);
  EXPECT_TRUE(RecordCancelIf(&result, false));
  EXPECT_FALSE(RecordCancelIf(&result, true));
  EXPECT_EQ(result, kEndOfFile);
  int16_t fresh = 0;
  EXPECT_FALSE(RecordCancelIf(&fresh, true));
  EXPECT_EQ(fresh, kUserCancelled);
}

TEST(Writing, TheWrittenHeaderAndRowOrder) {
  const PaletteHeader header = MakeWrittenHeader();
  const uint8_t expected[12] = {0x4B, 0x69, 0x53, 0x53, 0x10, 0x18, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00};
  EXPECT_EQ(std::memcmp(header.bytes, expected, sizeof expected), 0);
  for (int i = 12; i < 32; ++i) EXPECT_EQ(header.bytes[i], 0) << i;
  uint8_t row[6] = {1, 2, 3, 4, 5, 6};
  SwapRowToFileOrder(row, 2);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
}

}  // namespace
