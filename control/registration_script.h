#pragma once
// The registration script: the registry entries of the module, written as a
// tree of keys under HKEY_CLASSES_ROOT, and its two directions.
//
//   HKCR
//   {
//     NoRemove CLSID                      kept: never deleted
//     {
//       ForceRemove {class id} = s 'Name' replaced: deleted with its sub-keys,
//       {                                   then written afresh
//         'Sub Key' = s '%MODULE%, 101'   quoted names may hold blanks
//         { val ThreadingModel = s 'Apartment' }   a named value
//       }
//     }
//   }
//
// Names are bare words or quoted; texts are quoted, with '' for a quote. Each
// %NAME% in a text or name is replaced by its value from the caller's table.

#include <map>
#include <string>
#include <vector>

namespace dovrel {

struct ScriptKey {
  enum class Removal { kNormal, kReplaced, kKept };
  std::string name;
  Removal removal = Removal::kNormal;
  bool hasDefault = false;
  std::string defaultValue;
  std::vector<std::pair<std::string, std::string>> values;  // named values, in order
  std::vector<ScriptKey> subKeys;
};

// Parses the script; false (and `keys` unspecified) on a syntax error or a
// root other than HKCR. `keys` receives the keys under the root.
bool ParseRegistrationScript(const std::string& script,
                             const std::map<std::string, std::string>& replacements,
                             std::vector<ScriptKey>* keys);

// The registry as the script sees it; paths are "\"-joined below HKCR.
class RegistryEditor {
 public:
  virtual ~RegistryEditor() = default;
  virtual bool CreateKey(const std::string& path) = 0;  // with any missing parents
  virtual bool SetValue(const std::string& path, const std::string& name,  // "" the default
                        const std::string& data) = 0;
  virtual bool KeyExists(const std::string& path) = 0;
  virtual bool HasSubKeys(const std::string& path) = 0;
  virtual bool DeleteTree(const std::string& path) = 0;  // the key and all below it
};

// Writes every key and value; replaced keys are deleted first. False when a
// write failed (the rest is still written).
bool ApplyRegistration(const std::vector<ScriptKey>& keys, RegistryEditor& registry);

// Deletes, deepest first, every key of the script that is not kept and that
// has no sub-key left once the script's own are gone. False when a deletion
// failed.
bool RemoveRegistration(const std::vector<ScriptKey>& keys, RegistryEditor& registry);

}  // namespace dovrel
