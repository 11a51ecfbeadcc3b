// Fuzz target of the project and element-group readers: the first byte picks a project (with its
// ".col" companion) or an element group inserted into a loaded project; the rest is the file,
// and whatever follows the first "\nKORVACOL\n" is the companion. Every element then goes
// through the field accessors the editors use, and the project is saved and read back once.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_files.h"
#include "core/core.h"
#include "model/model.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCompanionMark = "\nKORVACOL\n";

const std::string& base_folder() { return korva::fuzz::run_folder(); }

void write(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

void visit_elements(korva::Core& c, korva::Model& m) {
  for (int32_t i = 0; i <= m.last_index; ++i) {
    (void)korva::element_record(c, i).view();
    for (int32_t f = 1; f <= 40; ++f) (void)korva::element_field(c, i, f).view();
    korva::CameraViewport v;
    (void)korva::camera_viewport(c, i, v);
    (void)korva::aspect_option(c, i);
    (void)korva::aspect_count(c, i);
    for (int32_t n = 1; n <= 4; ++n) (void)korva::sound_option(c, i, n);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool group = data[0] & 1;
  const bool save = data[0] & 2;
  std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view col;
  if (const size_t at = file.find(kCompanionMark); at != std::string_view::npos) {
    col = file.substr(at + kCompanionMark.size());
    file = file.substr(0, at);
  }

  const std::string& dir = base_folder();
  // Private brain copies of one input must not be seen by the next.
  fs::remove_all(dir + "brains");
  fs::create_directories(dir + "brains");
  fs::create_directories(dir + "data");
  // One Core for the run (making its pools for every input would cost most of the time); each
  // input gets a fresh Model, and every string the readers borrow must be back afterwards.
  static std::unique_ptr<korva::Core> core = [&] {
    auto made = korva::core_create();
    made->ui.message_box = [](std::string_view, std::string_view, std::string_view) { return 1; };
    made->ui.status = [](std::string_view) {};
    korva::str_set(*made->base_folder, dir);
    korva::str_set(*made->data_folder, dir + "data/");
    return made;
  }();
  static const int32_t stack_free = korva::str_stack_free(*core);
  korva::Core* c = core.get();
  auto m = korva::model_create();

  const std::string project = dir + "fuzz.prj";
  const std::string element = dir + "fuzz.ele";
  std::error_code ignored;
  fs::remove(dir + "fuzz.col", ignored);
  if (group) {
    write(element, file);
    korva::load_project(*c, *m, dir + "missing.prj");  // the new-project camera
    korva::load_element_group(*c, *m, element, data[0] >> 2);
  } else {
    write(project, file);
    if (!col.empty()) write(dir + "fuzz.col", col);
    korva::load_project(*c, *m, project);
  }
  visit_elements(*c, *m);
  if (save && m->load_problem.empty()) {
    const std::string again = dir + "again.prj";
    if (korva::save_project(*c, *m, again)) {
      auto m2 = korva::model_create();
      korva::load_project(*c, *m2, again);
      visit_elements(*c, *m2);
    }
  }
  if (korva::str_stack_free(*c) != stack_free) abort();  // a string slot was not given back
  return 0;
}
