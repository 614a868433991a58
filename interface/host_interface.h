// The format-module interface between a host and a module: the parameter
// blocks, the callback suites and the one entry point.
//
// Numbers keep their widths on every build (16-bit selector and result,
// 32-bit counts and sizes). Handles, buffer ids, descriptor tokens, the data
// slot and addresses are pointer-sized: 32 bits in the 32-bit DLL, 64 bits in
// the 64-bit DLL and the native build. The static_asserts at the end pin the layout for both.
//
// Ownership in one sentence: the host owns every block and suite it passes
// and keeps them alive for the length of the call; the module owns nothing
// the host gave it except what a routine below says it may dispose of.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ZENTROW_CALL __cdecl
#define ZENTROW_EXPORT
#else
#define ZENTROW_CALL
#define ZENTROW_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// An opaque movable block of memory. Made by the host's HandleSuite, or by the
// module's own fallback when the host offers none. Null means none.
typedef struct OpaqueHandle* Handle;
// An opaque host buffer, as returned by BufferSuite::allocate. Null means none.
typedef struct OpaqueBuffer* BufferId;
// Open descriptor readers and writers of the scripting suites. Null: none.
typedef struct OpaqueReadToken* ReadToken;
typedef struct OpaqueWriteToken* WriteToken;

// A four-character code in 32 bits, first character in the top byte:
// "fooB" is 0x666F6F42.
typedef uint32_t FourCharCode;

constexpr FourCharCode MakeFourCharCode(const char* code) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

// The four characters of a code, zero-terminated: the reverse of the above.
struct FourChars {
  char text[5];
};
constexpr FourChars FourCharCodeChars(FourCharCode code) {
  return FourChars{{char(code >> 24), char((code >> 16) & 0xFF), char((code >> 8) & 0xFF),
                    char(code & 0xFF), 0}};
}

// Any routine of a suite that the module never calls. A host fills these in
// with its own routines; the module only tests that they are present.
typedef void(ZENTROW_CALL* UnusedRoutine)(void);

// Selectors, 16-bit. Selector 0 takes an AboutBlock, all others a FormatBlock.
//
// The order of calls. An operation is one run of selectors with one data
// slot, which is zero before the first call and kept by the host between
// calls:
//   opening:    ReadPrepare, ReadStart, ReadContinue, ReadFinish
//   saving:     OptionsPrepare .. OptionsFinish, EstimatePrepare ..
//               EstimateFinish, WritePrepare .. WriteFinish (each four in
//               the order prepare, start, continue, finish)
//   a filter:   FilterFile alone;  About: selector 0 alone
// A host stops an operation at the first selector that answers non-zero.
// Calls come one at a time, on the host's thread.
//
// What each selector reads (r) and writes (w) of the FormatBlock; a field
// not named is left alone:
//   every prepare (1, 5, 9, 13)  w dataLimit (0)
//   ReadStart                    r descriptorParams, bufferSuite, advanceState,
//                                  handleSuite, fileRef;
//                                w imageMode, rows, columns, depth, planes
//   ReadContinue                 r rows, planes, columns, bufferSuite, fileRef,
//                                  advanceState, progress, imageResources;
//                                w imageResources(Size), data, rect*, plane*,
//                                  columnStep, rowStep, planeStep, channelMap*;
//                                  rows are exchanged one at a time through
//                                  advanceState, 48 bytes each
//   ReadFinish                   r imageResources, descriptorParams,
//                                  resourceSuite, handleSuite, fileRef;
//                                w imageResources(Size)
//   OptionsStart                 r the suites; w data (null)
//   EstimateStart                r the suites, imageMode, rows, columns, depth,
//                                  planes, imageResourcesSize;
//                                w minBytes, maxBytes, data (null)
//   WriteStart                   r descriptorParams, the suites, rows, columns,
//                                  fileRef, advanceState, progress;
//                                w data, rect*, plane*, planes, columnStep,
//                                  rowStep, planeStep, channelMap*; the host
//                                  fills one 48-byte row per advanceState
//   WriteFinish                  r descriptorParams
//   FilterFile                   r fileRef
//   continue and finish of options and estimate, WriteContinue: nothing
enum Selector : int16_t {
  kSelectorAbout = 0,
  kSelectorReadPrepare = 1,
  kSelectorReadStart = 2,
  kSelectorReadContinue = 3,
  kSelectorReadFinish = 4,
  kSelectorOptionsPrepare = 5,
  kSelectorOptionsStart = 6,
  kSelectorOptionsContinue = 7,
  kSelectorOptionsFinish = 8,
  kSelectorEstimatePrepare = 9,
  kSelectorEstimateStart = 10,
  kSelectorEstimateContinue = 11,
  kSelectorEstimateFinish = 12,
  kSelectorWritePrepare = 13,
  kSelectorWriteStart = 14,
  kSelectorWriteContinue = 15,
  kSelectorWriteFinish = 16,
  kSelectorFilterFile = 17,
};

