// The configuration: every kind of line a first showing uses, read; the
// lines it does not use passed over; the lines it cannot read noted by
// their number.
#include "kiss/configuration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plughost/sets/set_words.h"

namespace {

Configuration Read(const std::string& text) {
  return ReadConfiguration(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Lines as sets write them: CR LF, tabs, comments after lines, FKiSS,
// positions carried over lines beginning with a space, a fix without
// digits, a palette glued to the sets' colon.
const char kSample[] =
    "; a doll\r\n"
    "%body.kcf   ; palette 0\r\n"
    "%CLOTHES.KCF\r\n"
    "(640,400)  ; envelope\r\n"
    "[3\r\n"
    "#1.999\thair.cel\t*1 :0 2 ;%t90\r\n"
    "#0 body.cel\r\n"
    "#2. shoe.cel *1:  9\r\n"
    "#3 hat.cel :\r\n"
    ";@EventHandler\r\n"
    ";@initialize()\r\n"
    "=some line no showing uses\r\n"
    "$2 10,20 * -5,7\r\n"
    " 300,400\r\n"
    "\r\n"
    "$0 0,0\r\n"
    "$1 * 1,1 ; the rest\n"
    " 2 , 3\n";

TEST(Configuration, EveryLineAFirstShowingUses) {
  const Configuration cnf = Read(kSample);
  EXPECT_TRUE(cnf.notes.empty());
  EXPECT_EQ(cnf.palettes, (std::vector<std::string>{"body.kcf", "CLOTHES.KCF"}));
  EXPECT_EQ(cnf.width, 640);
  EXPECT_EQ(cnf.height, 400);
  EXPECT_TRUE(cnf.sizeGiven);
  EXPECT_EQ(cnf.border, 3);
  ASSERT_EQ(cnf.cels.size(), 4u);
  const CnfCel& hair = cnf.cels[0];
  EXPECT_EQ(hair.object, 1);
  EXPECT_EQ(hair.fix, 999);
  EXPECT_EQ(hair.file, "hair.cel");
  EXPECT_EQ(hair.palette, 1);
  EXPECT_EQ(hair.sets, 0b101);
  EXPECT_EQ(hair.line, 6);
  EXPECT_EQ(cnf.cels[1].sets, 0x3FF);  // no colon: every set
  EXPECT_EQ(cnf.cels[1].palette, 0);
  EXPECT_EQ(cnf.cels[2].object, 2);
  EXPECT_EQ(cnf.cels[2].fix, 0);
  EXPECT_EQ(cnf.cels[2].palette, 1);
  EXPECT_EQ(cnf.cels[2].sets, 1 << 9);
  EXPECT_EQ(cnf.cels[3].sets, 0);  // a colon and no set: none
  const CnfSet& first = cnf.sets[0];
  ASSERT_TRUE(first.given);
  EXPECT_EQ(first.group, 2);
  EXPECT_EQ(first.line, 13);
  ASSERT_EQ(first.positions.size(), 4u);
  EXPECT_TRUE(first.At(0).placed);
  EXPECT_EQ(first.At(0).x, 10);
  EXPECT_EQ(first.At(0).y, 20);
  EXPECT_FALSE(first.At(1).placed);
  EXPECT_EQ(first.At(2).x, -5);
  EXPECT_EQ(first.At(3).y, 400);
  EXPECT_FALSE(first.At(4).placed);  // past the line's end
  EXPECT_EQ(cnf.sets[1].positions.size(), 1u);
  ASSERT_EQ(cnf.sets[2].positions.size(), 3u);
  EXPECT_EQ(cnf.sets[2].At(2).x, 2);
  EXPECT_EQ(cnf.sets[2].At(2).y, 3);
  EXPECT_FALSE(cnf.sets[3].given);
}

TEST(Configuration, SetsUsed) {
  const Configuration cnf = Read(kSample);
  // Sets 0 and 1 place the body (object 0), which is in every set.
  EXPECT_TRUE(cnf.SetUsed(0));
  EXPECT_TRUE(cnf.SetUsed(1));
  // Set 2 leaves the body out and places the hair (object 1), which is in it.
  EXPECT_TRUE(cnf.SetUsed(2));
  // No "$" line for set 3, nor for 9, where only the shoe is.
  EXPECT_FALSE(cnf.SetUsed(3));
  EXPECT_FALSE(cnf.SetUsed(9));
  // A set whose cels are listed elsewhere, or whose objects it leaves out, is not used.
  const Configuration unused = Read("#0 a.cel :1\n$0 0,0\n$0 *\n");
  EXPECT_FALSE(unused.SetUsed(0));
  EXPECT_FALSE(unused.SetUsed(1));
  EXPECT_FALSE(cnf.SetUsed(-1));
  EXPECT_FALSE(cnf.SetUsed(10));
}

TEST(Configuration, NoEnvelopeLineGivesTheDefault) {
  const Configuration cnf = Read("%a.kcf\n#0 a.cel\n$0 0,0\n");
  EXPECT_FALSE(cnf.sizeGiven);
  EXPECT_EQ(cnf.width, 448);
  EXPECT_EQ(cnf.height, 320);
}

struct NoteCase {
  const char* name;
  std::string text;
  int line;
  CnfFault fault;
  const char* words;
};

class ConfigurationNotes : public testing::TestWithParam<NoteCase> {};

TEST_P(ConfigurationNotes, LineNotedAndPassedOver) {
  const NoteCase& c = GetParam();
  const Configuration cnf = Read("%a.kcf\n#0 a.cel\n" + c.text + "\n#1 b.cel\n");
  ASSERT_EQ(cnf.notes.size(), 1u);
  EXPECT_EQ(cnf.notes[0].line, c.line);
  EXPECT_EQ(cnf.notes[0].fault, c.fault);
  // The lines before and after are read still.
  ASSERT_GE(cnf.cels.size(), 2u);
  EXPECT_EQ(cnf.cels.back().file, "b.cel");
  EXPECT_EQ(plughost::ConfigurationNoteWords("a.cnf", cnf.notes[0]), c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigurationNotes,
    testing::Values(
        NoteCase{"cel_without_object", "#x.cel", 3, CnfFault::kCel,
                 "a.cnf, line 3, is passed over: a cel's line is \"#object[.fix] file.cel "
                 "[*palette] [:sets]\""},
        NoteCase{"cel_without_file", "#4 ; none", 3, CnfFault::kCel,
                 "a.cnf, line 3, is passed over: a cel's line is \"#object[.fix] file.cel "
                 "[*palette] [:sets]\""},
        NoteCase{"cel_palette_without_number", "#4 c.cel *x", 3, CnfFault::kCel,
                 "a.cnf, line 3, is passed over: a cel's line is \"#object[.fix] file.cel "
                 "[*palette] [:sets]\""},
        NoteCase{"object_too_large", "#4096 c.cel", 3, CnfFault::kObject,
                 "a.cnf, line 3, is passed over: object numbers run from 0 to 4095"},
        NoteCase{"palette_without_name", "% ;", 3, CnfFault::kPalette,
                 "a.cnf, line 3, is passed over: a palette's line is \"%file.kcf\", at most 256 "
                 "of them"},
        NoteCase{"set_without_group", "$ 1,2", 3, CnfFault::kSet,
                 "a.cnf, line 3, is passed over: a set's line is \"$group x,y ...\", with \"*\" "
                 "for an object the set leaves out"},
        NoteCase{"set_position_half", "$0 1,2 3", 3, CnfFault::kSet,
                 "a.cnf, line 3, is passed over: a set's line is \"$group x,y ...\", with \"*\" "
                 "for an object the set leaves out"},
        NoteCase{"carried_position_not_a_number", "$0 1,2\n 3,y", 4, CnfFault::kSet,
                 "a.cnf, line 4, is passed over: a set's line is \"$group x,y ...\", with \"*\" "
                 "for an object the set leaves out"},
        NoteCase{"position_too_far", "$0 40000,0", 3, CnfFault::kSet,
                 "a.cnf, line 3, is passed over: a set's line is \"$group x,y ...\", with \"*\" "
                 "for an object the set leaves out"},
        NoteCase{"eleventh_set", "$0\n$0\n$0\n$0\n$0\n$0\n$0\n$0\n$0\n$0\n$0 1,1", 13,
                 CnfFault::kExtraSet,
                 "a.cnf, line 13, is passed over: a configuration has 10 sets, 0 to 9"},
        NoteCase{"envelope_without_height", "(640)", 3, CnfFault::kEnvelope,
                 "a.cnf, line 3, is passed over: the envelope's line is \"(width,height)\", each "
                 "from 1 to 4096"},
        NoteCase{"envelope_too_large", "(5000,400)", 3, CnfFault::kEnvelope,
                 "a.cnf, line 3, is passed over: the envelope's line is \"(width,height)\", each "
                 "from 1 to 4096"},
        NoteCase{"envelope_of_nothing", "(0,400)", 3, CnfFault::kEnvelope,
                 "a.cnf, line 3, is passed over: the envelope's line is \"(width,height)\", each "
                 "from 1 to 4096"},
        NoteCase{"border_without_index", "[x", 3, CnfFault::kBorder,
                 "a.cnf, line 3, is passed over: the border's line is \"[index\", a colour index "
                 "from 0 to 255"}),
    [](const testing::TestParamInfo<NoteCase>& p) { return std::string(p.param.name); });

// A noted envelope line leaves the default; a noted set line keeps what it
// read before the fault.
TEST(Configuration, NotedLinesChangeNothingAfterTheirFault) {
  const Configuration cnf = Read("(5000,400)\n$3 1,2 x 5,6\n");
  EXPECT_EQ(cnf.width, 448);
  EXPECT_FALSE(cnf.sizeGiven);
  ASSERT_EQ(cnf.sets[0].positions.size(), 1u);
  EXPECT_EQ(cnf.sets[0].group, 3);
}

TEST(Configuration, TooLargeReadAsNothing) {
  const std::string text(kMaxConfigurationBytes + 1, '#');
  const Configuration cnf = Read(text);
  ASSERT_EQ(cnf.notes.size(), 1u);
  EXPECT_EQ(cnf.notes[0].fault, CnfFault::kTooLarge);
  EXPECT_TRUE(cnf.cels.empty());
}

}  // namespace
