// The bash completion and the man page offer exactly the commands lk24ctl's
// table knows: a command added to one place only shows up here.

#include "cli/args/CommandLine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace lk24::test {
namespace {

std::string fileText(const std::string& relativePath) {
  std::ifstream in(std::string(LK24_SOURCE_DIR) + "/" + relativePath);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> words(const std::string& text, const std::regex& separator) {
  std::set<std::string> found;
  for (std::sregex_token_iterator it(text.begin(), text.end(), separator, -1), end; it != end; ++it) {
    if (!it->str().empty()) found.insert(*it);
  }
  return found;
}

TEST(CtlCommandNames, TheCompletionAndTheManPageListTheTable) {
  const std::vector<std::string> names = cli::commandNames();
  std::set<std::string> table(names.begin(), names.end());
  ASSERT_EQ(table.size(), 9u);
  EXPECT_EQ(cli::commandName(cli::Command::Restore), "restore");

  // help is the completion's own word: lk24ctl takes it before the table.
  std::set<std::string> withHelp = table;
  withHelp.insert("help");
  const std::string completion = fileText("packaging/lk24ctl.bash-completion");
  std::smatch offered;
  ASSERT_TRUE(std::regex_search(completion, offered, std::regex("local commands=\"([^\"]*)\"")));
  EXPECT_EQ(words(offered[1].str(), std::regex(" ")), withHelp);
  std::smatch recognised;
  ASSERT_TRUE(std::regex_search(completion, recognised, std::regex("\n\\s*(ports [^)]*)\\) command=")));
  EXPECT_EQ(words(recognised[1].str(), std::regex(" \\| ")), withHelp);

  const std::string manPage = fileText("cli/lk24ctl.1");
  const auto from = manPage.find(".SH COMMANDS");
  const auto to = manPage.find(".SH OPTIONS");
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  const std::string section = manPage.substr(from, to - from);
  std::set<std::string> described;
  const std::regex entry("\\.TP\n\\.B (\\S+)");
  for (std::sregex_iterator it(section.begin(), section.end(), entry), end; it != end; ++it) {
    described.insert((*it)[1].str());
  }
  EXPECT_EQ(described, table);
}

}  // namespace
}  // namespace lk24::test
