#include "plughost/host.h"

#include "interface/result_codes.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

namespace plughost {

namespace {

constexpr uint32_t kHandleMark = 0x484E444C;  // "HNDL"
constexpr int16_t kHostError = -1;            // the host's own refusal
constexpr int32_t kLargestBlock = 64 * 1024 * 1024;

using Json = nlohmann::ordered_json;

// Each object carries the serial number the trace shows for it.
struct HostHandle {
  uint32_t mark = kHandleMark;
  int serial = 0;
  std::vector<uint8_t> bytes;
};

struct HostBuffer {
  int serial = 0;
  std::vector<uint8_t> bytes;
};

struct ReadTokenState {
  int serial = 0;
  std::vector<DescriptorEntry> entries;
  size_t next = 0;
};

struct WriteTokenState {
  int serial = 0;
  std::vector<DescriptorEntry> entries;
};

std::vector<uint8_t> Serialize(const std::vector<DescriptorEntry>& entries) {
  std::vector<uint8_t> bytes;
  for (const DescriptorEntry& e : entries) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(e.key >> (8 * i)));
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(e.type >> (8 * i)));
    bytes.push_back(e.value);
  }
  return bytes;
}

std::vector<DescriptorEntry> Deserialize(const std::vector<uint8_t>& bytes) {
  std::vector<DescriptorEntry> entries;
  for (size_t at = 0; at + 9 <= bytes.size(); at += 9) {
    DescriptorEntry e;
    for (size_t i = 0; i < 4; ++i) e.key |= uint32_t(bytes[at + i]) << (8 * i);
    for (size_t i = 0; i < 4; ++i) e.type |= uint32_t(bytes[at + 4 + i]) << (8 * i);
    e.value = bytes[at + 8];
    entries.push_back(e);
  }
  return entries;
}

std::string CodeText(FourCharCode code) { return FourCharCodeChars(code).text; }

}  // namespace

struct Host::State {
  Host* host = nullptr;
  std::set<HostHandle*> handles;
  std::set<HostBuffer*> buffers;
  std::set<ReadTokenState*> readTokens;
  std::set<WriteTokenState*> writeTokens;
  int handleCreates = 0, handleLocks = 0, bufferAllocates = 0, bufferLocks = 0;
  int serials = 0;

  void Violation(const std::string& what) {
    host->counts_.violations.push_back(what);
    Trace("violation", [&] { return Json{{"what", what}}; });
  }
  // The fields are built only while someone listens: an open makes some
  // hundred callbacks, and their JSON would be most of the host's time.
  template <typename Fields>
  void Trace(const char* event, Fields&& fields) {
    if (host->onTrace) host->onTrace(event, fields());
  }
  // What the trace shows for a handle or buffer: its serial, or null.
  Json HandleName(Handle h) {
    if (h == nullptr) return nullptr;
    HostHandle* known = FindHandle(h);
    return known != nullptr ? Json(known->serial) : Json("unknown");
  }
  Json BufferName(BufferId id) {
    if (id == nullptr) return nullptr;
    HostBuffer* known = FindBuffer(id);
    return known != nullptr ? Json(known->serial) : Json("unknown");
  }
  HostHandle* FindHandle(Handle h) {
    auto* p = reinterpret_cast<HostHandle*>(h);
    return handles.count(p) != 0 ? p : nullptr;
  }
  HostBuffer* FindBuffer(BufferId id) {
    auto* p = reinterpret_cast<HostBuffer*>(id);
    return buffers.count(p) != 0 ? p : nullptr;
  }
  // True when [start, start + bytes) lies inside one live buffer.
  bool InsideBuffer(const uint8_t* start, int64_t bytes) {
    for (HostBuffer* b : buffers) {
      const uint8_t* begin = b->bytes.data();
      if (start >= begin && start + bytes <= begin + b->bytes.size()) return true;
    }
    return false;
  }
};

// The module calls plain routines; they reach the host that is calling it.
namespace {
Host::State* current = nullptr;
}

struct Callbacks {
  static Host::State& S() { return *current; }
  static Host& H() { return *current->host; }