// Image modes the module describes or reads.
enum ImageMode : int16_t { kImageModeIndexed = 2, kImageModeRgb = 3 };

// The suite versions the module supports and the fewest routines it accepts.
constexpr int16_t kBufferSuiteVersion = 2;
constexpr uint16_t kBufferSuiteMinRoutines = 5;
constexpr int16_t kResourceSuiteVersion = 3;
constexpr uint16_t kResourceSuiteMinRoutines = 4;
constexpr int16_t kHandleSuiteVersion = 1;
constexpr uint16_t kHandleSuiteMinRoutines = 7;
constexpr int16_t kDescriptorSuiteVersion = 0;
constexpr uint16_t kReadDescriptorMinRoutines = 18;
constexpr uint16_t kWriteDescriptorMinRoutines = 16;

// ---------------------------------------------------------------------------
// BufferSuite: scratch buffers owned by the host. Supported version 2, five
// routines, all of which must be present.
struct BufferSuite {
  int16_t version;
  uint16_t routineCount;  // compared unsigned: 0x8000 and up count as large
  // Makes a buffer of `size` bytes and stores its id in *id (the module
  // clears *id first). Returns 0 or an error code. The module frees it.
  int16_t(ZENTROW_CALL* allocate)(int32_t size, BufferId* id);
  // Address of the buffer's bytes, valid until free; null when the host
  // cannot give one. moveHigh is a one-byte boolean.
  void*(ZENTROW_CALL* lock)(BufferId id, uint8_t moveHigh);
  void(ZENTROW_CALL* unlock)(BufferId id);
  // Releases the buffer, locked or not. The id is dead afterwards.
  void(ZENTROW_CALL* free)(BufferId id);
  // Bytes the host could still hand out.
  int32_t(ZENTROW_CALL* space)(void);
};

// ResourceSuite: the document's resources. Supported version 3, four routines.
struct ResourceSuite {
  int16_t version;
  uint16_t routineCount;
  int16_t(ZENTROW_CALL* count)(FourCharCode type);
  // A handle the host keeps owning; null past the end.
  Handle(ZENTROW_CALL* get)(FourCharCode type, int16_t index);
  void(ZENTROW_CALL* remove)(FourCharCode type, int16_t index);
  // Appends a resource of `type` holding a copy of the handle's bytes. The
  // caller keeps its handle and may dispose of it as soon as this returns.
  int16_t(ZENTROW_CALL* add)(FourCharCode type, Handle data);
};

// HandleSuite: the host's movable memory. Supported version 1, at least seven
// routines, of which new, dispose, getSize and setSize must be present.
struct HandleSuite {
  int16_t version;
  uint16_t routineCount;
  // A new zero-filled handle of `size` bytes, or null.
  Handle(ZENTROW_CALL* create)(int32_t size);
  // Releases a handle; null is ignored.
  void(ZENTROW_CALL* dispose)(Handle h);
  int32_t(ZENTROW_CALL* getSize)(Handle h);
  int16_t(ZENTROW_CALL* setSize)(Handle h, int32_t size);
  // Address of the handle's bytes, valid until unlock; null on failure.
  void*(ZENTROW_CALL* lock)(Handle h, uint8_t moveHigh);
  void(ZENTROW_CALL* unlock)(Handle h);
  UnusedRoutine recoverSpace;  // the seventh routine; never called
};

