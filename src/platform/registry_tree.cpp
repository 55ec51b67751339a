#include "platform/registry_tree.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace vesk::platform {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsBelow(const std::string& path, const std::string& key) {
  return path.size() > key.size() && path[key.size()] == '\\' &&
         SameName(path.substr(0, key.size()), key);
}

std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

// Reads a quoted string at `pos`; on success `pos` is past the closing quote.
bool Unquote(const std::string& line, std::size_t& pos, std::string* text) {
  if (pos >= line.size() || line[pos] != '"') return false;
  text->clear();
  for (++pos; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (++pos >= line.size()) return false;
      c = line[pos];
    }
    *text += c;
  }
  return false;
}

std::string Trim(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

}  // namespace

RegistryTree::Key* RegistryTree::Find(const std::string& path) {
  auto it = std::find_if(keys_.begin(), keys_.end(), [&](const Key& k) { return SameName(k.path, path); });
  return it == keys_.end() ? nullptr : &*it;
}

const RegistryTree::Key* RegistryTree::Find(const std::string& path) const {
  return const_cast<RegistryTree*>(this)->Find(path);
}

bool RegistryTree::KeyExists(const std::string& path) const { return Find(path) != nullptr; }

void RegistryTree::CreateKey(const std::string& path) {
  if (!Find(path)) keys_.push_back(Key{path, {}});
}

RegistryTree::Value& RegistryTree::Slot(const std::string& path, const std::string& name) {
  CreateKey(path);
  Key& key = *Find(path);
  auto it = std::find_if(key.values.begin(), key.values.end(),
                         [&](const Value& v) { return SameName(v.name, name); });
  if (it != key.values.end()) return *it;
  Value& value = key.values.emplace_back();
  value.name = name;
  return value;
}

void RegistryTree::SetString(const std::string& path, const std::string& name, const std::string& value) {
  Value& slot = Slot(path, name);
  slot.kind = Kind::kString;
  slot.text = value;
}

void RegistryTree::SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
  Value& slot = Slot(path, name);
  slot.kind = Kind::kDword;
  slot.dword = value;
}

const RegistryTree::Value* RegistryTree::FindValue(const std::string& path, const std::string& name) const {
  const Key* key = Find(path);
  if (!key) return nullptr;
  for (const Value& v : key->values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

std::optional<std::string> RegistryTree::GetString(const std::string& path, const std::string& name) const {
  const Value* v = FindValue(path, name);
  if (!v || v->kind != Kind::kString) return std::nullopt;
  return v->text;
}

std::optional<std::uint32_t> RegistryTree::GetDword(const std::string& path, const std::string& name) const {
  const Value* v = FindValue(path, name);
  if (!v || v->kind != Kind::kDword) return std::nullopt;
  return v->dword;
}

void RegistryTree::DeleteTree(const std::string& path) {
  std::erase_if(keys_, [&](const Key& k) { return SameName(k.path, path) || IsBelow(k.path, path); });
}

std::vector<std::string> RegistryTree::ValueNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Key* key = Find(path))
    for (const Value& value : key->values) names.push_back(value.name);
  return names;
}

std::string RegistryTree::Serialize() const {
  std::string text = std::string(kHeader) + "\n";
  for (const Key& key : keys_) {
    text += "\n[" + key.path + "]\n";
    for (const Value& v : key.values) {
      text += v.name.empty() ? "@" : Quote(v.name);
      text += '=';
      switch (v.kind) {
        case Kind::kString: text += Quote(v.text); break;
        case Kind::kDword: {
          char hex[16];
          std::snprintf(hex, sizeof hex, "dword:%08x", v.dword);
          text += hex;
          break;
        }
        case Kind::kOther: text += v.text; break;
      }
      text += '\n';
    }
  }
  return text;
}

bool RegistryTree::Parse(const std::string& text, std::string* error) {
  std::vector<Key> parsed;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  bool headerSeen = false;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    // Long binary values continue on the next line after a backslash.
    while (!line.empty() && Trim(line).back() == '\\' && Trim(line).find('=') != std::string::npos) {
      std::string next;
      if (!std::getline(in, next)) break;
      ++number;
      line = Trim(line);
      line.pop_back();
      line += Trim(next);
    }
    const std::string trimmed = Trim(line);
    if (!headerSeen) {
      if (trimmed.empty()) continue;
      if (trimmed != kHeader) return fail("not a registry export");
      headerSeen = true;
      continue;
    }
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (trimmed[0] == '[') {
      if (trimmed.back() != ']' || trimmed.size() < 3) return fail("broken key line");
      parsed.push_back(Key{trimmed.substr(1, trimmed.size() - 2), {}});
      continue;
    }
    if (parsed.empty()) return fail("value outside any key");
    Value value;
    std::size_t pos = 0;
    if (trimmed[0] == '@') {
      pos = 1;
    } else if (!Unquote(trimmed, pos, &value.name)) {
      return fail("broken value name");
    }
    if (pos >= trimmed.size() || trimmed[pos] != '=') return fail("missing '='");
    ++pos;
    const std::string data = trimmed.substr(pos);
    if (!data.empty() && data[0] == '"') {
      std::size_t at = pos;
      if (!Unquote(trimmed, at, &value.text) || at != trimmed.size()) return fail("broken string");
      value.kind = Kind::kString;
    } else if (data.rfind("dword:", 0) == 0) {
      const std::string digits = data.substr(6);
      if (digits.empty() || digits.size() > 8 ||
          digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return fail("broken dword");
      value.kind = Kind::kDword;
      value.dword = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    } else if (data.rfind("hex", 0) == 0 || data == "-") {
      value.kind = Kind::kOther;  // kept as written: a newer writer's value
      value.text = data;
    } else {
      return fail("unknown value type");
    }
    parsed.back().values.push_back(std::move(value));
  }
  if (!headerSeen) return fail("empty store");
  keys_ = std::move(parsed);
  return true;
}

}  // namespace vesk::platform