  // Handles.
  static Handle ZENTROW_CALL NewHandle(int32_t size) {
    Host::State& s = S();
    ++s.handleCreates;
    const bool refused =
        size < 0 || size > kLargestBlock || s.handleCreates == H().settings_.handleCreateFailsAt;
    Handle made = refused ? nullptr : H().NewHostHandle(std::vector<uint8_t>(size_t(size), 0));
    s.Trace("handle.new", [&] { return Json{{"size", size}, {"handle", s.HandleName(made)}}; });
    return made;
  }
  static void ZENTROW_CALL DisposeHandle(Handle handle) {
    S().Trace("handle.dispose", [&] { return Json{{"handle", S().HandleName(handle)}}; });
    if (handle == nullptr) return;
    HostHandle* h = S().FindHandle(handle);
    if (h == nullptr) return S().Violation("dispose of a handle the host does not hold");
    S().handles.erase(h);
    delete h;
    H().counts_.handlesLive--;
  }
  static int32_t ZENTROW_CALL GetHandleSize(Handle handle) {
    HostHandle* h = S().FindHandle(handle);
    const int32_t size = h != nullptr ? static_cast<int32_t>(h->bytes.size()) : 0;
    S().Trace("handle.getSize", [&] {
      return Json{{"handle", S().HandleName(handle)}, {"size", size}};
    });
    return size;
  }
  static int16_t ZENTROW_CALL SetHandleSize(Handle handle, int32_t size) {
    HostHandle* h = S().FindHandle(handle);
    const int16_t answer = h == nullptr || size < 0 || size > kLargestBlock ? -108 : 0;
    if (answer == 0) h->bytes.resize(static_cast<size_t>(size), 0);
    S().Trace("handle.setSize", [&] {
      return Json{{"handle", S().HandleName(handle)}, {"size", size}, {"answer", answer}};
    });
    return answer;
  }
  static void* ZENTROW_CALL LockHandle(Handle handle, uint8_t moveHigh) {
    Host::State& s = S();
    ++s.handleLocks;
    HostHandle* h = s.FindHandle(handle);
    void* address = nullptr;
    // A zero-byte handle still has an address.
    if (h != nullptr && s.handleLocks != H().settings_.handleLockFailsAt)
      address = h->bytes.empty() ? static_cast<void*>(h) : h->bytes.data();
    s.Trace("handle.lock", [&] {
      return Json{
          {"handle", s.HandleName(handle)}, {"moveHigh", moveHigh}, {"locked", address != nullptr}};
    });
    if (h == nullptr) s.Violation("lock of a handle the host does not hold");
    return address;
  }
  static void ZENTROW_CALL UnlockHandle(Handle handle) {
    S().Trace("handle.unlock", [&] { return Json{{"handle", S().HandleName(handle)}}; });
    if (S().FindHandle(handle) == nullptr)
      S().Violation("unlock of a handle the host does not hold");
  }
  static void ZENTROW_CALL RecoverSpace() {
    S().Trace("handle.recoverSpace", [] { return Json::object(); });
  }

  // Buffers.
  static int16_t ZENTROW_CALL AllocateBuffer(int32_t size, BufferId* id) {
    Host::State& s = S();
    ++s.bufferAllocates;
    H().counts_.bufferSizes.push_back(size);
    const HostSettings& settings = H().settings_;
    if (size < 0 || size > settings.bufferLimit ||
        s.bufferAllocates == settings.bufferAllocateFailsAt) {
      s.Trace("buffer.allocate", [&] {
        return Json{{"size", size}, {"buffer", nullptr}, {"answer", settings.bufferFailCode}};
      });
      return settings.bufferFailCode;
    }
    auto* b = new HostBuffer;
    b->serial = ++s.serials;
    b->bytes.assign(static_cast<size_t>(size), 0);
    s.buffers.insert(b);
    *id = reinterpret_cast<BufferId>(b);
    H().counts_.buffersMade++;
    H().counts_.buffersLive++;
    s.Trace("buffer.allocate", [&] {
      return Json{{"size", size}, {"buffer", b->serial}, {"answer", 0}};
    });
    return 0;
  }
  static void* ZENTROW_CALL LockBuffer(BufferId id, uint8_t moveHigh) {
    Host::State& s = S();
    ++s.bufferLocks;
    HostBuffer* b = s.FindBuffer(id);
    void* address = nullptr;
    if (b != nullptr && s.bufferLocks != H().settings_.bufferLockFailsAt && !b->bytes.empty())
      address = b->bytes.data();
    s.Trace("buffer.lock", [&] {
      return Json{
          {"buffer", s.BufferName(id)}, {"moveHigh", moveHigh}, {"locked", address != nullptr}};
    });
    if (b == nullptr) s.Violation("lock of a buffer the host does not hold");
    return address;
  }
  static void ZENTROW_CALL UnlockBuffer(BufferId id) {
    S().Trace("buffer.unlock", [&] { return Json{{"buffer", S().BufferName(id)}}; });
    if (S().FindBuffer(id) == nullptr) S().Violation("unlock of a buffer the host does not hold");
  }
  static void ZENTROW_CALL FreeBuffer(BufferId id) {
    S().Trace("buffer.free", [&] { return Json{{"buffer", S().BufferName(id)}}; });
    HostBuffer* b = S().FindBuffer(id);
    if (b == nullptr) return S().Violation("free of a buffer the host does not hold");
    S().buffers.erase(b);
    delete b;
    H().counts_.buffersLive--;
  }
  static int32_t ZENTROW_CALL BufferSpace() {
    S().Trace("buffer.space", [&] { return Json{{"bytes", kLargestBlock}}; });
    return kLargestBlock;
  }

