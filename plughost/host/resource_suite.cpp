// The document resources the host offers the module: a list of typed byte
// strings, each a copy of the handle the module added.
#include "plughost/host/host_state.h"

namespace plughost {

int16_t ZENTROW_CALL Callbacks::CountResources(FourCharCode type) {
  int16_t n = 0;
  for (const Resource& r : H().resources_) n = static_cast<int16_t>(n + (r.type == type));
  S().Trace("resource.count", [&] { return Json{{"type", CodeText(type)}, {"count", n}}; });
  return n;
}
// Resources of a type are numbered from 1, in the order they were added.
std::vector<Resource>::iterator Callbacks::FindResource(FourCharCode type, int16_t index) {
  auto& list = H().resources_;
  int16_t seen = 0;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->type == type && ++seen == index) return it;
  }
  return list.end();
}
// The host keeps owning the handle it gives: one per resource, made on
// the first get and disposed of with the document.
Handle ZENTROW_CALL Callbacks::GetResource(FourCharCode type, int16_t index) {
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
void ZENTROW_CALL Callbacks::DeleteResource(FourCharCode type, int16_t index) {
  auto it = FindResource(type, index);
  const bool found = it != H().resources_.end();
  S().Trace("resource.delete", [&] {
    return Json{{"type", CodeText(type)}, {"index", index}, {"found", found}};
  });
  if (!found) return;
  H().ReleaseResourceHandle(*it);
  H().resources_.erase(it);
}
int16_t ZENTROW_CALL Callbacks::AddResource(FourCharCode type, Handle data) {
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

}  // namespace plughost
