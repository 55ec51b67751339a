// Keys and named values as the registry keeps them, in memory, with the text
// form of a registry export file. Key names compare without regard to case,
// as the registry's do; keys and values keep the order they were made in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk::platform {

class RegistryTree {
 public:
  // Paths are full key paths with backslashes, e.g. "HKEY_CURRENT_USER\Software\Vesk\Vesk".
  // The empty value name is the key's default value.
  bool KeyExists(const std::string& path) const;
  void CreateKey(const std::string& path);
  void SetString(const std::string& path, const std::string& name, const std::string& value);
  void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
  std::optional<std::string> GetString(const std::string& path, const std::string& name) const;
  std::optional<std::uint32_t> GetDword(const std::string& path, const std::string& name) const;
  // The names of the key's values, in the order they were made; none for a missing key.
  std::vector<std::string> ValueNames(const std::string& path) const;
  // Removes the key with everything below it; a missing key is no error.
  void DeleteTree(const std::string& path);

  std::string Serialize() const;
  // Replaces the tree with the parsed text; false with a reason (and the tree
  // left as it was) when the text is not a registry export.
  bool Parse(const std::string& text, std::string* error);

 private:
  enum class Kind { kString, kDword, kOther };
  struct Value {
    std::string name;
    Kind kind = Kind::kString;
    std::string text;  // the string, or for other kinds their data as written
    std::uint32_t dword = 0;
  };
  struct Key {
    std::string path;
    std::vector<Value> values;
  };

  Key* Find(const std::string& path);
  const Key* Find(const std::string& path) const;
  const Value* FindValue(const std::string& path, const std::string& name) const;
  Value& Slot(const std::string& path, const std::string& name);

  std::vector<Key> keys_;
};

}  // namespace vesk::platform