  // Document resources.
  static int16_t ZENTROW_CALL CountResources(FourCharCode type) {
    int16_t n = 0;
    for (const Resource& r : H().resources_) n = static_cast<int16_t>(n + (r.type == type));
    S().Trace("resource.count", [&] { return Json{{"type", CodeText(type)}, {"count", n}}; });
    return n;
  }
  // Resources of a type are numbered from 1, in the order they were added.
  static std::vector<Resource>::iterator FindResource(FourCharCode type, int16_t index) {
    auto& list = H().resources_;
    int16_t seen = 0;
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->type == type && ++seen == index) return it;
    }
    return list.end();
  }
  // The host keeps owning the handle it gives: one per resource, made on
  // the first get and disposed of with the document.
  static Handle ZENTROW_CALL GetResource(FourCharCode type, int16_t index) {
    auto it = FindResource(type, index);
    Handle h = nullptr;
    if (it != H().resources_.end()) {
      if (it->handle == nullptr) it->handle = H().NewHostHandle(it->bytes);
      h = it->handle;
    }
    S().Trace("resource.get", [&] {
      return Json{{"type", CodeText(type)}, {"index", index}, {"handle", S().HandleName(h)}};
    });
    return h;
  }
  static void ZENTROW_CALL DeleteResource(FourCharCode type, int16_t index) {
    auto it = FindResource(type, index);
    const bool found = it != H().resources_.end();
    S().Trace("resource.delete", [&] {
      return Json{{"type", CodeText(type)}, {"index", index}, {"found", found}};
    });
    if (!found) return;
    H().ReleaseResourceHandle(*it);
    H().resources_.erase(it);
  }
  static int16_t ZENTROW_CALL AddResource(FourCharCode type, Handle data) {
    HostHandle* h = S().FindHandle(data);
    const int16_t answer = h != nullptr ? 0 : -108;
    if (h != nullptr) H().resources_.push_back(Resource{type, h->bytes});
    S().Trace("resource.add", [&] {
      Json fields{{"type", CodeText(type)}, {"handle", S().HandleName(data)}};
      if (h != nullptr) {
        fields["bytes"] = h->bytes.size();
        fields["text"] = std::string(h->bytes.begin(), h->bytes.end());
      }
      fields["answer"] = answer;
      return fields;
    });
    if (h == nullptr) S().Violation("resource added from a handle the host does not hold");
    return answer;
  }

  // Scripting descriptors.
  static Json TokenName(int serial) { return serial != 0 ? Json(serial) : Json(nullptr); }
  static ReadToken ZENTROW_CALL OpenRead(Handle descriptor, const FourCharCode* keys) {
    Json expected = Json::array();
    for (const FourCharCode* k = keys; k != nullptr && *k != 0; ++k)
      expected.push_back(CodeText(*k));
    ReadTokenState* token = nullptr;
    if (!H().settings_.openReadGivesNoToken) {
      token = new ReadTokenState;
      token->serial = ++S().serials;
      if (HostHandle* h = S().FindHandle(descriptor)) token->entries = Deserialize(h->bytes);
      S().readTokens.insert(token);
    }
    S().Trace("descriptor.openRead", [&] {
      return Json{{"descriptor", S().HandleName(descriptor)},
                  {"expected", expected},
                  {"token", TokenName(token ? token->serial : 0)}};
    });
    return reinterpret_cast<ReadToken>(token);
  }
  static int16_t ZENTROW_CALL CloseRead(ReadToken token) {
    auto* t = reinterpret_cast<ReadTokenState*>(token);
    const bool known = S().readTokens.erase(t) != 0;
    const int16_t answer = known ? H().settings_.closeReadResult : int16_t{-1};
    S().Trace("descriptor.closeRead", [&] {
      return Json{{"token", known ? TokenName(t->serial) : Json("unknown")}, {"answer", answer}};
    });
    if (!known) S().Violation("close of a read token the host did not give");
    delete (known ? t : nullptr);
    return answer;
  }
  static uint8_t ZENTROW_CALL GetKey(ReadToken token, FourCharCode* key, FourCharCode* type,
                                     int32_t* flags) {
    auto* t = reinterpret_cast<ReadTokenState*>(token);
    const bool known = S().readTokens.count(t) != 0;
    const bool more = known && t->next < t->entries.size();
    if (more) {
      const DescriptorEntry& e = t->entries[t->next++];
      *key = e.key;
      *type = e.type;
      *flags = 0;
    }
    S().Trace("descriptor.getKey", [&] {
      Json fields{{"token", known ? TokenName(t->serial) : Json("unknown")}};
      if (more) {
        fields["key"] = CodeText(*key);
        fields["type"] = CodeText(*type);
      }
      fields["delivered"] = more;
      return fields;
    });
    return more ? 1 : 0;
  }
  static int16_t ZENTROW_CALL GetBoolean(ReadToken token, uint8_t* value) {
    auto* t = reinterpret_cast<ReadTokenState*>(token);
    const bool known = S().readTokens.count(t) != 0 && t->next != 0;
    if (known) {
      *value = t->entries[t->next - 1].value;
      H().paramsRead_.push_back(t->entries[t->next - 1].key);
    }
    S().Trace("descriptor.getBoolean", [&] {
      return Json(known ? Json{{"value", *value != 0}, {"answer", 0}} : Json{{"answer", -1715}});
    });
    return known ? 0 : -1715;
  }
  static WriteToken ZENTROW_CALL OpenWrite() {
    WriteTokenState* token = nullptr;
    if (!H().settings_.openWriteGivesNoToken) {
      token = new WriteTokenState;
      token->serial = ++S().serials;
      S().writeTokens.insert(token);
    }
    S().Trace("descriptor.openWrite", [&] {
      return Json{{"token", TokenName(token ? token->serial : 0)}};
    });
    return reinterpret_cast<WriteToken>(token);
  }
  static int16_t ZENTROW_CALL CloseWrite(WriteToken token, Handle* descriptor) {
    auto* t = reinterpret_cast<WriteTokenState*>(token);
    if (S().writeTokens.erase(t) == 0) {
      S().Trace("descriptor.closeWrite", [&] {
        return Json{{"token", "unknown"}, {"answer", -1}};
      });
      S().Violation("close of a write token the host did not give");
      return -1;
    }
    *descriptor = H().NewHostHandle(Serialize(t->entries));
    Json keys = Json::array();
    for (const DescriptorEntry& e : t->entries) keys.push_back(CodeText(e.key));
    S().Trace("descriptor.closeWrite", [&] {
      return Json{{"token", t->serial},
                  {"keys", keys},
                  {"descriptor", S().HandleName(*descriptor)},
                  {"answer", 0}};
    });
    delete t;
    return 0;
  }
  static int16_t ZENTROW_CALL PutBoolean(WriteToken token, FourCharCode key, uint8_t value) {
    auto* t = reinterpret_cast<WriteTokenState*>(token);
    const bool known = S().writeTokens.count(t) != 0;
    if (known) t->entries.push_back(DescriptorEntry{key, MakeFourCharCode("bool"), value});
    S().Trace("descriptor.putBoolean", [&] {
      return Json{{"key", CodeText(key)}, {"value", value != 0}, {"answer", known ? 0 : -1}};
    });
    return known ? 0 : -1;
  }
  static void ZENTROW_CALL Unused() {
    S().Trace("unused", [] { return Json::object(); });
  }

  // advanceState and progress.
  static void ZENTROW_CALL Progress(int32_t done, int32_t total) {
    H().progress_.emplace_back(done, total);
    S().Trace("progress", [&] { return Json{{"done", done}, {"total", total}}; });
    if (H().onProgress) H().onProgress(done, total);
  }
  static int16_t ZENTROW_CALL AdvanceState() {
    Host& host = H();
    const FormatBlock& b = host.block_;
    Exchange x{b.rectTop, b.rectLeft, b.rectBottom, b.rectRight, b.planeLow, b.planeHigh,
               b.columnStep, b.rowStep, b.planeStep, {b.channelMap0, b.channelMap1, b.channelMap2},
               b.planes, b.data == nullptr, 0};
    x.answer = Transfer(host, x);
    host.exchanges_.push_back(x);
    S().Trace("advanceState", [&] {
      return Json{{"direction", host.reading_ ? "read" : "write"},
                  {"rect", {x.rectTop, x.rectLeft, x.rectBottom, x.rectRight}},
                  {"planes", {x.planeLow, x.planeHigh}},
                  {"columnStep", x.columnStep},
                  {"rowStep", x.rowStep},
                  {"planeStep", x.planeStep},
                  {"channelMap", {x.channelMap[0], x.channelMap[1], x.channelMap[2]}},
                  {"data", !x.dataWasNull},
                  {"answer", x.answer}};
    });
    return x.answer;
  }

  // Moves the described pixels between the module's buffer and the document.
  static int16_t Transfer(Host& host, const Exchange& x) {
    if (host.settings_.advanceFailsAtRow >= 0 && x.rectTop == host.settings_.advanceFailsAtRow) {
      return host.settings_.advanceFailCode;
    }
    const int rows = x.rectBottom - x.rectTop, columns = x.rectRight - x.rectLeft;
    const int channels = x.planeHigh - x.planeLow + 1;
    if (rows <= 0 || columns <= 0 || channels <= 0) return 0;
    if (x.rowStep < 0 || x.columnStep < 0 || x.planeStep < 0) {
      S().Violation("negative step in an exchange");
      return kHostError;
    }
    const int64_t extent = int64_t{rows - 1} * x.rowStep + int64_t{columns - 1} * x.columnStep +
                           int64_t{channels - 1} * x.planeStep + 1;
    auto* data = static_cast<uint8_t*>(host.block_.data);
    if (data == nullptr || !S().InsideBuffer(data, extent)) {
      S().Violation("exchange outside the module's buffer");
      return kHostError;
    }
    Image& doc = host.document_;
    if (host.reading_ && doc.pixels.empty()) {
      doc = Image::Blank(host.block_.rows, host.block_.columns, host.block_.planes);
    }
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        for (int k = 0; k < channels; ++k) {
          uint8_t* byte = data + int64_t{r} * x.rowStep + int64_t{c} * x.columnStep +
                          int64_t{k} * x.planeStep;
          const int row = x.rectTop + r, column = x.rectLeft + c;
          const int channel = k < 3 ? x.channelMap[k] : x.planeLow + k;
          const bool inside = row >= 0 && row < doc.rows && column >= 0 && column < doc.columns &&
                              channel >= 0 && channel < doc.planes;
          if (host.reading_) {
            if (inside) doc.At(row, column, channel) = *byte;
          } else {
            *byte = inside ? doc.At(row, column, channel) : 0;
          }
        }
      }
    }
    return 0;
  }
};

