// Fuzz target of received network messages: the first byte picks the receiving project's
// element flags, the rest is one message (or, with the top bit of the first byte, a run of
// messages cut at zero bytes), taken as the worker thread takes it; the text queue is then
// drained through the mask rule.
#include <cstdint>
#include <string>

#include "devices/net.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static auto net = korva::net_create();
  korva::NetTables& t = net->tables;
  t.running = true;
  t.game_id = 0x01020304u;
  t.element_count = 1 + data[0] % 8;
  for (int32_t i = 0; i < 8; ++i) t.net_flags[i] = (data[0] * 0x9E37 >> i) & 0x7FF;
  t.shared_global = {1, 2, 3};
  t.shared_received.assign(3, 0);
  t.shared_pending.assign(3, 0);
  const bool many = data[0] & 0x80;
  ++data;
  --size;
  if (!many) {
    korva::net_receive(t, data, size);
  } else {
    size_t at = 0;
    while (at < size) {
      size_t end = at;
      while (end < size && data[end] != 0xFF) ++end;
      korva::net_receive(t, data + at, end - at);
      at = end + 1;
    }
  }
  std::string text;
  for (int32_t mask : {1, -1, 0x40})
    while (korva::net_text_take(t, mask, text)) {
    }
  if (t.text_end < 0 || t.text_end > korva::kTextQueueBytes) __builtin_trap();
  return 0;
}
