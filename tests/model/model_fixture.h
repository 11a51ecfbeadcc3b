// A fresh system per test: Core and Model, an installation folder of its own under /tmp as the
// base folder, and the messages and status texts the model showed.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/model.h"

namespace korva::test {

// A record with the given fields set (1-based) and every other field up to count empty.
inline std::string make_record(std::vector<std::pair<int32_t, std::string>> fields,
                               int32_t count = 40) {
  std::vector<std::string> f(count);
  for (auto& [n, v] : fields) {
    if (n > static_cast<int32_t>(f.size())) f.resize(n);
    f[n - 1] = v;
  }
  std::string out;
  for (size_t k = 0; k < f.size(); ++k) out += (k ? "|" : "") + f[k];
  return out;
}

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/korva-model-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = std::string(tmpl) + "/";
    for (const char* sub : {"brains", "data", "projects/myprj", "elements/myele", "cameras"})
      std::filesystem::create_directories(dir + sub);
    c = core_create();
    m = model_create();
    str_set(*c->base_folder, dir);
    str_set(*c->data_folder, dir + "data/");
    c->ui.message_box = [this](std::string_view text, std::string_view, std::string_view) {
      messages.emplace_back(text);
      return 1;
    };
    c->ui.status = [this](std::string_view text) { statuses.emplace_back(text); };
    stack_free = str_stack_free(*c);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void write(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
  }
  std::string read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::string record(int32_t i) { return std::string(element_record(*c, i).view()); }
  std::string field(int32_t i, int32_t n) { return std::string(element_field(*c, i, n).view()); }
  void add(std::string_view rec) { ASSERT_TRUE(insert_element(*c, *m, rec, m->last_index + 1)); }
  uint8_t* instance(int32_t i) { return c->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  int32_t word(int32_t i, int32_t offset) { return ir_get(instance(i), offset); }

  std::string dir;
  std::unique_ptr<Core> c;
  std::unique_ptr<Model> m;
  std::vector<std::string> messages;
  std::vector<std::string> statuses;
  int32_t stack_free = 0;  // StringStack slots free after set-up
};

}  // namespace korva::test
