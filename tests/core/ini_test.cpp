// Private-profile files and the checksummed structure values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/ini.h"

namespace korva {
namespace {

std::string struct_text(int32_t v) { return ini_struct_text(&v, 4); }

TEST(Ini, StructureTextIsHexBytesThenChecksum) {
  EXPECT_EQ(struct_text(3), "0300000003");
  EXPECT_EQ(struct_text(63), "3F0000003F");
  EXPECT_EQ(struct_text(0), "0000000000");
  EXPECT_EQ(struct_text(-1), "FFFFFFFFFC");          // 4 * 255 = 1020, modulo 256 = 252
  EXPECT_EQ(struct_text(0x01020304), "040302010A");  // little-endian bytes

  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"3F0000003F", true, 63},
      {"3f0000003f", true, 63},   // lower-case digits read too
      {"3F0000003E", false, 0},   // checksum off by one
      {"3F00000003F", false, 0},  // too long
      {"3F000000", false, 0},     // no checksum
      {"", false, 0},
      {"3G0000003F", false, 0},
      {" 3F0000003F", false, 0},
  };
  for (const auto& k : cases) {
    int32_t v = 12345;
    EXPECT_EQ(ini_struct_parse(k.text, &v, 4), k.ok) << k.text;
    EXPECT_EQ(v, k.ok ? k.value : 12345) << k.text;  // a refused value leaves the target alone
  }
}

TEST(Ini, GetAndSetKeepTheRestOfTheFile) {
  IniDoc doc;
  doc.lines = {"; a comment", "[Alpha]", "  Key = some value  ", "other=\"quoted\"",
               "", "[beta]", "x=1", "garbage line without equals"};
  std::string v;
  ASSERT_TRUE(ini_get(doc, "alpha", "KEY", v));
  EXPECT_EQ(v, "some value");
  ASSERT_TRUE(ini_get(doc, "Alpha", "other", v));
  EXPECT_EQ(v, "quoted");
  EXPECT_FALSE(ini_get(doc, "Alpha", "x", v));
  EXPECT_FALSE(ini_get(doc, "Gamma", "x", v));

  ini_set(doc, "ALPHA", "key", "new");   // replaced in place, the key's spelling kept
  ini_set(doc, "Alpha", "added", "1");   // after the section's last entry
  ini_set(doc, "Gamma", "g", "2");       // a new section at the end
  EXPECT_EQ(ini_text(doc),
            "; a comment\r\n[Alpha]\r\nKey=new\r\nother=\"quoted\"\r\nadded=1\r\n\r\n[beta]\r\n"
            "x=1\r\ngarbage line without equals\r\n\r\n[Gamma]\r\ng=2\r\n");
}

TEST(Ini, LoadsLfAndCrLfFilesAndSavesCrLf) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/korva-ini-XXXXXX";
  fs::path dir = mkdtemp(tmpl);
  const std::string path = (dir / "a.ini").string();
  std::ofstream(path, std::ios::binary) << "[S]\nk=1\r\nj=2";
  IniDoc doc;
  ASSERT_TRUE(ini_load(doc, path));
  std::string v;
  ASSERT_TRUE(ini_get(doc, "S", "j", v));
  EXPECT_EQ(v, "2");
  ini_set(doc, "S", "k", "3");
  ASSERT_TRUE(ini_save(doc, path));
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, "[S]\r\nk=3\r\nj=2\r\n");
  EXPECT_FALSE(ini_load(doc, (dir / "missing.ini").string()));
  EXPECT_TRUE(doc.lines.empty());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva
