// lk24ctl's JSON text against Qt's own compact JSON, which scripts have
// read from it so far: the same bytes for every kind of value and text.

#include "cli/output/Json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace lk24::test {
namespace {

using namespace cli::json;

std::string qtCompact(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

TEST(CtlJson, TextsAreEscapedAsQtEscapesThem) {
  std::string everyControl;
  for (char c = 1; c < 0x20; ++c) everyControl += c;
  const std::string texts[] = {
      "",
      "plain ASCII / with a slash",
      "quote \" and backslash \\",
      everyControl,
      std::string("nul \0 inside", 12),
      "\x7f delete",
      "Empfänger – 5 € 😀",
      "stray \xff byte",
      "cut \xc3",
      "cut three \xe2\x82 here",
      "overlong \xc0\xaf",
      "surrogate \xed\xa0\x80",
      "beyond \xf4\x90\x80\x80",
      "Latin-1 Empf\xe4nger",
  };
  for (const std::string& text : texts) {
    EXPECT_EQ(compact(Object{{"t", text}}), qtCompact(QJsonObject{{"t", QString::fromUtf8(text.data(), text.size())}}))
        << text;
  }
}

TEST(CtlJson, DocumentsKeepQtsKeyOrderAndNumberForm) {
  const Value mine = Object{
      {"schema", 1},
      {"tool", "1.0"},
      {"Zebra", true},
      {"_under", false},
      {"a", nullptr},
      {"ints", Array{0, -1, INT_MAX, INT_MIN, 4711}},
      {"empty", Array{}},
      {"nothing", Object{}},
      {"nested", Object{{"y", Array{Object{{"b", 2}, {"a", 1}}}}, {"x", orNull("")}}},
      {"exitStatus", 130},
  };
  const QJsonObject qt{
      {"schema", 1},
      {"tool", "1.0"},
      {"Zebra", true},
      {"_under", false},
      {"a", QJsonValue()},
      {"ints", QJsonArray{0, -1, INT_MAX, INT_MIN, 4711}},
      {"empty", QJsonArray{}},
      {"nothing", QJsonObject{}},
      {"nested", QJsonObject{{"y", QJsonArray{QJsonObject{{"b", 2}, {"a", 1}}}}, {"x", QJsonValue()}}},
      {"exitStatus", 130},
  };
  EXPECT_EQ(compact(mine), qtCompact(qt));
}

}  // namespace
}  // namespace lk24::test
