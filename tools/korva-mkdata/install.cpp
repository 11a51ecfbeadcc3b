// Writing an installation: folders first, then every generated file that is missing. A file
// that exists is the user's and is left alone unless forced; every write is atomic.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/files.h"
#include "mkdata.h"

namespace korva::mkdata {
namespace {

namespace fs = std::filesystem;

bool same_content(const fs::path& path, const Bytes& data) {
  std::error_code ec;
  if (fs::file_size(path, ec) != data.size() || ec) return false;
  std::ifstream in(path, std::ios::binary);
  const Bytes old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return old == data;
}

}  // namespace

InstallResult install(const std::string& folder, const InstallOptions& options) {
  InstallResult result;
  auto report = [&options](const std::string& line) {
    if (options.report) options.report(line);
  };
  const fs::path root(folder);
  std::error_code ec;
  int32_t made = 0;
  for (const std::string& sub : installation_folders()) {
    if (fs::is_directory(root / sub, ec)) continue;
    if (!fs::create_directories(root / sub, ec) && !fs::is_directory(root / sub)) {
      result.error = "cannot create the folder " + (root / sub).string();
      return result;
    }
    ++made;
  }
  report("folders: " + std::to_string(made) + " created, " +
         std::to_string(installation_folders().size() - made) + " already there");

  const std::vector<FileGroup> groups = installation_files(options.font_path, result.error);
  if (groups.empty()) return result;
  for (const FileGroup& group : groups) {
    int32_t written = 0, kept = 0, failed = 0;
    for (const FileEntry& f : group.files) {
      const fs::path path = root / f.path;
      if (fs::exists(path, ec) && (!options.force || same_content(path, f.data))) {
        ++kept;
        continue;
      }
      if (file_write_safely(path.string(), f.data.data(), static_cast<int64_t>(f.data.size()))) {
        ++written;
      } else {
        ++failed;
        report("  cannot write " + path.string());
      }
    }
    std::string line = group.name + ": " + std::to_string(written) + " written";
    if (kept) line += ", " + std::to_string(kept) + " kept";
    if (failed) line += ", " + std::to_string(failed) + " failed";
    report(line);
    result.written += written;
    result.kept += kept;
    result.failed += failed;
  }
  return result;
}

}  // namespace korva::mkdata