Image Image::Blank(int rows, int columns, int planes) {
  Image image;
  if (rows <= 0 || columns <= 0 || planes <= 0 || rows > 32767 || columns > 32767 || planes > 64) {
    return image;
  }
  image.rows = rows;
  image.columns = columns;
  image.planes = planes;
  image.pixels.assign(size_t(rows) * size_t(columns) * size_t(planes), 0);
  return image;
}

uint8_t Image::At(int row, int column, int channel) const {
  return pixels[(size_t(row) * size_t(columns) + size_t(column)) * size_t(planes) +
                size_t(channel)];
}

uint8_t& Image::At(int row, int column, int channel) {
  return pixels[(size_t(row) * size_t(columns) + size_t(column)) * size_t(planes) +
                size_t(channel)];
}

Host::Host(EntryPoint entry, HostSettings settings)
    : entry_(entry), settings_(std::move(settings)), state_(new State) {
  state_->host = this;
  BuildSuites();
}

Host::~Host() {
  for (HostHandle* h : state_->handles) delete h;
  for (HostBuffer* b : state_->buffers) delete b;
  for (ReadTokenState* t : state_->readTokens) delete t;
  for (WriteTokenState* t : state_->writeTokens) delete t;
  if (current == state_.get()) current = nullptr;
}

