#include "plughost/files/system.h"

namespace plughost {
namespace sys {

namespace {

FilesPlan* plan = nullptr;

}  // namespace

void SetFilesPlan(FilesPlan* p) { plan = p; }

bool SyncPlannedToFail(const std::string& what, int code, int* error) {
  if (plan == nullptr) return false;
  plan->calls.push_back("sync " + what);
  if (plan->syncs == 0 && plan->atFirstSync) plan->atFirstSync();
  if (plan->syncs++ != plan->failSyncAt) return false;
  *error = code;
  return true;
}

bool RenamePlannedToFail(const std::string& from, const std::string& to, int code, int* error) {
  if (plan == nullptr) return false;
  plan->calls.push_back("rename " + from + " " + to);
  if (plan->renames++ != plan->failRenameAt) return false;
  *error = code;
  return true;
}

bool RemovePlannedToFail(const std::string& path, int code, int* error) {
  if (plan == nullptr) return false;
  plan->calls.push_back("remove " + path);
  if (plan->removes++ != plan->failRemoveAt) return false;
  if (error != nullptr) *error = code;
  return true;
}

bool WritePlannedToFail(int32_t ref, int code, int* error) {
  if (plan == nullptr) return false;
  plan->calls.push_back("write " + std::to_string(ref));
  if (plan->writes++ != plan->failWriteAt) return false;
  *error = code;
  return true;
}

}  // namespace sys
}  // namespace plughost
