// The installer's registry rows from a registration script and an IDL.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "package/installer_registry.h"

namespace dovrel::installer {
namespace {

using Kind = Row::Kind;

std::vector<std::tuple<Kind, std::string, std::string, std::string>> Tuples(
    const std::vector<Row>& rows) {
  std::vector<std::tuple<Kind, std::string, std::string, std::string>> out;
  out.reserve(rows.size());
  for (const Row& r : rows) out.emplace_back(r.kind, r.key, r.name, r.value);
  return out;
}

TEST(InstallerRows, KeptReplacedAndPlainKeys) {
  std::vector<ScriptKey> keys;
  ASSERT_TRUE(ParseRegistrationScript(
      "HKCR { P = s '%MODULE%, 1' { E } NoRemove K { NoRemove L { C = s '[0]' } }"
      " ForceRemove R = s '#x' { ForceRemove F  S { val V = s 'v' } } }",
      {{"MODULE", kModuleMarker}}, &keys));
  const Rows rows = ScriptRows(keys, "[#F]");
  EXPECT_EQ(Tuples(rows.module),
            (decltype(Tuples(rows.module)){
                {Kind::kValue, "P", "", "[#F], 1"},
                {Kind::kCreateAndRemoveKey, "P\\E", "", ""},  // an empty key
                {Kind::kValue, "K\\L\\C", "", "[\\[]0[\\]]"},
                {Kind::kValue, "R", "", "##x"},
                {Kind::kCreateAndRemoveKey, "R", "", ""},  // deleted whole at uninstall
                {Kind::kCreateAndRemoveKey, "R\\F", "", ""},
                {Kind::kValue, "R\\S", "V", "v"},
            }));
  // The innermost kept key holds a value that keeps both.
  EXPECT_EQ(Tuples(rows.kept), (decltype(Tuples(rows.kept)){
                                   {Kind::kValue, "K\\L", kKeptAnchorName, kKeptAnchorValue},
                                   {Kind::kCreateKey, "K", "", ""},
                                   {Kind::kCreateKey, "K\\L", "", ""},
                               }));
  EXPECT_EQ(rows.replaced, std::vector<std::string>{"R"});
}

TEST(InstallerRows, TypeLibraryAsRegisterTypeLibWritesIt) {
  TypeLibrary library;
  EXPECT_FALSE(ReadTypeLibrary("[uuid(F35BC737-756D-4933-885F-164789D3F51B)] library L {}",
                               &library));  // no version
  ASSERT_TRUE(ReadTypeLibrary(
      "[object, uuid(96c6b417-0482-410f-83d2-ec8c07783e14), dual] interface IA : IDispatch {};\n"
      "[object, uuid(00000000-0000-0000-0000-00000000000B)] interface IB : IUnknown {};\n"
      "[uuid(F35BC737-756D-4933-885F-164789D3F51B), version(1.10), hidden, lcid(0x412)]\n"
      "library L { [uuid(00000000-0000-0000-0000-00000000000C)] dispinterface DC {};"
      " coclass K { [default] interface IA; }; };",
      &library));
  EXPECT_EQ(library.description, "L");  // no help string
  EXPECT_EQ(library.flags, 12u);
  const std::vector<Row> rows = TypeLibraryRows(library, "[#F]", "[D]", true);
  const std::string lib = "TypeLib\\{F35BC737-756D-4933-885F-164789D3F51B}\\1.a";
  const std::string a = "Interface\\{96C6B417-0482-410F-83D2-EC8C07783E14}";
  const std::string c = "Interface\\{00000000-0000-0000-0000-00000000000C}";
  const std::string automation = "{00020424-0000-0000-C000-000000000046}";
  const std::string dispatch = "{00020420-0000-0000-C000-000000000046}";
  EXPECT_EQ(Tuples(rows), (decltype(Tuples(rows)){
                              {Kind::kValue, lib, "", "L"},
                              {Kind::kValue, lib + "\\412\\win64", "", "[#F]"},
                              {Kind::kValue, lib + "\\FLAGS", "", "12"},
                              {Kind::kValue, lib + "\\HELPDIR", "", "[D]"},
                              {Kind::kValue, a, "", "IA"},
                              {Kind::kValue, a + "\\ProxyStubClsid", "", automation},
                              {Kind::kValue, a + "\\ProxyStubClsid32", "", automation},
                              {Kind::kValue, a + "\\TypeLib", "", library.libid},
                              {Kind::kValue, a + "\\TypeLib", "Version", "1.a"},
                              {Kind::kValue, c, "", "DC"},
                              {Kind::kValue, c + "\\ProxyStubClsid", "", dispatch},
                              {Kind::kValue, c + "\\ProxyStubClsid32", "", dispatch},
                              {Kind::kValue, c + "\\TypeLib", "", library.libid},
                              {Kind::kValue, c + "\\TypeLib", "Version", "1.a"},
                          }));
}

// The per-user package's rows name the user's classes outright, in both tables.
TEST(InstallerRows, UserClassesRoot) {
  const std::vector<Row> rows = {{Kind::kValue, "CLSID\\{C}", "", "a&b"}};
  EXPECT_EQ(WixElements(rows, "R", true, kUserClasses),
            "<RegistryValue Id=\"R1\" Root=\"HKCU\" Key=\"Software\\Classes\\CLSID\\{C}\" "
            "Type=\"string\" Value=\"a&amp;b\" KeyPath=\"yes\"/>\n");
  EXPECT_NE(WixElements(rows, "R", true).find("Root=\"HKCR\" Key=\"CLSID\\{C}\""),
            std::string::npos);
  const std::string table = RemoveRegistryTable({{"M", {"CLSID\\{C}"}}}, kUserClasses);
  EXPECT_NE(table.find("\r\nRemoveM_1\t1\tSoftware\\Classes\\CLSID\\{C}\t-\tM\r\n"),
            std::string::npos)
      << table;
}

}  // namespace
}  // namespace dovrel::installer