namespace {

template <typename Suite>
void ApplySettings(Suite& suite, const SuiteSettings& s, int16_t version, uint16_t count) {
  suite.version = static_cast<int16_t>(s.version >= 0 ? s.version : version);
  suite.routineCount = static_cast<uint16_t>(s.routineCount >= 0 ? s.routineCount : count);
  if (s.nullRoutine <= 0) return;
  // The routines follow the two 16-bit fields, one pointer each.
  void* slots = reinterpret_cast<char*>(&suite) + sizeof(void*);
  const size_t n = (sizeof(Suite) - sizeof(void*)) / sizeof(void*);
  const size_t index = static_cast<size_t>(s.nullRoutine);
  if (index <= n) {
    std::memset(static_cast<char*>(slots) + (index - 1) * sizeof(void*), 0, sizeof(void*));
  }
}

}  // namespace

void Host::BuildSuites() {
  using C = Callbacks;
  bufferSuite_ = BufferSuite{0, 0, C::AllocateBuffer, C::LockBuffer, C::UnlockBuffer,
                             C::FreeBuffer, C::BufferSpace};
  ApplySettings(bufferSuite_, settings_.buffer, kBufferSuiteVersion, kBufferSuiteMinRoutines);
  resourceSuite_ = ResourceSuite{0, 0, C::CountResources, C::GetResource, C::DeleteResource,
                                 C::AddResource};
  ApplySettings(resourceSuite_, settings_.resource, kResourceSuiteVersion,
                kResourceSuiteMinRoutines);
  handleSuite_ = HandleSuite{0, 0, C::NewHandle, C::DisposeHandle, C::GetHandleSize,
                             C::SetHandleSize, C::LockHandle, C::UnlockHandle, C::RecoverSpace};
  ApplySettings(handleSuite_, settings_.handle, kHandleSuiteVersion, kHandleSuiteMinRoutines);
  const UnusedRoutine u = C::Unused;
  readSuite_ = ReadDescriptorSuite{0, 0, C::OpenRead, C::CloseRead, C::GetKey, u, u, u,
                                   C::GetBoolean, u, u, u, u, u, u, u, u, u, u, u};
  ApplySettings(readSuite_, settings_.readDescriptor, kDescriptorSuiteVersion,
                kReadDescriptorMinRoutines);
  writeSuite_ = WriteDescriptorSuite{0, 0, C::OpenWrite, C::CloseWrite, u, u, u, C::PutBoolean,
                                     u, u, u, u, u, u, u, u, u, u};
  ApplySettings(writeSuite_, settings_.writeDescriptor, kDescriptorSuiteVersion,
                kWriteDescriptorMinRoutines);

  block_.progress = C::Progress;
  block_.bufferSuite = settings_.buffer.present ? &bufferSuite_ : nullptr;
  block_.resourceSuite = settings_.resource.present ? &resourceSuite_ : nullptr;
  block_.handleSuite = settings_.handle.present ? &handleSuite_ : nullptr;
  block_.advanceState = settings_.advanceState ? C::AdvanceState : nullptr;
  descriptorParams_.version = static_cast<int16_t>(settings_.descriptorParamsVersion);
  descriptorParams_.readSuite = settings_.readDescriptor.present ? &readSuite_ : nullptr;
  descriptorParams_.writeSuite = settings_.writeDescriptor.present ? &writeSuite_ : nullptr;
  block_.descriptorParams = settings_.descriptorParams ? &descriptorParams_ : nullptr;
}

