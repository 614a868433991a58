// The selector driver: a host's block, suites and data slot, the selectors
// called one at a time, and whole operations (open, save, filter).
#include "plughost/host/host.h"

#include <cstring>

#include "interface/result_codes.h"
#include "plughost/host/host_state.h"

namespace plughost {

namespace {
Host::State* current = nullptr;
}

Host::State& Callbacks::S() { return *current; }
void SetCurrent(Host::State* state) { current = state; }
Host::State* Current() { return current; }

std::string CodeText(FourCharCode code) { return FourCharCodeChars(code).text; }

Host::Host(EntryPoint entry, HostSettings settings)
    : entry_(entry), settings_(std::move(settings)), state_(new State(this)) {
  BuildSuites();
}

Host::~Host() {
  for (HostHandle* h : state_->handles) delete h;
  for (HostBuffer* b : state_->buffers) delete b;
  for (ReadTokenState* t : state_->readTokens) delete t;
  for (WriteTokenState* t : state_->writeTokens) delete t;
  if (Current() == state_.get()) SetCurrent(nullptr);
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
  Enter(selector, &block_);
  return result_;
}

// One call into the module, recorded and traced.
void Host::Enter(int16_t selector, void* block) {
  SetCurrent(state_.get());
  entry_(selector, block, &dataSlot_, &result_);
  calls_.push_back(SelectorCall{selector, result_});
  state_->Trace("selector", [&] {
    return Json{{"selector", selector},
                {"name", SelectorName(selector)},
                {"result", result_},
                {"meaning", ResultMeaning(result_)}};
  });
}

int16_t Host::CallAbout(intptr_t ownerWindow) {
  PlatformData platform{ownerWindow};
  AboutBlock about{&platform};
  Enter(kSelectorAbout, &about);
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