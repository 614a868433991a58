// Which of the host's handles the module made, and which it still holds.
// The ledger wraps the create and dispose routines of a plughost::Host's
// handle suite, so that handles the host made itself (descriptors, image
// resources) are told apart from the module's own. After an operation the
// only module-made handle allowed to live on is the one in the data slot.
#pragma once

#include <set>

#include "interface/host_interface.h"
#include "plughost/host/host.h"

namespace ledger {

class HandleLedger {
 public:
  // Wraps the routines of `host`'s handle suite; the host must outlive it.
  explicit HandleLedger(plughost::Host& host) : host_(host) {
    suite_ = host.block().handleSuite;
    active_ = this;
    if (suite_ == nullptr) return;
    original_ = *suite_;
    if (suite_->create != nullptr) suite_->create = Create;
    if (suite_->dispose != nullptr) suite_->dispose = Dispose;
  }
  ~HandleLedger() {
    if (suite_ != nullptr) *suite_ = original_;
    if (active_ == this) active_ = nullptr;
  }
  HandleLedger(const HandleLedger&) = delete;
  HandleLedger& operator=(const HandleLedger&) = delete;

  // Module-made host handles still live, the data slot's apart.
  int Leaked() const {
    const Handle slot = reinterpret_cast<Handle>(host_.dataSlot());
    int leaked = 0;
    for (Handle h : made_) leaked += h != slot && host_.IsLiveHandle(h);
    return leaked;
  }
  // Gives the data slot's handle back the way a host does once an operation
  // is over: to its own suite when it made it. Empties the slot. The host's
  // routines act for the host that called its module last, so this host
  // must be that one.
  void DisposeSlotHandle() {
    const Handle slot = reinterpret_cast<Handle>(host_.dataSlot());
    if (slot != nullptr && host_.IsLiveHandle(slot) && original_.dispose != nullptr) {
      original_.dispose(slot);
      made_.erase(slot);
      host_.dataSlot() = 0;
    }
  }
  // Calls of the host's create routine by the module, failed ones included.
  int Calls() const { return calls_; }

 private:
  static Handle ZENTROW_CALL Create(int32_t size) {
    ++active_->calls_;
    Handle h = active_->original_.create(size);
    if (h != nullptr) active_->made_.insert(h);
    return h;
  }
  static void ZENTROW_CALL Dispose(Handle h) {
    active_->made_.erase(h);  // the host may hand the address out again
    active_->original_.dispose(h);
  }

  static inline HandleLedger* active_ = nullptr;
  plughost::Host& host_;
  HandleSuite* suite_ = nullptr;
  HandleSuite original_{};
  std::set<Handle> made_;
  int calls_ = 0;
};

}  // namespace ledger
