#include "package/installer_registry.h"

#include <cstddef>
#include <cstdio>
#include <regex>

#include "base/ascii.h"

namespace dovrel::installer {
namespace {

using Lifetime = ScriptKey::Removal;

std::string Child(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "\\" + name;
}

bool HasKeptBelow(const ScriptKey& key) {  // NOLINT(misc-no-recursion): the script's nesting
  for (const ScriptKey& sub : key.subKeys) {
    if (sub.removal == Lifetime::kKept || HasKeptBelow(sub)) return true;
  }
  return false;
}

// The script's text as formatted text, the module marker as `module`.
std::string ScriptText(const std::string& text, const std::string& module) {
  std::string out = FormattedText(text);
  for (std::size_t at = out.find(kModuleMarker); at != std::string::npos;
       at = out.find(kModuleMarker, at + module.size())) {
    out.replace(at, 1, module);
  }
  return out;
}

// NOLINTNEXTLINE(misc-no-recursion): one level per level of the script's nesting
void AddKeys(const std::vector<ScriptKey>& keys, const std::string& parent, bool inReplaced,
             const std::string& module, Rows* rows, std::vector<Row>* anchors) {
  for (const ScriptKey& key : keys) {
    const std::string path = Child(parent, ScriptText(key.name, module));
    const bool kept = key.removal == Lifetime::kKept;
    const bool replaced = key.removal == Lifetime::kReplaced;
    std::vector<Row>& target = kept ? rows->kept : rows->module;
    if (replaced && !inReplaced) rows->replaced.push_back(path);
    if (key.hasDefault) {
      target.push_back({Row::Kind::kValue, path, "", ScriptText(key.defaultValue, module)});
    }
    for (const auto& [name, data] : key.values) {
      target.push_back(
          {Row::Kind::kValue, path, ScriptText(name, module), ScriptText(data, module)});
    }
    const bool holdsNothing = !key.hasDefault && key.values.empty();
    if (kept && holdsNothing) {
      target.push_back({Row::Kind::kCreateKey, path, "", ""});
    } else if (replaced || (!kept && holdsNothing && key.subKeys.empty())) {
      // Deleted whole at uninstall, as the script does; or an empty key.
      target.push_back({Row::Kind::kCreateAndRemoveKey, path, "", ""});
    }
    if (kept && !HasKeptBelow(key)) {
      anchors->push_back({Row::Kind::kValue, path, kKeptAnchorName, kKeptAnchorValue});
    }
    AddKeys(key.subKeys, path, inReplaced || replaced, module, rows, anchors);
  }
}

std::string Attribute(const std::string& attributes, const char* pattern) {
  std::smatch match;
  return std::regex_search(attributes, match, std::regex(pattern)) ? match[1].str() : std::string();
}

bool HasWord(const std::string& attributes, const char* word) {
  return std::regex_search(attributes, std::regex(std::string("(^|[\\s,])") + word + "($|[\\s,])"));
}

std::string XmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

Rows ScriptRows(const std::vector<ScriptKey>& keys, const std::string& module) {
  Rows rows;
  std::vector<Row> anchors;
  AddKeys(keys, "", false, module, &rows, &anchors);
  rows.kept.insert(rows.kept.begin(), anchors.begin(), anchors.end());
  return rows;
}

bool ReadTypeLibrary(const std::string& idl, TypeLibrary* library) {
  *library = TypeLibrary();
  // Each attribute block that heads an interface, a dispinterface or the library.
  const std::regex declaration(R"(\[([^\[\]]*)\]\s*(interface|dispinterface|library)\s+(\w+))");
  bool found = false;
  for (std::sregex_iterator it(idl.begin(), idl.end(), declaration), end; it != end; ++it) {
    const std::string attributes = (*it)[1].str();
    const std::string kind = (*it)[2].str();
    const std::string uuid =
        UpperAsciiText(Attribute(attributes, R"(uuid\(\s*([0-9A-Fa-f-]{36})\s*\))"));
    if (uuid.empty()) continue;  // a coclass's "[default] interface" names one, declares none
    if (kind == "library") {
      const std::string help = Attribute(attributes, R"(helpstring\(\s*\"([^\"]*)\"\s*\))");
      std::smatch version;
      if (found ||
          !std::regex_search(attributes, version, std::regex(R"(version\((\d+)\.(\d+)\))")))
        return false;
      char text[32];
      std::snprintf(text, sizeof text, "%x.%x", static_cast<unsigned>(std::stoul(version[1].str())),
                    static_cast<unsigned>(std::stoul(version[2].str())));
      const std::string lcid = Attribute(attributes, R"(lcid\(\s*(\w+)\s*\))");
      library->libid = "{" + uuid + "}";
      library->version = text;
      library->description = help.empty() ? (*it)[3].str() : help;
      library->lcid = lcid.empty() ? 0 : static_cast<unsigned>(std::stoul(lcid, nullptr, 0));
      // LIBFLAG_FRESTRICTED, _FCONTROL, _FHIDDEN; _FHASDISKIMAGE, which the
      // loader reports for every library read from a file.
      library->flags = 8u | (HasWord(attributes, "restricted") ? 1u : 0u) |
                       (HasWord(attributes, "control") ? 2u : 0u) |
                       (HasWord(attributes, "hidden") ? 4u : 0u);
      found = true;
    } else if (kind == "dispinterface" || HasWord(attributes, "dual") ||
               HasWord(attributes, "oleautomation")) {
      library->interfaces.push_back({"{" + uuid + "}", (*it)[3].str(),
                                     kind == "dispinterface" && !HasWord(attributes, "dual")});
    }
  }
  return found;
}

std::vector<Row> TypeLibraryRows(const TypeLibrary& library, const std::string& modulePath,
                                 const std::string& folder, bool win64) {
  const std::string key = "TypeLib\\" + library.libid + "\\" + library.version;
  char lcid[16];
  std::snprintf(lcid, sizeof lcid, "%x", library.lcid);
  std::vector<Row> rows = {
      {Row::Kind::kValue, key, "", FormattedText(library.description)},
      {Row::Kind::kValue, key + "\\" + lcid + (win64 ? "\\win64" : "\\win32"), "", modulePath},
      {Row::Kind::kValue, key + "\\FLAGS", "", std::to_string(library.flags)},
      {Row::Kind::kValue, key + "\\HELPDIR", "", folder},
  };
  for (const Interface& i : library.interfaces) {
    const std::string path = "Interface\\" + i.iid;
    // The standard marshallers of dispatch and of OLE automation interfaces.
    const std::string proxy = i.dispatchOnly ? "{00020420-0000-0000-C000-000000000046}"
                                             : "{00020424-0000-0000-C000-000000000046}";
    rows.push_back({Row::Kind::kValue, path, "", FormattedText(i.name)});
    rows.push_back({Row::Kind::kValue, path + "\\ProxyStubClsid", "", proxy});
    rows.push_back({Row::Kind::kValue, path + "\\ProxyStubClsid32", "", proxy});
    rows.push_back({Row::Kind::kValue, path + "\\TypeLib", "", library.libid});
    rows.push_back({Row::Kind::kValue, path + "\\TypeLib", "Version", library.version});
  }
  return rows;
}

std::string FormattedText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '[' || c == ']') {
      out += std::string("[\\") + c + "]";
    } else {
      out += c;
    }
  }
  // A leading "#" would make the value a number.
  return out.compare(0, 1, "#") == 0 ? "#" + out : out;
}

