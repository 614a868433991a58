// LHA archives as KiSS sets ship: each input unpacked through liblhasa
// within the limits, then opened as a set (its configuration, cels and
// palettes) and its first set drawn; or one sentence naming the archive.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "plughost/sets/draw_set.h"
#include "plughost/sets/lha_archive.h"
#include "plughost/sets/set_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const plughost::MemoryBytes bytes(data, size);
  std::vector<plughost::ArchiveMember> members;
  const plughost::ArchiveRefusal refusal = plughost::ReadLhaArchive(bytes, &members);
  if (refusal) {
    const std::string words = plughost::ArchiveRefusalWords("set.lzh", refusal);
    FUZZ_REQUIRE(words.rfind("set.lzh ", 0) == 0, "the refusal does not name the archive: %s",
                 words.c_str());
    FUZZ_REQUIRE(members.empty(), "a refused archive kept %zu members", members.size());
    return 0;
  }
  uint64_t unpacked = 0;
  for (const plughost::ArchiveMember& member : members) {
    FUZZ_REQUIRE(member.bytes.size() <= plughost::kMaxMemberBytes, "a member of %zu bytes",
                 member.bytes.size());
    unpacked += member.bytes.size();
  }
  FUZZ_REQUIRE(
      members.size() <= plughost::kMaxArchiveMembers && unpacked <= plughost::kMaxUnpackedBytes,
      "%zu members, %llu bytes", members.size(), static_cast<unsigned long long>(unpacked));
  plughost::DollSet doll;
  const plughost::SetRefusal set = plughost::LoadSet(members, "", &doll);
  if (set) {
    const std::string words = plughost::SetRefusalWords("set.lzh", set);
    FUZZ_REQUIRE(words.find("set.lzh") != std::string::npos,
                 "the refusal does not name the set: %s", words.c_str());
    return 0;
  }
  FUZZ_REQUIRE(
      doll.cels.size() == doll.cnf.cels.size() && doll.palettes.size() == doll.cnf.palettes.size(),
      "%zu cels for %zu lines", doll.cels.size(), doll.cnf.cels.size());
  const plughost::SetDrawing drawn = plughost::DrawSet(doll, 0);
  FUZZ_REQUIRE(
      drawn.drawing.image.columns == doll.cnf.width && drawn.drawing.image.rows == doll.cnf.height,
      "a %dx%d envelope drawn %dx%d", doll.cnf.width, doll.cnf.height, drawn.drawing.image.columns,
      drawn.drawing.image.rows);
  return 0;
}