Handle Host::NewHostHandle(const std::vector<uint8_t>& bytes) {
  auto* h = new HostHandle;
  h->serial = ++state_->serials;
  h->bytes = bytes;
  state_->handles.insert(h);
  counts_.handlesMade++;
  counts_.handlesLive++;
  return reinterpret_cast<Handle>(h);
}

std::vector<uint8_t> Host::HandleBytes(Handle handle) const {
  HostHandle* h = state_->FindHandle(handle);
  return h != nullptr ? h->bytes : std::vector<uint8_t>{};
}

bool Host::IsLiveHandle(Handle handle) const { return state_->FindHandle(handle) != nullptr; }

std::vector<DescriptorEntry> Host::RecordedParams() const {
  return Deserialize(HandleBytes(descriptorParams_.descriptor));
}

void Host::SetDocument(const Image& image) {
  document_ = image;
  for (Resource& r : resources_) ReleaseResourceHandle(r);
  resources_.clear();
}

void Host::ReleaseResourceHandle(Resource& resource) {
  HostHandle* h = state_->FindHandle(resource.handle);
  if (h == nullptr) return;
  state_->handles.erase(h);
  delete h;
  counts_.handlesLive--;
  resource.handle = nullptr;
}

void Host::PrepareDescriptor() {
  if (!settings_.provideReadDescriptor || descriptorParams_.descriptor != nullptr) return;
  descriptorParams_.descriptor = NewHostHandle(Serialize(settings_.readParams));
}