// ReadDescriptorSuite: reads the scripting parameters the host hands over.
// Version 0, at least 18 routines, all of which must be present.
struct ReadDescriptorSuite {
  int16_t version;
  uint16_t routineCount;
  // 1. Opens the descriptor for reading. keys: zero-terminated list of
  // expected keys (the module passes an empty list). Null when nothing can
  // be read.
  ReadToken(ZENTROW_CALL* openRead)(Handle descriptor, const FourCharCode* keys);
  // 2. Ends reading; the token is dead afterwards. −1715 means a key the
  // host expected was missing, which the module ignores.
  int16_t(ZENTROW_CALL* closeRead)(ReadToken token);
  // 3. Delivers the next key, its type and flags; false when none is left.
  uint8_t(ZENTROW_CALL* getKey)(ReadToken token, FourCharCode* key, FourCharCode* type,
                                int32_t* flags);
  UnusedRoutine getInteger, getFloat, getUnitFloat;  // 4-6
  // 7. Reads the value of the key just delivered as a one-byte boolean.
  int16_t(ZENTROW_CALL* getBoolean)(ReadToken token, uint8_t* value);
  UnusedRoutine unused8, unused9, unused10, unused11, unused12, unused13, unused14,
      unused15, unused16, unused17, unused18;
};

// WriteDescriptorSuite: builds the descriptor the host records after a
// finish. Version 0, at least 16 routines, all of which must be present.
struct WriteDescriptorSuite {
  int16_t version;
  uint16_t routineCount;
  // 1. Starts a new descriptor; null when none can be made.
  WriteToken(ZENTROW_CALL* openWrite)(void);
  // 2. Ends it and stores in *descriptor a new handle the host will own.
  int16_t(ZENTROW_CALL* closeWrite)(WriteToken token, Handle* descriptor);
  UnusedRoutine putInteger, putFloat, putUnitFloat;  // 3-5
  // 6. Adds `key` with a one-byte boolean value.
  int16_t(ZENTROW_CALL* putBoolean)(WriteToken token, FourCharCode key, uint8_t value);
  UnusedRoutine unused7, unused8, unused9, unused10, unused11, unused12, unused13,
      unused14, unused15, unused16;
};

// Scripting parameters. Version 0.
struct DescriptorParams {
  int16_t version;
  int16_t playInfo;    // how the host plays the operation; not acted on
  int16_t recordInfo;  // set to 0 by the module when it records
  int16_t reserved;
  // The host's descriptor. Consumed (disposed and cleared) by the module
  // after a successful openRead; replaced by the handle closeWrite returns.
  Handle descriptor;
  WriteDescriptorSuite* writeSuite;
  ReadDescriptorSuite* readSuite;
};

typedef void(ZENTROW_CALL* ProgressRoutine)(int32_t done, int32_t total);
// Moves pixel data between the module's buffer at `data` and the document,
// for the rectangle and layout the block describes. 0 or an error code.
typedef int16_t(ZENTROW_CALL* AdvanceStateRoutine)(void);

// ---------------------------------------------------------------------------
// The parameter block of selectors 1 to 17. Owned by the host; the module
// reads and writes the fields named per selector and nothing else. The
// padding fields keep every pointer naturally aligned on both builds and are
// left alone by both sides.
struct FormatBlock {
  ProgressRoutine progress;  // may be null only in hosts that never open or save
  int32_t dataLimit;         // set to 0 by the prepare selectors
  int32_t minBytes;          // estimate of the file size, set by EstimateStart
  int32_t maxBytes;
  int32_t fileRef;  // the host's open file: a file handle (Windows) or descriptor
  int16_t imageMode;
  int16_t rows;
  int16_t columns;
  int16_t depth;   // bits per channel
  int16_t planes;  // channels
  int16_t reserved0[3];
  // Pixel data exchanged by advanceState: the module's row buffer while a
  // row is in flight, null otherwise. Owned by the module.
  void* data;
  int16_t rectTop;  // the rectangle of the exchange, bottom and right exclusive
  int16_t rectLeft;
  int16_t rectBottom;
  int16_t rectRight;
  int16_t planeLow;  // first and last channel exchanged, inclusive
  int16_t planeHigh;
  int16_t columnStep;  // bytes from one pixel to the next
  int16_t reserved1;
  int32_t rowStep;    // bytes from one row to the next
  int32_t planeStep;  // bytes from one channel to the next within a pixel
  // Host channel carried by byte 0, 1 and 2 of each pixel; in RGB 0 is red.
  int16_t channelMap0;
  int16_t channelMap1;
  int16_t channelMap2;
  int16_t reserved2;
  // The document's image resources, owned by the host; the module may dispose
  // of it (and then clears it and the size).
  Handle imageResources;
  int32_t imageResourcesSize;
  int32_t reserved3;
  BufferSuite* bufferSuite;  // any suite may be null
  ResourceSuite* resourceSuite;
  HandleSuite* handleSuite;
  AdvanceStateRoutine advanceState;  // null in hosts without it
  DescriptorParams* descriptorParams;
};

