#include "control/registration_script.h"

#include <cctype>
#include <cstddef>

#include "base/ascii.h"

namespace dovrel {
namespace {

class ScriptParser {
 public:
  ScriptParser(const std::string& text, const std::map<std::string, std::string>& replacements)
      : text_(text), replacements_(replacements) {}

  bool ParseRoot(std::vector<ScriptKey>* keys) {
    std::string root;
    if (!Word(&root) || (root != "HKCR" && root != "HKEY_CLASSES_ROOT")) return false;
    if (!Take('{') || !ParseKeys(keys) || !Take('}')) return false;
    SkipBlanks();
    return at_ == text_.size();
  }

 private:
  // Keys (and named values, where allowed) up to the closing brace. Recursive
  // by the script's nesting, a few levels of the module's own resource.
  bool ParseKeys(  // NOLINT(misc-no-recursion)
      std::vector<ScriptKey>* keys,
      std::vector<std::pair<std::string, std::string>>* values = nullptr) {
    while (!Peek('}')) {
      if (at_ >= text_.size()) return false;
      std::string name;
      const bool quoted = Peek('\'');
      if (!Name(&name)) return false;
      if (!quoted && name == "val") {
        std::pair<std::string, std::string> value;
        if (values == nullptr || !Name(&value.first) || !Take('=') || !Text(&value.second))
          return false;
        values->push_back(value);
        continue;
      }
      ScriptKey key;
      if (!quoted && (name == "ForceRemove" || name == "NoRemove")) {
        key.removal =
            name == "ForceRemove" ? ScriptKey::Removal::kReplaced : ScriptKey::Removal::kKept;
        if (!Name(&name)) return false;
      }
      key.name = name;
      if (Peek('=')) {
        Take('=');
        if (!Text(&key.defaultValue)) return false;
        key.hasDefault = true;
      }
      if (Peek('{')) {
        Take('{');
        if (!ParseKeys(&key.subKeys, &key.values) || !Take('}')) return false;
      }
      keys->push_back(std::move(key));
    }
    return true;
  }

  // "s" and a quoted text: the only value type the module writes.
  bool Text(std::string* out) {
    std::string type;
    return Word(&type) && type == "s" && Peek('\'') && Name(out);
  }

  bool Name(std::string* out) {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == '\'') {
      std::string raw;
      for (++at_; at_ < text_.size(); ++at_) {
        if (text_[at_] == '\'') {
          if (at_ + 1 < text_.size() && text_[at_ + 1] == '\'') {
            raw += '\'';
            ++at_;
            continue;
          }
          ++at_;
          return Replace(raw, out);
        }
        raw += text_[at_];
      }
      return false;  // no closing quote
    }
    std::string raw;
    return Word(&raw) && Replace(raw, out);
  }

  // A run of characters other than blanks, "=", quotes and braces; or a
  // braced GUID, which is a name and not a block.
  bool Word(std::string* out) {
    SkipBlanks();
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '{' && LooksLikeGuid()) {
      at_ += 38;
    } else {
      while (at_ < text_.size() && !IsBlank(text_[at_]) && text_[at_] != '=' &&
             text_[at_] != '\'' && text_[at_] != '{' && text_[at_] != '}') {
        ++at_;
      }
    }
    *out = text_.substr(start, at_ - start);
    return !out->empty();
  }

  // A brace that opens a "{xxxxxxxx-...}" name rather than a block.
  bool LooksLikeGuid() const {
    const std::size_t close = text_.find('}', at_);
    if (close == std::string::npos || close - at_ != 37) return false;
    for (std::size_t i = at_ + 1; i < close; ++i) {
      if (!std::isxdigit(static_cast<unsigned char>(text_[i])) && text_[i] != '-') return false;
    }
    return true;
  }

  bool Replace(const std::string& raw, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const std::size_t close = raw[i] == '%' ? raw.find('%', i + 1) : std::string::npos;
      if (close == std::string::npos) {
        *out += raw[i];
        continue;
      }
      const auto found = replacements_.find(raw.substr(i + 1, close - i - 1));
      if (found == replacements_.end()) return false;  // an unknown name is a fault
      *out += found->second;
      i = close;
    }
    return true;
  }

  void SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
  }
  bool Peek(char c) {
    SkipBlanks();
    return at_ < text_.size() && text_[at_] == c && !(c == '{' && LooksLikeGuid());
  }
  bool Take(char c) {
    if (!Peek(c)) return false;
    ++at_;
    return true;
  }

  const std::string& text_;
  const std::map<std::string, std::string>& replacements_;
  std::size_t at_ = 0;
};

std::string Child(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "\\" + name;
}

// NOLINTNEXTLINE(misc-no-recursion): one level per level of the script's nesting
bool ApplyKeys(const std::vector<ScriptKey>& keys, const std::string& parent,
               RegistryEditor& registry) {
  bool ok = true;
  for (const ScriptKey& key : keys) {
    const std::string path = Child(parent, key.name);
    if (key.removal == ScriptKey::Removal::kReplaced && registry.KeyExists(path)) {
      ok = registry.DeleteTree(path) && ok;
    }
    ok = registry.CreateKey(path) && ok;
    if (key.hasDefault) ok = registry.SetValue(path, "", key.defaultValue) && ok;
    for (const auto& [name, data] : key.values) ok = registry.SetValue(path, name, data) && ok;
    ok = ApplyKeys(key.subKeys, path, registry) && ok;
  }
  return ok;
}

// NOLINTNEXTLINE(misc-no-recursion): one level per level of the script's nesting
bool RemoveKeys(const std::vector<ScriptKey>& keys, const std::string& parent,
                RegistryEditor& registry) {
  bool ok = true;
  for (const ScriptKey& key : keys) {
    const std::string path = Child(parent, key.name);
    if (!registry.KeyExists(path)) continue;
    ok = RemoveKeys(key.subKeys, path, registry) && ok;
    if (key.removal == ScriptKey::Removal::kKept || registry.HasSubKeys(path)) continue;
    ok = registry.DeleteTree(path) && ok;
  }
  return ok;
}

}  // namespace

bool ParseRegistrationScript(const std::string& script,
                             const std::map<std::string, std::string>& replacements,
                             std::vector<ScriptKey>* keys) {
  keys->clear();
  return ScriptParser(script, replacements).ParseRoot(keys);
}

bool ApplyRegistration(const std::vector<ScriptKey>& keys, RegistryEditor& registry) {
  return ApplyKeys(keys, "", registry);
}

bool RemoveRegistration(const std::vector<ScriptKey>& keys, RegistryEditor& registry) {
  return RemoveKeys(keys, "", registry);
}

}  // namespace dovrel
