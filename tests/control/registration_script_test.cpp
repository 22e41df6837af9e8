// The registration script in both directions, against a registry in memory.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "control/registration_script.h"

namespace dovrel {
namespace {

constexpr char kClassKey[] = "CLSID\\{4353DD09-2184-4D9A-857C-381D81148B93}";

// Keys by path (case as written), each with its values ("" the default).
class MemoryRegistry : public RegistryEditor {
 public:
  bool CreateKey(const std::string& path) override {
    for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
      keys[path.substr(0, at)];
    }
    keys[path];
    return true;
  }
  bool SetValue(const std::string& path, const std::string& name,
                const std::string& data) override {
    keys[path][name] = data;
    return true;
  }
  bool KeyExists(const std::string& path) override { return keys.count(path) != 0; }
  bool HasSubKeys(const std::string& path) override {
    auto next = keys.upper_bound(path);
    return next != keys.end() && next->first.compare(0, path.size() + 1, path + "\\") == 0;
  }
  bool DeleteTree(const std::string& path) override {
    for (auto it = keys.begin(); it != keys.end();) {
      it = it->first == path || it->first.compare(0, path.size() + 1, path + "\\") == 0
               ? keys.erase(it)
               : std::next(it);
    }
    return true;
  }
  std::string Value(const std::string& path, const std::string& name = "") {
    auto key = keys.find(path);
    if (key == keys.end()) return "<no key>";
    auto value = key->second.find(name);
    return value == key->second.end() ? "<no value>" : value->second;
  }
  std::map<std::string, std::map<std::string, std::string>> keys;
};

std::vector<ScriptKey> ModuleScript() {
  std::ifstream file(DOVREL_REGISTRATION_SCRIPT);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<ScriptKey> keys;
  EXPECT_TRUE(ParseRegistrationScript(text, {{"MODULE", "C:\\x\\Dovrel.dll"}}, &keys));
  return keys;
}

TEST(RegistrationScript, RegistersEveryKeyAndValue) {
  MemoryRegistry registry;
  ASSERT_TRUE(ApplyRegistration(ModuleScript(), registry));
  const std::string cls = kClassKey;
  const std::string categories = "CLSID\\Component Categories\\";
  const struct {
    std::string key, name, value;
  } expected[] = {
      {"Dovrel.Pelgrath.1", "", "Pelgrath Class"},
      {"Dovrel.Pelgrath.1\\CLSID", "", "{4353DD09-2184-4D9A-857C-381D81148B93}"},
      {"Dovrel.Pelgrath", "", "Pelgrath Class"},
      {"Dovrel.Pelgrath\\CurVer", "", "Dovrel.Pelgrath.1"},
      {categories + "{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "", "0"},
      {categories + "{7DD95801-9882-11CF-9FA9-00AA006C42C4}\\800", "", "Safe for scripting"},
      {categories + "{7DD95802-9882-11CF-9FA9-00AA006C42C4}\\800", "", "Safe for initializing"},
      {cls, "", "Pelgrath Class"},
      {cls + "\\ProgID", "", "Dovrel.Pelgrath.1"},
      {cls + "\\VersionIndependentProgID", "", "Dovrel.Pelgrath"},
      {cls + "\\Programmable", "", "<no value>"},
      {cls + "\\InprocServer32", "", "C:\\x\\Dovrel.dll"},
      {cls + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {cls + "\\Control", "", "<no value>"},
      {cls + "\\Insertable", "", "<no value>"},
      {cls + "\\ToolboxBitmap32", "", "C:\\x\\Dovrel.dll, 101"},
      {cls + "\\MiscStatus", "", "0"},
      {cls + "\\MiscStatus\\1", "", "132497"},
      {cls + "\\TypeLib", "", "{F35BC737-756D-4933-885F-164789D3F51B}"},
      {cls + "\\Version", "", "1.0"},
      {cls + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "", "<no value>"},
      {cls + "\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}", "", "<no value>"},
  };
  for (const auto& e : expected) EXPECT_EQ(registry.Value(e.key, e.name), e.value) << e.key;
  EXPECT_EQ(registry.keys.size(), 26u);  // the keys above and their parents, nothing else
}

TEST(RegistrationScript, ReplacesTheClassKeyAndKeepsTheSharedOnes) {
  MemoryRegistry registry;
  const auto script = ModuleScript();
  registry.CreateKey("CLSID\\{00000000-0000-0000-0000-000000000001}");  // someone else's class
  ASSERT_TRUE(ApplyRegistration(script, registry));
  registry.CreateKey(std::string(kClassKey) + "\\Stray");
  registry.CreateKey(std::string(kClassKey) + "\\MiscStatus\\Stray");
  registry.SetValue(std::string(kClassKey) + "\\Control", "stray", "1");
  ASSERT_TRUE(ApplyRegistration(script, registry));
  EXPECT_FALSE(registry.KeyExists(std::string(kClassKey) + "\\Stray"));
  EXPECT_FALSE(registry.KeyExists(std::string(kClassKey) + "\\MiscStatus\\Stray"));
  EXPECT_EQ(registry.Value(std::string(kClassKey) + "\\Control", "stray"), "<no value>");

  registry.CreateKey("Dovrel.Pelgrath\\Foreign");  // a key the script did not write stays
  ASSERT_TRUE(RemoveRegistration(script, registry));
  std::set<std::string> left;
  for (const auto& [path, values] : registry.keys) left.insert(path);
  EXPECT_EQ(left, (std::set<std::string>{"CLSID", "CLSID\\Component Categories",
                                         "CLSID\\{00000000-0000-0000-0000-000000000001}",
                                         "Dovrel.Pelgrath", "Dovrel.Pelgrath\\Foreign"}));
}

TEST(RegistrationScript, RefusesMalformedScripts) {
  const char* const bad[] = {
      "",
      "HKLM { a }",
      "HKCR { a = s 'x' ",
      "HKCR { a = 'x' }",
      "HKCR { a = s 'x }",
      "HKCR { val a = s 'x' }",  // a named value needs a key
      "HKCR { a = s '%UNKNOWN%' }",
      "HKCR { a } b",
  };
  std::vector<ScriptKey> keys;
  for (const char* text : bad) EXPECT_FALSE(ParseRegistrationScript(text, {}, &keys)) << text;
  ASSERT_TRUE(
      ParseRegistrationScript("HKCR { 'a ''b''' = s 'it''s' { val v = s '' } }", {}, &keys));
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].name, "a 'b'");
  EXPECT_EQ(keys[0].defaultValue, "it's");
  EXPECT_EQ(keys[0].values.at(0), (std::pair<std::string, std::string>("v", "")));
}

}  // namespace
}  // namespace dovrel
