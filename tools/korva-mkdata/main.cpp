// korva-mkdata DIR: writes a complete editing installation into DIR, or adds what is missing
// to an existing one.
#include <cstdio>
#include <cstring>
#include <string>

#include "mkdata.h"

namespace {

void usage(std::FILE* to) {
  std::fputs(
      "Usage: korva-mkdata [--force] [--font FILE] [--quiet] DIR\n"
      "\n"
      "Writes a complete Korva editing installation into DIR: the folder tree, the math\n"
      "tables, the panel skins, the fonts, the default images, sounds, models and brains, and\n"
      "a demo project (projects/demo/demo.prj). Run it again after an upgrade to add what is\n"
      "missing: files that already exist are kept.\n"
      "\n"
      "  --force      overwrite existing files whose content differs from the generated one\n"
      "  --font FILE  render the fonts from this TrueType file (default: DejaVu Sans or\n"
      "               Liberation Sans from the system)\n"
      "  --quiet      print nothing but errors\n"
      "  --help       show this text\n",
      to);
}

}  // namespace

int main(int argc, char** argv) {
  korva::mkdata::InstallOptions options;
  std::string folder;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      usage(stdout);
      return 0;
    } else if (!std::strcmp(a, "--force")) {
      options.force = true;
    } else if (!std::strcmp(a, "--quiet")) {
      quiet = true;
    } else if (!std::strcmp(a, "--font") && i + 1 < argc) {
      options.font_path = argv[++i];
    } else if (a[0] == '-' || !folder.empty()) {
      std::fprintf(stderr, "korva-mkdata: unexpected argument '%s'\n", a);
      usage(stderr);
      return 2;
    } else {
      folder = a;
    }
  }
  if (folder.empty()) {
    usage(stderr);
    return 2;
  }
  if (!quiet) {
    options.report = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
  }
  const korva::mkdata::InstallResult r = korva::mkdata::install(folder, options);
  if (!r.error.empty()) {
    std::fprintf(stderr, "korva-mkdata: %s\n", r.error.c_str());
    return 1;
  }
  if (!quiet) {
    std::printf("%s: %d files written, %d kept%s\n", folder.c_str(), r.written, r.kept,
                r.failed ? ", some files could not be written" : "");
  }
  return r.failed ? 1 : 0;
}
