// korva-go's project commands: new, list, add, set, remove and move, each one edit of a project
// file through the front ends' shared library, saved safely before the command reports success.
#include <cstdlib>

#include "front_end.h"

namespace korva::go {

namespace {

using frontend::Project;
using frontend::Status;

bool parse_index(const std::string& s, int32_t& out) {
  if (s.empty() || s.size() > 9) return false;
  for (char ch : s)
    if (ch < '0' || ch > '9') return false;
  out = std::atoi(s.c_str());
  return true;
}

// An element by number, or by name (the first element with that name).
Status find_element(Project& p, const std::string& word, int32_t& index) {
  if (parse_index(word, index)) {
    if (index < p.count()) return {};
    return Status::failed("there is no element " + word + " (the project has " + std::to_string(p.count()) + ")");
  }
  for (const frontend::ElementRow& r : p.list()) {
    if (r.name == word) {
      index = r.index;
      return {};
    }
  }
  return Status::failed("there is no element named '" + word + "'");
}

struct Usage {
  const char* command;
  size_t least, most;  // arguments after the command, the project included
  const char* text;
};
constexpr Usage kUsages[] = {
    {"new", 1, 2, "new PROJECT [TEMPLATE]"},
    {"list", 1, 1, "list PROJECT"},
    {"add", 2, 3, "add PROJECT KIND [NAME]"},
    {"set", 4, 4, "set PROJECT ELEMENT FIELD VALUE"},
    {"remove", 2, 2, "remove PROJECT ELEMENT"},
    {"move", 3, 3, "move PROJECT ELEMENT POSITION"},
    {"duplicate", 2, 2, "duplicate PROJECT ELEMENT"},
    {"collide", 4, 4, "collide PROJECT ELEMENT ELEMENT CODE"},
    {"setting", 2, 3, "setting PROJECT NAME [VALUE]"},
    {"levels", 2, 501, "levels LIST PROJECT [PROJECT...]"},
};

}  // namespace

int32_t project_command(const std::string& install_dir, const std::vector<std::string>& words, FILE* out, FILE* err) {
  const std::string& command = words[0];
  const std::vector<std::string> a(words.begin() + 1, words.end());
  for (const Usage& u : kUsages) {
    if (command == u.command && (a.size() < u.least || a.size() > u.most)) {
      std::fprintf(err, "korva-go: usage: korva-go %s\n", u.text);
      return 2;
    }
  }
  auto fail = [&](const Status& s) {
    std::fprintf(err, "korva-go: %s\n", s.error.c_str());
    return 1;
  };
  if (command == "levels") {
    std::vector<std::string> projects;
    for (size_t k = 1; k < a.size(); ++k) projects.push_back(frontend::project_path(install_dir, a[k]));
    std::string list;
    const Status s = frontend::write_level_list(install_dir, a[0], projects, &list);
    if (!s.ok) return fail(s);
    std::fprintf(out, "korva-go: wrote %s with %zu level%s\n", list.c_str(), projects.size(),
                 projects.size() == 1 ? "" : "s");
    return 0;
  }
  const std::string path = frontend::project_path(install_dir, a[0]);
  if (command == "new") {
    const Status s = frontend::new_project(install_dir, path, a.size() > 1 ? a[1] : "empty");
    if (!s.ok) return fail(s);
    std::fprintf(out, "korva-go: made %s\n", path.c_str());
    return 0;
  }

  Project p(install_dir);
  if (Status s = p.open(path); !s.ok) return fail(s);
  Status s;
  if (command == "list") {
    std::fprintf(out, "#\tname\tkind\tvisual\tsound\tbrain\tactive\n");
    for (const frontend::ElementRow& r : p.list()) {
      std::fprintf(out, "%d\t%s\t%s\t%s\t%s\t%s\t%s\n", r.index, r.name.c_str(), r.kind.c_str(), r.visual.c_str(),
                   r.sound.c_str(), r.brain.c_str(), r.active ? "yes" : "no");
    }
    return 0;
  }
  if (command == "setting" && a.size() == 2) {
    bool known = false;
    for (const frontend::SettingInfo& info : frontend::project_settings()) known = known || a[1] == info.name;
    if (!known) return fail(p.set_setting(a[1], ""));  // says which names there are
    std::fprintf(out, "%s\n", p.setting(a[1]).c_str());
    return 0;
  }
  int32_t index = 0;
  std::string done;
  if (command == "add") {
    s = p.add(a[1], a.size() > 2 ? a[2] : "", -1, &index);
    done = "added element " + std::to_string(index);
  } else if (command == "set") {
    s = find_element(p, a[1], index);
    if (s.ok) s = p.set_field(index, a[2], a[3]);
    // A brain is the element's own copy of the file chosen: the message names the file chosen.
    const frontend::FieldInfo* f = frontend::find_field(a[2]);
    done = "element " + std::to_string(index) + ": " + a[2] + " is " +
           (f && f->kind == frontend::FieldInfo::Path ? a[3] : p.field(index, a[2]));
  } else if (command == "remove") {
    s = find_element(p, a[1], index);
    if (s.ok) s = p.remove(index);
    done = "removed element " + std::to_string(index);
  } else if (command == "move") {
    int32_t position = 0;
    s = find_element(p, a[1], index);
    if (s.ok && !parse_index(a[2], position)) s = Status::failed("the position must be a number");
    if (s.ok) s = p.move(index, position);
    done = "moved element " + std::to_string(index) + " to " + a[2];
  } else if (command == "duplicate") {
    int32_t copy = 0;
    s = find_element(p, a[1], index);
    if (s.ok) s = p.duplicate(index, &copy);
    done = "element " + std::to_string(copy) + " is a copy of element " + std::to_string(index);
  } else if (command == "collide") {
    int32_t other = 0, code = 0;
    s = find_element(p, a[1], index);
    if (s.ok) s = find_element(p, a[2], other);
    if (s.ok && !parse_index(a[3], code)) s = Status::failed("the collision code must be a number, 0 to 11");
    if (s.ok) s = p.set_collision(index, other, code);
    done = "elements " + std::to_string(index) + " and " + std::to_string(other) + " collide with code " + a[3];
  } else if (command == "setting") {
    s = p.set_setting(a[1], a[2]);
    done = "setting " + a[1] + " is " + p.setting(a[1]);
  }
  if (!s.ok) return fail(s);
  if (Status saved = p.save(); !saved.ok) return fail(saved);
  std::fprintf(out, "korva-go: %s\n", done.c_str());
  return 0;
}

}  // namespace korva::go
