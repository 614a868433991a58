// plughost: a format-plug-in host. It fills a parameter block and the
// callback suites, drives a module's selectors through its entry point only,
// keeps the document that is opened or saved, and counts what the module
// takes and gives back, so that tests can drive a module the way different
// hosts would.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "interface/host_interface.h"
#include "plughost/host/image.h"

namespace plughost {

// How one suite is offered. version/routineCount -1 keep the host's own.
struct SuiteSettings {
  bool present = true;
  int version = -1;
  int routineCount = -1;
  int nullRoutine = 0;  // 1-based index of a routine left null; 0 for none
};

struct DescriptorEntry {
  FourCharCode key = 0;
  FourCharCode type = 0;  // "bool" for booleans
  uint8_t value = 0;
};

struct HostSettings {
  SuiteSettings buffer, resource, handle, readDescriptor, writeDescriptor;
  bool descriptorParams = true;
  int descriptorParamsVersion = 0;
  bool advanceState = true;
  int advanceFailsAtRow = -1;  // rectTop of the exchange that fails
  int16_t advanceFailCode = -1;
  int16_t closeReadResult = 0;
  bool openReadGivesNoToken = false;
  bool openWriteGivesNoToken = false;
  bool provideReadDescriptor = true;  // a descriptor handle at all
  std::vector<DescriptorEntry> readParams;
  // The nth call (from 1) of a routine fails; 0 never.
  int handleCreateFailsAt = 0;
  int handleLockFailsAt = 0;
  int bufferAllocateFailsAt = 0;
  int bufferLockFailsAt = 0;
  int16_t bufferFailCode = -108;     // what a refused buffer allocation answers
  int32_t bufferLimit = 64 << 20;    // larger buffers are refused
  int16_t imageResourcesBytes = 0;  // >0: the block carries image resources
};


// One advanceState call as the module described it.
struct Exchange {
  int16_t rectTop, rectLeft, rectBottom, rectRight, planeLow, planeHigh, columnStep;
  int32_t rowStep, planeStep;
  int16_t channelMap[3];
  int16_t planes;
  bool dataWasNull;
  int16_t answer;
};

struct Resource {
  FourCharCode type;
  std::vector<uint8_t> bytes;
  Handle handle = nullptr;  // the host's handle once a module asked for one
};

struct SelectorCall {
  int16_t selector;
  int16_t result;
};

// What the module took from the host and what it gave back.
struct Counts {
  int handlesMade = 0, handlesLive = 0, buffersMade = 0, buffersLive = 0;
  std::vector<int32_t> bufferSizes;     // every allocation asked for, granted or not
  std::vector<std::string> violations;  // misuse the host caught
};

class Host {
 public:
  explicit Host(EntryPoint entry, HostSettings settings = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // One selector with the current block and data slot. Reading selectors
  // (1-4) fill the document; writing selectors (13-16) read it.
  int16_t Call(int16_t selector);
  // Selector 0 with an AboutBlock naming `ownerWindow`; returns the result
  // as it stands afterwards (the module should leave it alone).
  int16_t CallAbout(intptr_t ownerWindow);

  // Whole operations, stopping at the first selector that answers non-zero.
  int16_t Open(int32_t fileRef);
  int16_t Save(int32_t fileRef, const Image& image);
  int16_t Filter(int32_t fileRef);

  FormatBlock& block() { return block_; }
  const FormatBlock& block() const { return block_; }
  intptr_t& dataSlot() { return dataSlot_; }
  int16_t result() const { return result_; }
  HostSettings& settings() { return settings_; }
  DescriptorParams& descriptorParams() { return descriptorParams_; }

  const Image& document() const { return document_; }
  // A new document: the image, and an empty list of resources, which
  // belong to the document they were added to.
  void SetDocument(const Image& image);
  const std::vector<Resource>& resources() const { return resources_; }
  // What the module recorded in the descriptor it handed back.
  std::vector<DescriptorEntry> RecordedParams() const;
  const std::vector<std::pair<int32_t, int32_t>>& progress() const { return progress_; }
  const std::vector<Exchange>& exchanges() const { return exchanges_; }
  const std::vector<SelectorCall>& calls() const { return calls_; }
  // The keys whose values the module took from the read descriptor.
  const std::vector<FourCharCode>& paramsRead() const { return paramsRead_; }
  const Counts& counts() const { return counts_; }

  // Observers, for a progress bar and a trace. The trace sees every
  // selector call and every callback the module makes, in order: `event`
  // names it ("selector", "handle.new", "advanceState" ...), `fields` holds
  // its arguments and answer. Handles, buffers and tokens appear as small
  // numbers in the order the host made them, so traces of two runs compare.
  std::function<void(int32_t done, int32_t total)> onProgress;
  std::function<void(const std::string& event, const nlohmann::ordered_json& fields)> onTrace;

  // Host handles, also for tests that hand the module handles of the host.
  Handle NewHostHandle(const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> HandleBytes(Handle handle) const;
  bool IsLiveHandle(Handle handle) const;

  struct State;  // the suites' side; public for the callback trampolines

 private:
  void BuildSuites();
  void PrepareDescriptor();
  void ReleaseResourceHandle(Resource& resource);
  void Enter(int16_t selector, void* block);

  EntryPoint entry_;
  HostSettings settings_;
  FormatBlock block_{};
  intptr_t dataSlot_ = 0;
  int16_t result_ = 0;
  BufferSuite bufferSuite_{};
  ResourceSuite resourceSuite_{};
  HandleSuite handleSuite_{};
  ReadDescriptorSuite readSuite_{};
  WriteDescriptorSuite writeSuite_{};
  DescriptorParams descriptorParams_{};
  Image document_;
  bool reading_ = true;
  std::vector<Resource> resources_;
  std::vector<std::pair<int32_t, int32_t>> progress_;
  std::vector<Exchange> exchanges_;
  std::vector<SelectorCall> calls_;
  std::vector<FourCharCode> paramsRead_;
  Counts counts_;
  std::unique_ptr<State> state_;
  friend struct Callbacks;
};

const char* SelectorName(int16_t selector);
// "8BIF" for the code of those four characters.
std::string CodeText(FourCharCode code);

}  // namespace plughost
