// Fuzz target of the installation's text files: the first byte picks "data/curpaths.ini", the
// editor state "korva.ini", "config.ini", "runmode.ini" or the ini layer alone; the rest is the
// file. The ini case also sets a key and checks that it reads back, and parses the text as a structure value.
#include <stdlib.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_files.h"
#include "core/core.h"
#include "core/ini.h"
#include "core/paths.h"
#include "core/settings.h"
#include "model/model.h"

namespace {

namespace fs = std::filesystem;

const std::string& base_folder() { return korva::fuzz::run_folder(); }

void write(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

// A name of letters and digits made from the input, so that the read-back check is fair.
std::string plain_name(std::string_view from, size_t length) {
  std::string name = "k";
  for (size_t i = 0; i < from.size() && i < length; ++i)
    if (std::isalnum(static_cast<unsigned char>(from[i]))) name += from[i];
  return name;
}

void ini_layer(const std::string& path, std::string_view text) {
  korva::IniDoc doc;
  korva::ini_load(doc, path);
  const std::string section = plain_name(text, 6);
  const std::string key = plain_name(text.substr(text.size() / 2), 6);
  std::string value;
  (void)korva::ini_get(doc, section, key, value);
  uint8_t raw[16];
  (void)korva::ini_get_struct(doc, section, key, raw, sizeof raw);
  (void)korva::ini_struct_parse(text, raw, sizeof raw);
  (void)korva::ini_struct_parse(text, raw, 4);
  korva::ini_set(doc, section, key, "fuzz value");
  if (!korva::ini_get(doc, section, key, value) || value != "fuzz value") abort();
  korva::ini_set_struct(doc, section, "s" + key, raw, 4);
  uint8_t back[4];
  if (!korva::ini_get_struct(doc, section, "s" + key, back, 4)) abort();
  (void)korva::ini_text(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string& dir = base_folder();
  switch (data[0] % 5) {
    case 0:
    case 1: {
      // One Core for the run; every string slot the readers borrow must be back afterwards.
      static std::unique_ptr<korva::Core> core = [&] {
        auto made = korva::core_create();
        korva::str_set(*made->base_folder, dir);
        korva::str_set(*made->data_folder, dir + "data/");
        made->ui.message_box = [](std::string_view, std::string_view, std::string_view) { return 1; };
        return made;
      }();
      static const int32_t stack_free = korva::str_stack_free(*core);
      korva::Core* c = core.get();
      auto m = korva::model_create();
      const bool paths = data[0] % 5 == 0;
      std::error_code ignored;
      fs::remove(dir + (paths ? "data/korva.ini" : "data/curpaths.ini"), ignored);
      write(dir + (paths ? "data/curpaths.ini" : "data/korva.ini"), text);
      if (paths)
        korva::read_paths(*c, *m);
      else
        korva::read_editor_state(*c, *m);
      if (korva::str_stack_free(*c) != stack_free) abort();
      break;
    }
    case 2: {
      write(dir + "config.ini", text);
      korva::Settings s;
      korva::settings_read_file(s, dir + "config.ini");
      break;
    }
    case 3: {
      const korva::RunMode rm = korva::parse_runmode(text);
      if (rm.project.size() > size_t(korva::kStrCapacity)) abort();
      break;
    }
    default:
      write(dir + "layer.ini", text);
      ini_layer(dir + "layer.ini", text);
      break;
  }
  return 0;
}
