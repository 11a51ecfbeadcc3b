// Fuzz target of the brain compiler: any bytes as a brain text, in the normal or the editor
// pass, stopping at the first error or going on after each. The compiler must never crash, hang or write outside its buffers, and whatever it
// produces must stay inside the CodeBuffer, the LiteralPool and the TempArea.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "brain/brain.h"
#include "core/core.h"
#include "model/model.h"

namespace {

struct FuzzSystem {
  std::unique_ptr<korva::Core> c = korva::core_create();
  std::unique_ptr<korva::BrainState> b = korva::brain_create();
  FuzzSystem() {
    c->ui.message_box = [](std::string_view, std::string_view, std::string_view) { return 1; };
    korva::str_set(*c->base_folder, "/base/");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzSystem sys;  // one system for the whole run: the harness's own state
  if (size == 0) return 0;
  korva::BrainState& b = *sys.b;
  korva::Pass pass = (data[0] & 1) ? korva::Pass::Editor : korva::Pass::Normal;
  // Start in the middle of the buffers now and then, so that their ends are reached.
  b.out = (data[0] & 2) ? korva::guest::kCodeBufferBytes - 300 : 0;
  b.literal_pos = (data[0] & 4) ? korva::guest::kLiteralPoolBytes - 40 : 0;
  b.keep_going = (data[0] & 8) != 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  uint32_t start = b.out;
  bool ok = korva::compile_brain_text(*sys.c, b, text, pass);
  if (b.out > b.code.size() - 1 && ok) std::abort();
  if (b.literal_pos > b.literal_pool.size()) std::abort();
  if (ok && (b.out <= start || b.code[b.out - 1] != 0xC3)) std::abort();
  if (b.keep_going && ok != b.errors.empty()) std::abort();
  if (ok && b.out - start < 4096) (void)korva::disassemble(b, start, b.out);
  return 0;
}