std::string WixElements(const std::vector<Row>& rows, const std::string& idPrefix,
                        bool firstIsKeyPath, const ClassesRoot& root) {
  std::string out;
  int number = 0;
  for (const Row& row : rows) {
    const std::string name = row.kind == Row::Kind::kCreateKey            ? "+"
                             : row.kind == Row::Kind::kCreateAndRemoveKey ? "*"
                                                                          : row.name;
    out += "<RegistryValue Id=\"" + idPrefix + std::to_string(++number) + "\" Root=\"" + root.wix +
           "\" Key=\"" + XmlText(root.prefix + row.key) + "\"";
    if (!name.empty()) out += " Name=\"" + XmlText(name) + "\"";
    out += " Type=\"string\" Value=\"" + XmlText(row.value) + "\"";
    if (number == 1 && firstIsKeyPath) out += " KeyPath=\"yes\"";
    out += "/>\n";
  }
  return out;
}

std::string RemoveRegistryTable(const std::vector<Removal>& removals, const ClassesRoot& root) {
  std::string out =
      "RemoveRegistry\tRoot\tKey\tName\tComponent_\r\n"
      "s72\ti2\tl255\tL255\ts72\r\n"
      "RemoveRegistry\tRemoveRegistry\r\n";
  for (const Removal& removal : removals) {
    int number = 0;
    for (const std::string& key : removal.keys) {
      out += "Remove" + removal.component + "_" + std::to_string(++number) + "\t" +
             std::to_string(root.table) + "\t" + root.prefix + key + "\t-\t" + removal.component +
             "\r\n";
    }
  }
  return out;
}

}  // namespace dovrel::installer
