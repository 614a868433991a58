// A set's configuration (.cnf): the palettes it lists, each cel's object,
// palette and sets, where each object lies in sets 0 to 9 and which palette
// group each set shows, the envelope's size and the border colour; all that
// drawing a set as a viewer first shows it takes. FKiSS and the other lines
// a first showing does not use are passed over; a line of a kind it uses
// that cannot be read is noted by its number and passed over too.
//
// Lines begin with what they are: "%" a palette file, "#" a cel
// ("#obj[.fix] name.cel [*palette] [:sets]"), "$" a set ("$group x,y * ...",
// one position or "*" an object, object 0 first, carried on over lines that
// begin with a space), "(" the envelope ("(w,h)"), "[" the border's colour
// index, ";" a comment, which also ends any other line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSetCount = 10;
// The envelope a configuration without a "(w,h)" line has.
constexpr int kDefaultEnvelopeWidth = 448;
constexpr int kDefaultEnvelopeHeight = 320;

// Limits held while reading: past them a line is noted, not followed.
constexpr size_t kMaxConfigurationBytes = size_t{4} << 20;
constexpr int kMaxObjects = 4096;  // object numbers 0 to 4095
constexpr int kMaxEnvelopeSide = 4096;
constexpr int kMaxCoordinate = 32767;  // positions from -32767 to 32767
constexpr size_t kMaxCelLines = 16384;
constexpr size_t kMaxPaletteLines = 256;

struct CnfCel {
  int object = 0;
  int fix = 0;
  std::string file;       // as the line writes it
  int palette = 0;        // index into Configuration::palettes
  uint16_t sets = 0x3FF;  // bit S: shown in set S; every set without ":"
  int line = 0;
  bool InSet(int set) const { return set >= 0 && set < kSetCount && (sets >> set & 1) != 0; }
};

struct CnfPosition {
  bool placed = false;  // false for "*" and objects past the line's end
  int x = 0;
  int y = 0;
};

struct CnfSet {
  bool given = false;                  // the configuration has its "$" line
  int group = 0;                       // the palette group it shows
  std::vector<CnfPosition> positions;  // by object number
  int line = 0;
  CnfPosition At(int object) const {
    return object >= 0 && size_t(object) < positions.size() ? positions[size_t(object)]
                                                            : CnfPosition{};
  }
};

// Why a line was passed over.
enum class CnfFault {
  kCel,       // a "#" line without an object number and a file name
  kObject,    // an object number past kMaxObjects - 1
  kPalette,   // a "%" line without a file name, or past kMaxPaletteLines
  kSet,       // a "$" line's group or a position that is no number pair or "*"
  kExtraSet,  // an eleventh "$" line
  kEnvelope,  // a "(" line that is not "(w,h)" with sides from 1 to kMaxEnvelopeSide
  kBorder,    // a "[" line without a colour index
  kTooManyCels,
  kTooLarge,  // a configuration past kMaxConfigurationBytes: nothing is read
};

struct CnfNote {
  int line = 0;  // from 1
  CnfFault fault = CnfFault::kCel;
};

struct Configuration {
  int width = kDefaultEnvelopeWidth;
  int height = kDefaultEnvelopeHeight;
  bool sizeGiven = false;
  int border = 0;                     // a colour index
  std::vector<std::string> palettes;  // "%" lines, in order: a cel's "*N" is palettes[N]
  std::vector<CnfCel> cels;           // in the order listed: the first is drawn on top
  std::array<CnfSet, kSetCount> sets;
  std::vector<CnfNote> notes;

  // A set with its "$" line and at least one cel in it.
  bool SetUsed(int set) const;
};

Configuration ReadConfiguration(const uint8_t* text, size_t size);
Configuration ReadConfiguration(const std::vector<uint8_t>& text);
