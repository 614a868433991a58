// LHA archives made here: read whole, or refused in one sentence naming
// the member, for every part that can be wrong; and sets loaded from them.
#include "plughost/sets/lha_archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plughost/sets/doll_set.h"
#include "plughost/sets/set_words.h"
#include "tests/sets/stored_archive.h"

namespace {

using plughost::ArchiveFault;
using plughost::ArchiveMember;
using plughost::ArchiveRefusal;
using sets_test::Bytes;
using sets_test::StoredArchive;
using sets_test::StoredMember;

ArchiveRefusal Read(const std::vector<uint8_t>& archive, std::vector<ArchiveMember>* members) {
  return plughost::ReadLhaArchive(plughost::MemoryBytes(archive), members);
}

// The check value of the CRC-16 LHA uses, over "123456789".
TEST(LhaArchive, Crc16CheckValue) {
  const std::vector<uint8_t> digits = Bytes("123456789");
  EXPECT_EQ(plughost::LhaCrc16(digits.data(), digits.size()), 0xBB3D);
}

TEST(LhaArchive, MembersReadInOrder) {
  std::vector<ArchiveMember> members;
  const ArchiveRefusal refusal =
      Read(StoredArchive({{"A.CNF", Bytes("#0 a.cel\n")}, {"a.cel", {1, 2, 3}}, {"empty", {}}}),
           &members);
  ASSERT_FALSE(refusal) << plughost::ArchiveRefusalWords("set.lzh", refusal);
  ASSERT_EQ(members.size(), 3u);
  // liblhasa gives the names of level-0 headers, which MS-DOS wrote, in lower case.
  EXPECT_EQ(members[0].name, "a.cnf");
  EXPECT_EQ(members[0].bytes, Bytes("#0 a.cel\n"));
  EXPECT_EQ(members[1].bytes, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(members[2].bytes.empty());
}

// Nothing but the end: an archive of no members.
TEST(LhaArchive, EmptyArchiveHoldsNothing) {
  std::vector<ArchiveMember> members;
  EXPECT_FALSE(Read({0}, &members));
  EXPECT_TRUE(members.empty());
}

struct BadCase {
  const char* name;
  std::vector<uint8_t> archive;
  ArchiveFault fault;
  const char* words;
};

std::vector<uint8_t> WithByte(std::vector<uint8_t> bytes, size_t at, uint8_t value) {
  bytes[at] = value;
  return bytes;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

const std::vector<uint8_t> kTwo =
    StoredArchive({{"first.cel", {1, 2, 3, 4}}, {"second.cel", {5, 6}}});
// The second header begins after the first's 2 + 31 bytes and its 4 of data.
constexpr size_t kSecondHeader = 2 + 22 + 9 + 4;

class LhaRefusals : public testing::TestWithParam<BadCase> {};

TEST_P(LhaRefusals, RefusedNamingTheMember) {
  const BadCase& c = GetParam();
  std::vector<ArchiveMember> members;
  const ArchiveRefusal refusal = Read(c.archive, &members);
  EXPECT_EQ(refusal.fault, c.fault);
  EXPECT_TRUE(members.empty());
  EXPECT_EQ(plughost::ArchiveRefusalWords("set.lzh", refusal), c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Archives, LhaRefusals,
    testing::Values(
        BadCase{"not_an_archive", Bytes("\x89PNG\r\n\x1a\n and more bytes than a header"),
                ArchiveFault::kHeader,
                "set.lzh is damaged or no LHA archive: the header of its first member, at byte 0, "
                "cannot be read"},
        // The bytes EF BF BD where a header's sum was, as in the damaged sets.
        BadCase{"first_header_replaced",
                [] {
                  std::vector<uint8_t> a = kTwo;
                  a[1] = 0xEF;
                  a.insert(a.begin() + 2, {0xBF, 0xBD});
                  return a;
                }(),
                ArchiveFault::kHeader,
                "set.lzh is damaged or no LHA archive: the header of its first member, at byte 0, "
                "cannot be read"},
        BadCase{"second_header_sum", WithByte(kTwo, kSecondHeader + 1, 0x55), ArchiveFault::kHeader,
                "set.lzh is damaged: the header of its member 2, after first.cel, at byte 37, "
                "cannot be read"},
        BadCase{"cut_in_second_header", Cut(kTwo, kSecondHeader + 10), ArchiveFault::kHeader,
                "set.lzh is damaged: the header of its member 2, after first.cel, at byte 37, "
                "cannot be read"},
        BadCase{"data_changed", WithByte(kTwo, kSecondHeader - 1, 99), ArchiveFault::kDamaged,
                "set.lzh is damaged: its member first.cel does not unpack to the bytes its "
                "header's check sum gives"},
        BadCase{"check_sum_changed", StoredArchive({{"a.cel", {1, 2}, "-lh0-", -1, 1}}),
                ArchiveFault::kDamaged,
                "set.lzh is damaged: its member a.cel does not unpack to the bytes its header's "
                "check sum gives"},
        BadCase{"cut_in_data", Cut(kTwo, kSecondHeader - 2), ArchiveFault::kCut,
                "set.lzh is damaged: its member first.cel unpacks to 0 bytes of the 4 its header "
                "gives"},
        // liblhasa reads no header of a method it does not know.
        BadCase{"unknown_method", StoredArchive({{"a.cel", {1, 2}, "-zz9-"}}),
                ArchiveFault::kHeader,
                "set.lzh is damaged or no LHA archive: the header of its first member, at byte 0, "
                "cannot be read"},
        BadCase{"member_too_large",
                StoredArchive({{"big.cel", {1}, "-lh5-", int64_t{64 << 20} + 1}}),
                ArchiveFault::kMemberTooLarge,
                "set.lzh holds big.cel of 67108865 bytes, more than the 64 MiB plughost unpacks "
                "of a member"},
        BadCase{"members_too_large_together",
                StoredArchive({{"a", {1}, "-lh5-", int64_t{64 << 20}},
                               {"b", {1}, "-lh5-", int64_t{64 << 20}},
                               {"c", {1}, "-lh5-", int64_t{64 << 20}},
                               {"d", {1}, "-lh5-", int64_t{64 << 20}},
                               {"e", {1}, "-lh5-", 1}}),
                ArchiveFault::kTooLarge,
                "set.lzh unpacks to more than the 256 MiB plughost unpacks of an archive"}),
    [](const testing::TestParamInfo<BadCase>& p) { return std::string(p.param.name); });

TEST(LhaArchive, TooManyMembersRefused) {
  std::vector<StoredMember> many(plughost::kMaxArchiveMembers + 1, StoredMember{"m", {}});
  std::vector<ArchiveMember> members;
  const ArchiveRefusal refusal = Read(StoredArchive(many), &members);
  EXPECT_EQ(refusal.fault, ArchiveFault::kTooManyMembers);
  EXPECT_EQ(plughost::ArchiveRefusalWords("set.lzh", refusal),
            "set.lzh holds more than the 4096 members plughost unpacks");
  many.pop_back();
  EXPECT_FALSE(Read(StoredArchive(many), &members));
  EXPECT_EQ(members.size(), plughost::kMaxArchiveMembers);
}

// A cel of 2 x 1 pixels at 8 bits, and a palette of one group of 16.
std::vector<uint8_t> SmallCel() {
  return {'K', 'i', 'S', 'S', 32, 8, 0, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0,
          0,   0,   0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2};
}
std::vector<uint8_t> SmallPalette() {
  std::vector<uint8_t> p = {'K', 'i', 'S', 'S', 16, 24, 0, 0, 16, 0, 1, 0};
  p.resize(32 + 48, 0x40);
  return p;
}

struct SetCase {
  const char* name;
  std::vector<StoredMember> members;
  const char* configuration;
  plughost::SetFault fault;
  const char* words;
};

class SetRefusals : public testing::TestWithParam<SetCase> {};

TEST_P(SetRefusals, SetRefusedWhole) {
  const SetCase& c = GetParam();
  plughost::DollSet set;
  const plughost::SetRefusal refusal = plughost::LoadSetFromArchive(
      plughost::MemoryBytes(StoredArchive(c.members)), c.configuration, &set);
  EXPECT_EQ(refusal.fault, c.fault);
  EXPECT_TRUE(set.cels.empty());
  EXPECT_EQ(plughost::SetRefusalWords("set.lzh", refusal), c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, SetRefusals,
    testing::Values(
        SetCase{"no_configuration",
                {{"a.cel", SmallCel()}},
                "",
                plughost::SetFault::kNoConfiguration,
                "set.lzh holds no configuration (a .cnf file): it is no KiSS set"},
        SetCase{"no_such_configuration",
                {{"one.cnf", Bytes("")}, {"two.CNF", Bytes("")}},
                "three.cnf",
                plughost::SetFault::kNoSuchConfiguration,
                "set.lzh holds no configuration named three.cnf (it holds one.cnf, two.CNF)"},
        SetCase{"missing_cel",
                {{"s.cnf", Bytes("%p.kcf\n#0 a.cel\n#1 gone.cel\n$0 0,0 0,0\n")},
                 {"p.kcf", SmallPalette()},
                 {"a.cel", SmallCel()}},
                "",
                plughost::SetFault::kMissing,
                "set.lzh names gone.cel at line 3 of its configuration, and does not hold it"},
        SetCase{"missing_palette",
                {{"s.cnf", Bytes("%p.kcf\n#0 a.cel\n")}, {"a.cel", SmallCel()}},
                "",
                plughost::SetFault::kMissing,
                "set.lzh names p.kcf of its configuration, and does not hold it"},
        SetCase{"palette_past_the_list",
                {{"s.cnf", Bytes("%p.kcf\n#0 a.cel *1\n")},
                 {"p.kcf", SmallPalette()},
                 {"a.cel", SmallCel()}},
                "",
                plughost::SetFault::kNoPalette,
                "set.lzh gives the cel a.cel at line 2 palette 1, but its configuration lists 1 "
                "palette"},
        SetCase{"cut_cel",
                {{"s.cnf", Bytes("%p.kcf\n#0 a.cel\n")},
                 {"p.kcf", SmallPalette()},
                 {"a.cel", Cut(SmallCel(), 33)}},
                "",
                plughost::SetFault::kCel,
                "a.cel in set.lzh is cut: its 2 x 1 pixels at 8 bits take 34 bytes and it has 33"},
        SetCase{"cut_palette",
                {{"s.cnf", Bytes("%p.kcf\n#0 a.cel\n")},
                 {"p.kcf", Cut(SmallPalette(), 60)},
                 {"a.cel", SmallCel()}},
                "",
                plughost::SetFault::kPalette,
                "p.kcf in set.lzh is cut: its first group's colours take 80 bytes and it has 60"},
        SetCase{
            "cel_for_a_palette",
            {{"s.cnf", Bytes("%p.kcf\n#0 a.cel\n")}, {"p.kcf", SmallCel()}, {"a.cel", SmallCel()}},
            "",
            plughost::SetFault::kPalette,
            "p.kcf in set.lzh is a KiSS file but not a palette: its file mark is not 16"}),
    [](const testing::TestParamInfo<SetCase>& p) { return std::string(p.param.name); });

// Names are matched without regard to case; the configuration asked for is
// the one read; a cel named twice is read once and listed twice.
TEST(LhaArchive, SetLoadedByNameInAnyCase) {
  plughost::DollSet set;
  const plughost::SetRefusal refusal = plughost::LoadSetFromArchive(
      plughost::MemoryBytes(StoredArchive({{"first.cnf", Bytes("")},
                                           {"Second.Cnf", Bytes("%P.KCF\n#0 A.CEL\n#1 a.cel\n")},
                                           {"p.kcf", SmallPalette()},
                                           {"a.cel", SmallCel()}})),
      "second.cnf", &set);
  ASSERT_FALSE(refusal) << plughost::SetRefusalWords("set.lzh", refusal);
  EXPECT_EQ(set.configurationName, "Second.Cnf");
  EXPECT_EQ(set.configurations, (std::vector<std::string>{"first.cnf", "Second.Cnf"}));
  ASSERT_EQ(set.cels.size(), 2u);
  EXPECT_EQ(set.cels[1].pixels, (std::vector<uint8_t>{1, 2}));
  ASSERT_EQ(set.palettes.size(), 1u);
}

}  // namespace
