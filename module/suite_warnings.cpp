// The suite tests turned into a warning for the user, for the start selectors.
#include "module/host_services.h"
#include "text/alerts.h"
#include "text/pstring.h"

namespace {

// "This plug-in requires ... ^1 or later" with the version as text, or the
// incompatible-host message when the suite is newer than we support.
void WarnUnusable(HINSTANCE instance, double version, bool tooNew) {
  PString versionText = {};
  DecimalToPString(versionText, version, 1);
  const int16_t message = tooNew ? kStringIncompatibleHost : kStringRequiresVersion;
  ShowAlert(instance, nullptr, 1, message, versionText, nullptr);
}

}  // namespace

bool WarnBufferSuite(const BufferSuite* suite, HINSTANCE instance) {
  uint8_t tooNew = 0;
  if (BufferSuiteUsable(suite, &tooNew)) return true;
  WarnUnusable(instance, 2.5, tooNew != 0);
  return false;
}

bool WarnHandleSuite(const HandleSuite* suite, HINSTANCE instance) {
  uint8_t tooNew = 0;
  if (HandleSuiteUsable(suite, &tooNew)) return true;
  WarnUnusable(instance, 3, tooNew != 0);
  return false;
}

bool WarnAdvanceState(AdvanceStateRoutine routine, HINSTANCE instance) {
  if (AdvanceStateUsable(routine)) return true;
  WarnUnusable(instance, 3, false);
  return false;
}

bool HostSuitesUsable(const FormatBlock* block, HINSTANCE instance) {
  return WarnBufferSuite(block->bufferSuite, instance) &&
         WarnAdvanceState(block->advanceState, instance) &&
         WarnHandleSuite(block->handleSuite, instance);
}
