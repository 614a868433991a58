// The scripting descriptors: the read descriptor the host fills from
// --param, and the one the module records at a finish.
#include "plughost/host/host_state.h"

namespace plughost {

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

ReadToken ZENTROW_CALL Callbacks::OpenRead(Handle descriptor, const FourCharCode* keys) {
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
int16_t ZENTROW_CALL Callbacks::CloseRead(ReadToken token) {
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
uint8_t ZENTROW_CALL Callbacks::GetKey(ReadToken token, FourCharCode* key, FourCharCode* type,
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
int16_t ZENTROW_CALL Callbacks::GetBoolean(ReadToken token, uint8_t* value) {
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
WriteToken ZENTROW_CALL Callbacks::OpenWrite() {
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
int16_t ZENTROW_CALL Callbacks::CloseWrite(WriteToken token, Handle* descriptor) {
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
int16_t ZENTROW_CALL Callbacks::PutBoolean(WriteToken token, FourCharCode key, uint8_t value) {
  auto* t = reinterpret_cast<WriteTokenState*>(token);
  const bool known = S().writeTokens.count(t) != 0;
  if (known) t->entries.push_back(DescriptorEntry{key, MakeFourCharCode("bool"), value});
  S().Trace("descriptor.putBoolean", [&] {
    return Json{{"key", CodeText(key)}, {"value", value != 0}, {"answer", known ? 0 : -1}};
  });
  return known ? 0 : -1;
}
void ZENTROW_CALL Callbacks::Unused() {
  S().Trace("unused", [] { return Json::object(); });
}


}  // namespace plughost
