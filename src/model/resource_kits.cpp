// Resource kits (the sub-folders of "projects/"), their descriptions, the description at the
// head of a project file, and the erase rule that resource and project browsers share.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "model/model.h"

namespace korva {
namespace {

std::string_view trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n'))
    t.remove_suffix(1);
  return t;
}

}  // namespace

std::string project_description(std::string_view path) {
  std::ifstream in{std::string(path), std::ios::binary};
  std::string line, joined;
  // Descriptions are a few lines; a file of one endless comment stops here.
  constexpr size_t kLongest = 4096;
  while (std::getline(in, line) && joined.size() < kLongest) {
    const size_t semi = line.find(';');
    if (semi == std::string::npos || !trim(std::string_view(line).substr(0, semi)).empty()) break;
    const std::string_view text = trim(std::string_view(line).substr(semi + 1));
    if (text.empty()) break;
    if (!joined.empty()) joined += ' ';
    joined += text;
  }
  return joined.substr(0, std::min(joined.size(), kLongest));
}

std::string kit_description(std::string_view kit_folder) {
  std::string folder(kit_folder);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::ifstream in{folder + "descrptn.txt", std::ios::binary};
  if (!in) return "Resource description not found!";
  std::string line;
  std::getline(in, line);
  return std::string(trim(line).substr(0, 1024));
}

std::vector<std::string> resource_kits(std::string_view base_folder) {
  std::string dir(base_folder);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  dir += "projects/";
  std::vector<std::string> kits;
  DIR* d = opendir(dir.c_str());
  if (!d) return kits;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (stat((dir + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) kits.push_back(name);
  }
  closedir(d);
  std::sort(kits.begin(), kits.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
  });
  return kits;
}

void erase_resource(std::string_view path) {
  if (path.size() < 3) return;
  const std::string p(path);
  const std::string e = p.substr(p.size() - 3);
  const std::string s = p.substr(0, p.size() - 3);
  std::string lower_e = e;
  for (char& ch : lower_e) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  // A numbered aspect ('walk_.005') takes the later aspects with it; anything else (and a
  // model, whose name may end in digits) goes itself first.
  // The extension's decimal value, as far as it starts with digits ("3ds" reads as 3).
  const int32_t number = std::atoi(e.c_str());
  int32_t first = number;
  if (lower_e == "3ds" || number == 0) {
    unlink(p.c_str());
    first = 2;
  }
  if (lower_e == "prj") {
    unlink((s + "col").c_str());
    return;
  }
  for (int32_t n = first; n <= 999; ++n) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", n);
    unlink((s + digits).c_str());
  }
}

}  // namespace korva
