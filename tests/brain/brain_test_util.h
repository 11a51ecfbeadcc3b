// Helpers of the brain tests: a fresh system that compiles brain texts the way brainc does
// (element 0 of a one-element project, code at the start of the CodeBuffer).
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "core/core.h"
#include "model/model.h"

namespace korva::test {

struct BrainSystem {
  std::unique_ptr<Core> c = core_create();
  std::unique_ptr<Model> m = model_create();
  std::unique_ptr<BrainState> b = brain_create();
  std::vector<std::string> messages;  // what the message box showed
  std::filesystem::path dir;

  BrainSystem() {
    c->ui.message_box = [this](std::string_view text, std::string_view, std::string_view) {
      messages.emplace_back(text);
      return 1;
    };
    static int counter = 0;
    dir = std::filesystem::temp_directory_path() /
          ("korva_brain_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
  }
  ~BrainSystem() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  std::string write(const std::string& name, std::string_view text) {
    std::string path = (dir / name).string();
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
  }

  // Element i named name with the brain file at path.
  void element(int32_t i, std::string_view name, std::string_view path) {
    str_set(element_record(*c, i), std::string(name) + "|||" + std::string(path));
    if (m->last_index < i) m->last_index = i;
  }

  // Compiles text as the only brain of the project; true when it compiled.
  bool compile(std::string_view text, Pass pass = Pass::Normal) {
    element(0, "brain", write("brain.brn", text));
    m->last_index = 0;
    messages.clear();
    compile_project_brains(*c, *m, *b, pass);
    return b->brain_error == 0;
  }

  std::string hex(uint32_t from, uint32_t to) const {
    std::string s;
    char byte[4];
    for (uint32_t i = from; i < to; ++i) {
      std::snprintf(byte, sizeof byte, i == from ? "%02X" : " %02X", b->code[i]);
      s += byte;
    }
    return s;
  }
  std::string code_hex() const { return hex(b->brain_start, b->out); }
  // The bytes that line n of the brain produced.
  std::string line_hex(int32_t n) const { return hex(b->line_code[n], b->line_code[n + 1]); }

  uint32_t entry(int32_t i) const {
    uint32_t v;
    std::memcpy(&v, c->pool(Pool::Instances) + i * 1024 + 84, 4);
    return v;
  }
};

}  // namespace korva::test