// Platform data of the About selector: the window that owns the About box.
struct PlatformData {
  intptr_t ownerWindow;  // a window handle; 0 for none
};

// The parameter block of selector 0.
struct AboutBlock {
  PlatformData* platformData;  // never null from a well-behaved host
};

// The entry point, exported as "ENTRYPOINT" (ordinal 1 in the DLL).
//   selector: 0 to 17; anything else is answered with −30500.
//   block:    an AboutBlock for selector 0, a FormatBlock otherwise.
//   data:     the host's data slot, zero before the first call of an
//             operation; the module keeps its state's handle there and never
//             disposes of it, so the host owns it afterwards.
//   result:   the host's result, written on every call but selector 0.
// A null block makes the call return untouched; so does a null data slot or
// result for selectors other than 0, which needs only its block.
typedef void(ZENTROW_CALL* EntryPoint)(int16_t selector, void* block, intptr_t* data,
                                       int16_t* result);

}  // extern "C"

// Layout checks: P is the pointer size, 4 in the 32-bit DLL and 8 in the
// 64-bit DLL and natively.
namespace layout {
constexpr size_t P = sizeof(void*);
static_assert(P == 4 || P == 8, "32- or 64-bit builds only");
static_assert(sizeof(FourCharCode) == 4 && sizeof(Handle) == P, "handles are pointer-sized");
static_assert(offsetof(BufferSuite, allocate) == P && sizeof(BufferSuite) == 6 * P, "");
static_assert(offsetof(ResourceSuite, add) == 4 * P && sizeof(ResourceSuite) == 5 * P, "");
static_assert(offsetof(HandleSuite, lock) == 5 * P && sizeof(HandleSuite) == 8 * P, "");
static_assert(offsetof(ReadDescriptorSuite, getBoolean) == 7 * P &&
                  sizeof(ReadDescriptorSuite) == 19 * P,
              "");
static_assert(offsetof(WriteDescriptorSuite, putBoolean) == 6 * P &&
                  sizeof(WriteDescriptorSuite) == 17 * P,
              "");
static_assert(offsetof(DescriptorParams, descriptor) == 8 &&
                  sizeof(DescriptorParams) == 8 + 3 * P,
              "");
static_assert(offsetof(FormatBlock, dataLimit) == P, "");
static_assert(offsetof(FormatBlock, fileRef) == P + 12, "");
static_assert(offsetof(FormatBlock, imageMode) == P + 16, "");
static_assert(offsetof(FormatBlock, planes) == P + 24, "");
static_assert(offsetof(FormatBlock, data) == P + 32, "");
static_assert(offsetof(FormatBlock, rectTop) == 2 * P + 32, "");
static_assert(offsetof(FormatBlock, columnStep) == 2 * P + 44, "");
static_assert(offsetof(FormatBlock, rowStep) == 2 * P + 48, "");
static_assert(offsetof(FormatBlock, planeStep) == 2 * P + 52, "");
static_assert(offsetof(FormatBlock, channelMap0) == 2 * P + 56, "channel map follows planeStep");
static_assert(offsetof(FormatBlock, channelMap2) == 2 * P + 60, "");
static_assert(offsetof(FormatBlock, imageResources) == 2 * P + 64, "");
static_assert(offsetof(FormatBlock, imageResourcesSize) == 3 * P + 64, "");
static_assert(offsetof(FormatBlock, bufferSuite) == 3 * P + 72, "");
static_assert(offsetof(FormatBlock, advanceState) == 6 * P + 72, "");
static_assert(offsetof(FormatBlock, descriptorParams) == 7 * P + 72, "");
static_assert(sizeof(FormatBlock) == 8 * P + 72, "");
static_assert(sizeof(AboutBlock) == P && sizeof(PlatformData) == P, "");
}  // namespace layout
