#include "bench/call_counts.h"

#include "bench/heap_counter.h"

namespace bench {

namespace {

// One host at a time: the routines the module is given have no context.
BufferSuite realBuffer, countingBuffer;
HandleSuite realHandle, countingHandle;
ResourceSuite realResource, countingResource;
ReadDescriptorSuite realRead, countingRead;
WriteDescriptorSuite realWrite, countingWrite;
AdvanceStateRoutine realAdvance = nullptr;
ProgressRoutine realProgress = nullptr;
HostCallCounts counts;

// Counts one call and books its heap allocations to the host's callbacks.
class InCallback {
 public:
  explicit InCallback(int64_t& counter) : previous_(HeapCounterEnter(kHeapZoneCallback)) {
    ++counter;
  }
  ~InCallback() { HeapCounterEnter(previous_); }
  InCallback(const InCallback&) = delete;
  InCallback& operator=(const InCallback&) = delete;

 private:
  HeapZone previous_;
};

void ZENTROW_CALL CountedEntry(int16_t selector, void* block, intptr_t* data, int16_t* result) {
  const HeapZone previous = HeapCounterEnter(kHeapZoneModule);
  ENTRYPOINT(selector, block, data, result);
  HeapCounterEnter(previous);
}

struct Buffer {
  static int16_t ZENTROW_CALL Allocate(int32_t size, BufferId* id) {
    InCallback c(counts.buffer);
    return realBuffer.allocate(size, id);
  }
  static void* ZENTROW_CALL Lock(BufferId id, uint8_t moveHigh) {
    InCallback c(counts.buffer);
    return realBuffer.lock(id, moveHigh);
  }
  static void ZENTROW_CALL Unlock(BufferId id) {
    InCallback c(counts.buffer);
    realBuffer.unlock(id);
  }
  static void ZENTROW_CALL Free(BufferId id) {
    InCallback c(counts.buffer);
    realBuffer.free(id);
  }
  static int32_t ZENTROW_CALL Space() {
    InCallback c(counts.buffer);
    return realBuffer.space();
  }
};

struct Handles {
  static Handle ZENTROW_CALL Create(int32_t size) {
    InCallback c(counts.handle);
    return realHandle.create(size);
  }
  static void ZENTROW_CALL Dispose(Handle h) {
    InCallback c(counts.handle);
    realHandle.dispose(h);
  }
  static int32_t ZENTROW_CALL GetSize(Handle h) {
    InCallback c(counts.handle);
    return realHandle.getSize(h);
  }
  static int16_t ZENTROW_CALL SetSize(Handle h, int32_t size) {
    InCallback c(counts.handle);
    return realHandle.setSize(h, size);
  }
  static void* ZENTROW_CALL Lock(Handle h, uint8_t moveHigh) {
    InCallback c(counts.handle);
    return realHandle.lock(h, moveHigh);
  }
  static void ZENTROW_CALL Unlock(Handle h) {
    InCallback c(counts.handle);
    realHandle.unlock(h);
  }
};

struct Resources {
  static int16_t ZENTROW_CALL Count(FourCharCode type) {
    InCallback c(counts.resource);
    return realResource.count(type);
  }
  static Handle ZENTROW_CALL Get(FourCharCode type, int16_t index) {
    InCallback c(counts.resource);
    return realResource.get(type, index);
  }
  static void ZENTROW_CALL Remove(FourCharCode type, int16_t index) {
    InCallback c(counts.resource);
    realResource.remove(type, index);
  }
  static int16_t ZENTROW_CALL Add(FourCharCode type, Handle data) {
    InCallback c(counts.resource);
    return realResource.add(type, data);
  }
};

struct Descriptors {
  static ReadToken ZENTROW_CALL OpenRead(Handle descriptor, const FourCharCode* keys) {
    InCallback c(counts.descriptor);
    return realRead.openRead(descriptor, keys);
  }
  static int16_t ZENTROW_CALL CloseRead(ReadToken token) {
    InCallback c(counts.descriptor);
    return realRead.closeRead(token);
  }
  static uint8_t ZENTROW_CALL GetKey(ReadToken token, FourCharCode* key, FourCharCode* type,
                                     int32_t* flags) {
    InCallback c(counts.descriptor);
    return realRead.getKey(token, key, type, flags);
  }
  static int16_t ZENTROW_CALL GetBoolean(ReadToken token, uint8_t* value) {
    InCallback c(counts.descriptor);
    return realRead.getBoolean(token, value);
  }
  static WriteToken ZENTROW_CALL OpenWrite() {
    InCallback c(counts.descriptor);
    return realWrite.openWrite();
  }
  static int16_t ZENTROW_CALL CloseWrite(WriteToken token, Handle* descriptor) {
    InCallback c(counts.descriptor);
    return realWrite.closeWrite(token, descriptor);
  }
  static int16_t ZENTROW_CALL PutBoolean(WriteToken token, FourCharCode key, uint8_t value) {
    InCallback c(counts.descriptor);
    return realWrite.putBoolean(token, key, value);
  }
};

int16_t ZENTROW_CALL CountedAdvance() {
  InCallback c(counts.advance);
  return realAdvance();
}

void ZENTROW_CALL CountedProgress(int32_t done, int32_t total) {
  InCallback c(counts.progress);
  realProgress(done, total);
}

// A counting copy keeps the host's version, count and unused routines.
template <typename Suite>
Suite* Substitute(Suite* suite, Suite& real, Suite& counting, const Suite& routines) {
  if (suite == nullptr) return nullptr;
  real = *suite;
  counting = routines;
  counting.version = suite->version;
  counting.routineCount = suite->routineCount;
  return &counting;
}

}  // namespace

EntryPoint CountingEntry() { return CountedEntry; }

CountingSuites::CountingSuites(plughost::Host& host)
    : host_(host), saved_(host.block()), savedParams_(host.descriptorParams()) {
  counts = HostCallCounts{};
  FormatBlock& block = host.block();
  block.bufferSuite = Substitute(block.bufferSuite, realBuffer, countingBuffer,
                                 BufferSuite{0, 0, Buffer::Allocate, Buffer::Lock, Buffer::Unlock,
                                             Buffer::Free, Buffer::Space});
  block.handleSuite = Substitute(block.handleSuite, realHandle, countingHandle,
                                 HandleSuite{0, 0, Handles::Create, Handles::Dispose,
                                             Handles::GetSize, Handles::SetSize, Handles::Lock,
                                             Handles::Unlock, nullptr});
  if (block.handleSuite != nullptr) countingHandle.recoverSpace = realHandle.recoverSpace;
  block.resourceSuite = Substitute(block.resourceSuite, realResource, countingResource,
                                   ResourceSuite{0, 0, Resources::Count, Resources::Get,
                                                 Resources::Remove, Resources::Add});
  DescriptorParams& params = host.descriptorParams();
  if (params.readSuite != nullptr) {
    realRead = *params.readSuite;
    countingRead = realRead;
    countingRead.openRead = Descriptors::OpenRead;
    countingRead.closeRead = Descriptors::CloseRead;
    countingRead.getKey = Descriptors::GetKey;
    countingRead.getBoolean = Descriptors::GetBoolean;
    params.readSuite = &countingRead;
  }
  if (params.writeSuite != nullptr) {
    realWrite = *params.writeSuite;
    countingWrite = realWrite;
    countingWrite.openWrite = Descriptors::OpenWrite;
    countingWrite.closeWrite = Descriptors::CloseWrite;
    countingWrite.putBoolean = Descriptors::PutBoolean;
    params.writeSuite = &countingWrite;
  }
  realAdvance = block.advanceState;
  if (realAdvance != nullptr) block.advanceState = CountedAdvance;
  realProgress = block.progress;
  if (realProgress != nullptr) block.progress = CountedProgress;
}

CountingSuites::~CountingSuites() {
  FormatBlock& block = host_.block();
  block.bufferSuite = saved_.bufferSuite;
  block.handleSuite = saved_.handleSuite;
  block.resourceSuite = saved_.resourceSuite;
  block.advanceState = saved_.advanceState;
  block.progress = saved_.progress;
  host_.descriptorParams().readSuite = savedParams_.readSuite;
  host_.descriptorParams().writeSuite = savedParams_.writeSuite;
}

const HostCallCounts& CountingSuites::Counts() { return counts; }

}  // namespace bench