int16_t Host::Call(int16_t selector) {
  if (selector >= kSelectorReadPrepare && selector <= kSelectorReadFinish) reading_ = true;
  if (selector >= kSelectorOptionsPrepare && selector <= kSelectorWriteFinish) reading_ = false;
  if (selector == kSelectorReadStart || selector == kSelectorWriteStart) PrepareDescriptor();
  if (selector == kSelectorReadContinue && settings_.imageResourcesBytes > 0 &&
      block_.imageResources == nullptr) {
    block_.imageResources = NewHostHandle(std::vector<uint8_t>(
        static_cast<size_t>(settings_.imageResourcesBytes), 0x5A));
    block_.imageResourcesSize = settings_.imageResourcesBytes;
  }
  current = state_.get();
  entry_(selector, &block_, &dataSlot_, &result_);
  calls_.push_back(SelectorCall{selector, result_});
  state_->Trace("selector", [&] {
    return Json{{"selector", selector},
                {"name", SelectorName(selector)},
                {"result", result_},
                {"meaning", ResultMeaning(result_)}};
  });
  return result_;
}

int16_t Host::CallAbout(intptr_t ownerWindow) {
  PlatformData platform{ownerWindow};
  AboutBlock about{&platform};
  current = state_.get();
  entry_(kSelectorAbout, &about, &dataSlot_, &result_);
  calls_.push_back(SelectorCall{kSelectorAbout, result_});
  state_->Trace("selector", [&] {
    return Json{{"selector", 0},
                {"name", "About"},
                {"result", result_},
                {"meaning", ResultMeaning(result_)}};
  });
  return result_;
}

int16_t Host::Open(int32_t fileRef) {
  block_.fileRef = fileRef;
  SetDocument(Image{});
  for (int16_t s : {kSelectorReadPrepare, kSelectorReadStart}) {
    if (Call(s) != 0) return result_;
  }
  document_ = Image::Blank(block_.rows, block_.columns, block_.planes);
  if (document_.pixels.empty() || block_.depth != 8) {
    state_->Violation("the module described an image the host cannot hold");
    return kHostError;
  }
  for (int16_t s : {kSelectorReadContinue, kSelectorReadFinish}) {
    if (Call(s) != 0) return result_;
  }
  return 0;
}

int16_t Host::Save(int32_t fileRef, const Image& image) {
  block_.fileRef = fileRef;
  document_ = image;
  block_.imageMode = kImageModeRgb;
  block_.rows = static_cast<int16_t>(image.rows);
  block_.columns = static_cast<int16_t>(image.columns);
  block_.planes = static_cast<int16_t>(image.planes);
  block_.depth = 8;
  for (int16_t s = kSelectorOptionsPrepare; s <= kSelectorWriteFinish; ++s) {
    if (Call(s) != 0) return result_;
  }
  return 0;
}

int16_t Host::Filter(int32_t fileRef) {
  block_.fileRef = fileRef;
  return Call(kSelectorFilterFile);
}

const char* SelectorName(int16_t selector) {
  static const char* const names[] = {
      "About",          "ReadPrepare",      "ReadStart",       "ReadContinue",
      "ReadFinish",     "OptionsPrepare",   "OptionsStart",    "OptionsContinue",
      "OptionsFinish",  "EstimatePrepare",  "EstimateStart",   "EstimateContinue",
      "EstimateFinish", "WritePrepare",     "WriteStart",      "WriteContinue",
      "WriteFinish",    "FilterFile"};
  return selector >= 0 && selector <= 17 ? names[selector] : "out of range";
}

}  // namespace plughost
