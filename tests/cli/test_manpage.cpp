// The man page and `norvane --help` describe the same program: every option and command of one
// appears in the other.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "cli_support.h"

using namespace nv;
using namespace nv::clitest;

namespace {

// roff writes a hyphen as "\-".
std::string ManText() {
  std::string text = ReadBinaryFile(NORVANE_MANPAGE);
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '-') continue;
    plain.push_back(text[i]);
  }
  return plain;
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern, size_t group = 0) {
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
    found.insert((*it)[group].str());
  }
  return found;
}

const std::regex kLongOption(R"(--[a-z]+(-[a-z]+)*)");

}  // namespace

TEST(ManPage, OptionsAgreeWithHelp) {
  CliRun help = Norvane({"--help"});
  ASSERT_EQ(help.exitCode, 0);
  const std::string man = ManText();
  ASSERT_FALSE(man.empty()) << NORVANE_MANPAGE;
  const std::set<std::string> helpOptions = Matches(help.out, kLongOption);
  const std::set<std::string> manOptions = Matches(man, kLongOption);
  EXPECT_GE(helpOptions.size(), 7u);
  for (const std::string& option : helpOptions) EXPECT_TRUE(manOptions.contains(option)) << option << " is not in the man page";
  for (const std::string& option : manOptions) EXPECT_TRUE(helpOptions.contains(option)) << option << " is not in --help";
}

TEST(ManPage, EveryCommandHasItsSection) {
  CliRun help = Norvane({"--help"});
  const std::set<std::string> commands = Matches(help.out, std::regex(R"(norvane ([a-z]+))"), 1);
  const std::set<std::string> sections = Matches(ManText(), std::regex(R"(\n\.SS ([a-z]+)\n)"), 1);
  EXPECT_GE(commands.size(), 4u);
  for (const std::string& command : commands) {
    EXPECT_TRUE(sections.contains(command)) << "no section for " << command;
    EXPECT_NE(ManText().find(".B norvane " + command), std::string::npos) << command << " is not in the synopsis";
  }
}
