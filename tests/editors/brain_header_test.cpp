// Brain headers and element parameters: the signature, the configuration built from the
// declarations with its initial values, check_header, the help texts, and the parameter panel
// under scripted input (with its picture).
#include <filesystem>
#include <fstream>
#include <iterator>

#include "brain/brain.h"
#include "editors/editors.h"
#include "golden.h"
#include "gui_fixture.h"
#include "model/model.h"

namespace korva::test {
namespace {

constexpr std::string_view kRoller =
    "; Rolls towards a target element.\r\n"
    "; Stops when it gets there.\r\n"
    "\r\n"
    "userele target = 2\r\n"
    "; the element to roll to\r\n"
    "; (any kind)\r\n"
    "usermet speed = 1.5\r\n"
    "; how fast\r\n"
    "var rolled = 1.5mt\r\n"
    "userdeg turn = -90\r\n"
    "\r\n"
    "velocity_update(element)\r\n";

TEST(BrainHeader, SignatureFollowsTheDeclarationsOnly) {
  const uint32_t base = header_signature_of_text(kRoller);
  EXPECT_NE(base, 0u);
  std::string comments(kRoller);
  comments.replace(comments.find("; how fast"), 10, "; how quick it rolls");
  comments.replace(comments.find("speed = 1.5"), 11, "speed = 1.5 ; m/s");
  comments += "gravity(element, 0, -1, 0) ; more code\r\n";
  EXPECT_EQ(header_signature_of_text(comments), base) << "comments and code keep the signature";
  std::string upper(kRoller);
  upper.replace(upper.find("usermet"), 7, "USERMET");
  EXPECT_EQ(header_signature_of_text(upper), base) << "case does not count";
  std::string changed(kRoller);
  changed.replace(changed.find("= -90"), 5, "= -91");
  EXPECT_NE(header_signature_of_text(changed), base) << "a changed default";
  std::string renamed(kRoller);
  renamed.replace(renamed.find("rolled"), 6, "rolls");
  EXPECT_NE(header_signature_of_text(renamed), base) << "a changed name";

  // The hash by hand for one line "var a": 'a' + rotl(' ', 1) + rotl('r', 2) + rotl('a', 3)
  // + rotl('v', 4), line 0 not rotated.
  const uint32_t h = 'a' + (' ' << 1) + ('r' << 2) + ('a' << 3) + ('v' << 4);
  EXPECT_EQ(header_signature_of_text("var a\r\n"), h);
  // Line 1 is rotated by one bit.
  EXPECT_EQ(header_signature_of_text("var a\r\nvar a\r\n"), h ^ (h << 1));
  int32_t users = -1;
  header_signature_of_text(kRoller, &users);
  EXPECT_EQ(users, 3);
}

TEST(BrainHeader, ConfigurationTypesValuesAndOffsets) {
  EXPECT_EQ(configuration_from_text(kRoller), "4/1/2/1020/3/1.5/1016/7/1.5mt/1012/4/-90/1008");
  // Reordered declarations reorder the offsets.
  EXPECT_EQ(configuration_from_text("var b = 2\r\nvar a = 1\r\n"), "2/7/2/1020/7/1/1016");
  // A "user" line with an unknown unit takes no slot (the compiler refuses it too).
  EXPECT_EQ(configuration_from_text("userfoo x = 1\r\nuserint y = 2\r\n"), "1/2/2/1020");
  // "/" and "|" in a value would break the fields.
  EXPECT_EQ(configuration_from_text("var s = \"a/b|c\"\r\n"), "1/7/\"abc\"/1020");
  EXPECT_EQ(configuration_from_text(""), "0");
  // At most 129 declarations.
  std::string many;
  for (int32_t i = 0; i < 140; ++i) many += "var v" + std::to_string(i) + "\r\n";
  EXPECT_EQ(configuration_from_text(many).substr(0, 4), "129/");
}

TEST(BrainHeader, DescriptionAndHelp) {
  EXPECT_EQ(brain_description(kRoller), "Rolls towards a target element. Stops when it gets there.");
  EXPECT_EQ(parameter_help_of_text(kRoller, 0), "the element to roll to (any kind)");
  EXPECT_EQ(parameter_help_of_text(kRoller, 1), "how fast");
  EXPECT_EQ(parameter_help_of_text(kRoller, 2), "");
  EXPECT_EQ(parameter_help_of_text(kRoller, 3), "");
}

struct HeaderFixture : GuiFixture {
  std::unique_ptr<Model> m = model_create();
  std::vector<std::string> told;
  std::string brain;
  HeaderFixture() {
    str_set(*core->base_folder, dir.string() + "/");
    std::filesystem::create_directories(dir / "brains");
    brain = write("brains/roller.brn", std::vector<uint8_t>(kRoller.begin(), kRoller.end()));
    for (const char* name : {"Camera", "Ball", "Goal"})
      insert_element(*core, *m, std::string(name) + "||x|" + brain, m->last_index + 1);
    element_field_set(*core, 1, fld::kType, "1");
    core->ui.message_box = [this](std::string_view text, std::string_view, std::string_view) {
      told.emplace_back(text);
      return 1;
    };
  }
  std::string field(int32_t e, int32_t f) { return std::string(element_field(*core, e, f).view()); }
};

TEST(BrainHeader, CheckHeaderResetsTheConfigurationOnce) {
  HeaderFixture f;
  element_field_set(*f.core, 1, fld::kPanelPos1, "3");
  EXPECT_TRUE(check_header(*f.core, 1));
  EXPECT_EQ(f.field(1, fld::kParams), "4/1/2/1020/3/1.5/1016/7/1.5mt/1012/4/-90/1008");
  EXPECT_EQ(f.field(1, fld::kSignature), std::to_string(static_cast<int32_t>(header_signature_of_text(kRoller))));
  EXPECT_EQ(f.field(1, fld::kPanelPos1), "0");
  ASSERT_EQ(f.told.size(), 1u);
  EXPECT_EQ(f.told[0], "A brain's header modification has occurred, so the|Ball|element configuration (if any) "
                       "was reset.|To cofigure again the element, enter the Info panel for it");
  EXPECT_FALSE(check_header(*f.core, 1)) << "the same header again";
  // Without "user" lines nothing is shown.
  f.write("brains/plain.brn", {'v', 'a', 'r', ' ', 'x', '\r', '\n'});
  element_field_set(*f.core, 2, fld::kBrain, (f.dir / "brains/plain.brn").string());
  EXPECT_TRUE(check_header(*f.core, 2));
  EXPECT_EQ(f.told.size(), 1u);
  // A missing brain: signature 0, nothing to configure.
  element_field_set(*f.core, 0, fld::kBrain, (f.dir / "brains/none.brn").string());
  element_field_set(*f.core, 0, fld::kSignature, "5");
  EXPECT_TRUE(check_header(*f.core, 0));
  EXPECT_EQ(f.field(0, fld::kParams), "0");
  EXPECT_EQ(f.field(0, fld::kSignature), "0");
}

TEST(BrainHeader, InitialValuesByType) {
  HeaderFixture f;
  configure_from_header(*f.core, 1);
  auto brains = brain_create();
  store_brain_parameters(*f.core, 1, [&](std::string_view text) {
    int32_t v = 0;
    resolve_value_text(*f.core, *brains, text, v);
    return v;
  });
  const uint8_t* record = f.core->pool(Pool::Instances) + 1024;
  EXPECT_EQ(ir_get(record, 1020), element_handle(2));
  EXPECT_EQ(ir_get(record, 1016), 768000) << "user met 1.5";
  EXPECT_EQ(ir_get(record, 1012), 768000) << "var 1.5mt";
  EXPECT_EQ(ir_get(record, 1008), -90 * 512);
  // A value that does not convert gives the conversion's result.
  param_value_set(*f.core, 1, 3, "abc");
  store_brain_parameters(*f.core, 1, nullptr);
  EXPECT_EQ(ir_get(record, 1008), 0);
}

TEST(ParameterPanel, StepsEditsAndAppliesToTheGroup) {
  HeaderFixture f;
  for (int32_t e = 0; e < 3; ++e) {
    check_header(*f.core, e);
    element_field_set(*f.core, e, fld::kGroupKey, "7");
  }
  element_field_set(*f.core, 1, fld::kGroupFlag, "1");
  // >> twice (type 4 "turn"), edit to -45, apply to the group; Page Down wraps to "target",
  // whose button opens the element chooser on element 2: Up twice and Enter take element 0;
  // then Escape.
  f.script_input(
      "3 click 130 405\n6 key PAGEDOWN\n"
      "9 key BACKSPACE\n10 key BACKSPACE\n11 text 45\n"
      "14 click 400 405\n"
      "17 key PAGEDOWN\n20 click 300 352\n23 key UP\n24 key UP\n25 key RETURN\n"
      "30 key ESC\n");
  parameter_panel(f.gui, *f.m, 1);
  EXPECT_EQ(f.field(1, fld::kParams), "4/1/0/1020/3/1.5/1016/7/1.5mt/1012/4/-45/1008");
  EXPECT_EQ(f.field(0, fld::kParams), "4/1/2/1020/3/1.5/1016/7/1.5mt/1012/4/-45/1008");
  EXPECT_EQ(f.field(1, fld::kPanelPos1), "0");
  EXPECT_EQ(f.field(1, fld::kPanelPos2), "0");
}

TEST(ParameterPanel, ResetAsksFirst) {
  HeaderFixture f;
  check_header(*f.core, 1);
  param_value_set(*f.core, 1, 1, "9");
  f.script_input("3 click 230 405\n6 key DELETE\n9 click 230 405\n12 key RETURN\n15 key ESC\n");
  parameter_panel(f.gui, *f.m, 1);
  EXPECT_EQ(f.field(1, fld::kParams), "4/1/2/1020/3/1.5/1016/7/1.5mt/1012/4/-90/1008");
}

TEST(ParameterPanelGolden, SecondParameter) {
  HeaderFixture f;
  check_header(*f.core, 1);
  element_field_set(*f.core, 1, fld::kGroupFlag, "1");
  element_field_set(*f.core, 1, fld::kPanelPos1, "1");
  f.script_input("8 key ESC\n");
  f.gui.io.pump = [&] {
    pump(*f.core);
    feed_input_script(f.script, f.input, f.core->pump_counter, 640, 480);
    if (f.core->pump_counter == 4) golden::expect_surface(f.screen.primary, "editors", "parameter_panel_640", golden::kExact);
  };
  parameter_panel(f.gui, *f.m, 1);
}

std::string chosen_brain;
std::string chosen_folder, chosen_mask;
std::string choose_for_test(Gui&, std::string_view folder, std::string_view mask) {
  chosen_folder = folder;
  chosen_mask = mask;
  return chosen_brain;
}

TEST(SelectBrain, TakesTheChosenBrainIntoTheProject) {
  HeaderFixture f;
  check_header(*f.core, 1);
  const std::string other = f.write("brains/other.brn", {'u', 's', 'e', 'r', 'i', 'n', 't', ' ', 'n', '=', '4', '\r', '\n'});
  const ChooseFileFn saved_hook = choose_file_hook;
  choose_file_hook = choose_for_test;
  chosen_brain.clear();
  EXPECT_FALSE(select_brain(f.gui, *f.m, 1)) << "nothing chosen";
  EXPECT_EQ(f.field(1, fld::kBrain), f.brain);
  EXPECT_EQ(chosen_folder, f.dir.string() + "/brains/");
  EXPECT_EQ(chosen_mask, "*.brn");
  chosen_brain = other;
  f.script_input("3 key ESC\n");  // the parameter panel opens for the new header
  EXPECT_TRUE(select_brain(f.gui, *f.m, 1));
  choose_file_hook = saved_hook;
  const std::string taken = f.field(1, fld::kBrain);
  EXPECT_NE(taken, other) << "a private copy";
  EXPECT_NE(taken.find("/brains/"), std::string::npos);
  EXPECT_EQ(f.field(1, fld::kParams), "1/2/4/1020");
  EXPECT_EQ(f.field(1, fld::kSignature), std::to_string(static_cast<int32_t>(header_signature(*f.core, other))));
}

TEST(SaveBrainAs, AsksNameAndOverwrite) {
  HeaderFixture f;
  f.write("brains/null_.brn", {';', '\r', '\n'});
  f.write("brains/taken.brn", {'x'});
  // A new name; then an existing one, aborted; then the same, continued.
  f.script_input("3 text fast car\n14 key RETURN\n");
  EXPECT_EQ(save_brain_as(f.gui, 1), f.dir.string() + "/brains/fastcar.brn");
  auto later = [&](int64_t t) { return std::to_string(f.core->pump_counter + t); };
  f.script_input(later(3) + " text taken\n" + later(12) + " key RETURN\n" + later(16) + " key DELETE\n");
  EXPECT_EQ(save_brain_as(f.gui, 1), "");
  EXPECT_EQ(f.told.size(), 0u);
  std::ifstream kept(f.dir / "brains/taken.brn");
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), "x");
  f.script_input(later(3) + " text taken\n" + later(12) + " key RETURN\n" + later(16) + " key RETURN\n");
  EXPECT_EQ(save_brain_as(f.gui, 1), f.dir.string() + "/brains/taken.brn");
  std::ifstream copied(f.dir / "brains/taken.brn", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(copied)), {}), std::string(kRoller));
  // A missing brain is first made from null_.brn.
  element_field_set(*f.core, 2, fld::kBrain, f.dir.string() + "/brains/gone.bra");
  f.script_input(later(3) + " text fresh\n" + later(12) + " key RETURN\n");
  EXPECT_EQ(save_brain_as(f.gui, 2), f.dir.string() + "/brains/fresh.brn");
  std::ifstream fresh(f.dir / "brains/fresh.brn", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(fresh)), {}), ";\r\n");
}

}  // namespace
}  // namespace korva::test
