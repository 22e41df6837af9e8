// installer-registry: writes the installer's registry rows from the module's
// registration script and IDL, for each module the package installs.
//   installer-registry [--per-user] RGS IDL OUTDIR BITS=FOLDER...
// For each BITS (32 or 64) the package's file "Dovrel<BITS>" of component
// "Module<BITS>" lies in FOLDER (formatted text without a trailing "\"); this
// writes OUTDIR/registry-<BITS>.wxi (that component's rows),
// OUTDIR/kept-<BITS>.wxi (the permanent component "KeptKeys<BITS>"'s rows) and
// OUTDIR/RemoveRegistry.idt (the keys the install deletes before writing).
// --per-user writes the classes' keys under HKCU\Software\Classes.
// Built and run on the build machine.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "package/installer_registry.h"
#include "control/registration_script.h"

namespace {

bool Read(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  *text = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return static_cast<bool>(in) || in.eof();
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

std::string Include(const std::string& elements) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Include>\n" + elements + "</Include>\n";
}

}  // namespace

int main(int argc, char** argv) {
  const bool perUser = argc > 1 && std::string(argv[1]) == "--per-user";
  if (perUser) {
    --argc;
    ++argv;
  }
  const dovrel::installer::ClassesRoot& root =
      perUser ? dovrel::installer::kUserClasses : dovrel::installer::kClassesRoot;
  if (argc < 5) {
    std::cerr << "usage: installer-registry [--per-user] RGS IDL OUTDIR BITS=FOLDER...\n";
    return 64;
  }
  const std::string outDir = argv[3];
  std::string script, idl;
  std::vector<dovrel::ScriptKey> keys;
  dovrel::installer::TypeLibrary library;
  if (!Read(argv[1], &script) || !Read(argv[2], &idl)) {
    std::cerr << "installer-registry: cannot read " << argv[1] << " or " << argv[2] << "\n";
    return 1;
  }
  if (!dovrel::ParseRegistrationScript(script, {{"MODULE", dovrel::installer::kModuleMarker}},
                                       &keys)) {
    std::cerr << "installer-registry: " << argv[1] << " is not a registration script\n";
    return 1;
  }
  if (!dovrel::installer::ReadTypeLibrary(idl, &library)) {
    std::cerr << "installer-registry: no type library with a uuid and a version in " << argv[2]
              << "\n";
    return 1;
  }
  std::vector<dovrel::installer::Removal> removals;
  for (int i = 4; i < argc; ++i) {
    const std::string view = argv[i];
    const std::string::size_type equals = view.find('=');
    const std::string bits = view.substr(0, equals);
    if (equals == std::string::npos || (bits != "32" && bits != "64")) {
      std::cerr << "installer-registry: " << view << " is not BITS=FOLDER\n";
      return 64;
    }
    const std::string folder = view.substr(equals + 1);
    const std::string module = "[#Dovrel" + bits + "]";
    dovrel::installer::Rows rows = dovrel::installer::ScriptRows(keys, module);
    if (rows.kept.empty()) {
      std::cerr << "installer-registry: the script keeps no key for KeptKeys" << bits << "\n";
      return 1;
    }
    const std::vector<dovrel::installer::Row> typeLibrary =
        dovrel::installer::TypeLibraryRows(library, module, folder, bits == "64");
    rows.module.insert(rows.module.end(), typeLibrary.begin(), typeLibrary.end());
    removals.push_back({"Module" + bits, rows.replaced});
    const std::string moduleRows =
        dovrel::installer::WixElements(rows.module, "Reg" + bits + "_", false, root);
    const std::string keptRows =
        dovrel::installer::WixElements(rows.kept, "Kept" + bits + "_", true, root);
    if (!Write(outDir + "/registry-" + bits + ".wxi", Include(moduleRows)) ||
        !Write(outDir + "/kept-" + bits + ".wxi", Include(keptRows))) {
      std::cerr << "installer-registry: cannot write into " << outDir << "\n";
      return 1;
    }
  }
  if (!Write(outDir + "/RemoveRegistry.idt",
             dovrel::installer::RemoveRegistryTable(removals, root))) {
    std::cerr << "installer-registry: cannot write into " << outDir << "\n";
    return 1;
  }
  return 0;
}
