// The keys of a scenario file, described once: for each object of the file,
// its keys in the order they are read, the setting each one fills with its
// range, and whether a scenario written back holds it. ParseScenario reads
// through these tables and ScenarioToJson writes through them; the defaults
// are the initial values of Scenario, HidSettings and the structs they hold.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/scenario.h"

namespace kr35 {

using ScenarioJson = nlohmann::json;

class KeyReader;

// Whether a setting is written back into a scenario file.
enum class Written { kAlways, kUnlessDefault, kNever };

template <class T>
struct Field {
  std::string_view key = {};
  // A plain setting and the member it fills: a 16-bit word, an integer in
  // [low, high] (or a count, with `unlimited` as the word for kAlways), a
  // number of milliseconds, true or false, a string or null. Empty when
  // `read` and `write` below handle the key.
  std::variant<std::monostate, std::uint16_t T::*, int T::*, double T::*, bool T::*,
               std::optional<std::string> T::*>
      member = {};
  Written written = Written::kUnlessDefault;
  long long low = 0;
  long long high = 0;
  const char* unlimited = nullptr;
  bool required = false;
  // Keys of one group (> 0) exclude each other, and one of them must be there.
  int oneOf = 0;
  // For any other key: reads its value (false after KeyReader::Fail), and
  // gives its value to write (nullopt: the key is left out; no function: never written).
  bool (*read)(KeyReader& reader, const ScenarioJson& value, const std::string& where,
               T& target) = nullptr;
  std::optional<ScenarioJson> (*write)(const T& source) = nullptr;
};

// Reads values of a scenario, keeping the first error with the path where it occurred.
class KeyReader {
 public:
  explicit KeyReader(std::string& error) : error_(error) {}

  bool Fail(std::string message);

  // An object whose keys `fields` describes. `name` names it in messages,
  // `prefix` starts the paths of its keys (empty for the document itself).
  template <class T>
  bool ReadObject(const ScenarioJson& value, const std::string& name, const std::string& prefix,
                  std::span<const Field<T>> fields, T& target);
  // An array of such objects, each named `where[i]`.
  template <class T>
  bool ReadList(const ScenarioJson& value, const std::string& where,
                std::span<const Field<T>> fields, std::vector<T>& target);

  // A JSON integer, or text holding a decimal or 0x-prefixed number, within [low, high].
  std::optional<long long> Integer(const ScenarioJson& value, const std::string& where,
                                   long long low, long long high);
  std::optional<std::uint16_t> Word(const ScenarioJson& value, const std::string& where);
  // A non-negative count, or `unlimited` ("always"/"forever") for kAlways.
  std::optional<int> Count(const ScenarioJson& value, const std::string& where,
                           std::string_view unlimited);
  std::optional<double> Milliseconds(const ScenarioJson& value, const std::string& where);
  std::optional<bool> Bool(const ScenarioJson& value, const std::string& where);
  // null = unreadable; otherwise a string.
  bool OptionalString(const ScenarioJson& value, const std::string& where,
                      std::optional<std::string>& out);
  std::optional<std::vector<std::uint8_t>> Bytes(const ScenarioJson& value,
                                                 const std::string& where, std::size_t minimum,
                                                 std::size_t maximum);
  std::optional<std::uint8_t> Command(const ScenarioJson& value, const std::string& where);
  // A response frame: a name ("RSP_NAK_DSP", "UPGRADE_BUSY"), up to 5 raw
  // bytes, or {"headset_status": b1} / {"two_bit_state": b1}.
  std::optional<ResponseFrame> Frame(const ScenarioJson& value, const std::string& where);

 private:
  template <class T>
  bool ReadMember(const Field<T>& field, const ScenarioJson& value, const std::string& where,
                  T& target);
  template <class T>
  bool OneOf(const ScenarioJson& value, const std::string& name, std::span<const Field<T>> fields,
             int group);

  std::string& error_;
};

// A table of keys as the functions above take it.
template <class T, std::size_t N>
std::span<const Field<T>> Keys(const Field<T> (&table)[N]) {
  return table;
}

// The keys of the document itself.
std::span<const Field<Scenario>> ScenarioKeys();

// Whether `source`'s member equals the default's. Out of line on purpose:
// inlined into the visit below, GCC 12 with the sanitizers warns
// (-Warray-bounds) about member types a small T does not have, in branches
// that never run for it.
template <class T, class Member>
[[gnu::noinline]] bool IsDefaultValue(const T& source, const T& defaults, Member T::*member) {
  return source.*member == defaults.*member;
}

// Writes `source` as the object `fields` describes.
template <class T>
ScenarioJson WriteObject(std::span<const Field<T>> fields, const T& source) {
  ScenarioJson json = ScenarioJson::object();
  const T defaults{};
  for (const Field<T>& field : fields) {
    const std::string key(field.key);
    if (field.write != nullptr) {
      if (auto value = field.write(source)) json[key] = std::move(*value);
      continue;
    }
    if (field.written == Written::kNever) continue;
    std::visit(
        [&](auto member) {
          if constexpr (!std::is_same_v<decltype(member), std::monostate>) {
            const auto& value = source.*member;
            if (field.written == Written::kUnlessDefault &&
                IsDefaultValue(source, defaults, member)) {
              return;
            }
            if constexpr (std::is_same_v<decltype(member), int T::*>) {
              if (field.unlimited != nullptr && value == kAlways) {
                json[key] = field.unlimited;
                return;
              }
            }
            if constexpr (std::is_same_v<decltype(member), std::optional<std::string> T::*>) {
              json[key] = value ? ScenarioJson(*value) : ScenarioJson(nullptr);
            } else {
              json[key] = value;
            }
          }
        },
        field.member);
  }
  return json;
}

template <class T>
bool KeyReader::ReadObject(const ScenarioJson& value, const std::string& name,
                           const std::string& prefix, std::span<const Field<T>> fields, T& target) {
  if (!value.is_object()) return Fail("'" + name + "' must be an object");
  for (const auto& item : value.items()) {
    bool known = false;
    for (const Field<T>& field : fields) known = known || item.key() == field.key;
    if (!known) return Fail("unknown key '" + item.key() + "' in " + name);
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field<T>& field = fields[i];
    const bool firstOfGroup =
        field.oneOf > 0 &&
        std::none_of(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(i),
                     [&](const Field<T>& f) { return f.oneOf == field.oneOf; });
    if (firstOfGroup && !OneOf(value, name, fields, field.oneOf)) return false;
    const std::string key(field.key);
    const auto found = value.find(key);
    if (found == value.end()) {
      if (field.required) return Fail("'" + name + "' needs a '" + key + "'");
      continue;
    }
    const std::string where = prefix.empty() ? key : prefix + "." + key;
    if (!(field.read != nullptr ? field.read(*this, *found, where, target)
                                : ReadMember(field, *found, where, target))) {
      return false;
    }
  }
  return true;
}

template <class T>
bool KeyReader::ReadList(const ScenarioJson& value, const std::string& where,
                         std::span<const Field<T>> fields, std::vector<T>& target) {
  if (!value.is_array()) return Fail("'" + where + "' must be an array");
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string name = where + "[" + std::to_string(i) + "]";
    T item;
    if (!ReadObject(value[i], name, name, fields, item)) return false;
    target.push_back(std::move(item));
  }
  return true;
}

template <class T>
bool KeyReader::ReadMember(const Field<T>& field, const ScenarioJson& value,
                           const std::string& where, T& target) {
  return std::visit(
      [&](auto member) -> bool {
        using Member = decltype(member);
        if constexpr (std::is_same_v<Member, std::uint16_t T::*>) {
          const auto word = Word(value, where);
          if (word) target.*member = *word;
          return word.has_value();
        } else if constexpr (std::is_same_v<Member, int T::*>) {
          std::optional<long long> number;
          if (field.unlimited == nullptr) {
            number = Integer(value, where, field.low, field.high);
          } else if (const auto count = Count(value, where, field.unlimited)) {
            number = *count;
          }
          if (number) target.*member = static_cast<int>(*number);
          return number.has_value();
        } else if constexpr (std::is_same_v<Member, double T::*>) {
          const auto ms = Milliseconds(value, where);
          if (ms) target.*member = *ms;
          return ms.has_value();
        } else if constexpr (std::is_same_v<Member, bool T::*>) {
          const auto flag = Bool(value, where);
          if (flag) target.*member = *flag;
          return flag.has_value();
        } else if constexpr (std::is_same_v<Member, std::optional<std::string> T::*>) {
          return OptionalString(value, where, target.*member);
        } else {
          return true;  // a key with nothing to set
        }
      },
      field.member);
}

template <class T>
bool KeyReader::OneOf(const ScenarioJson& value, const std::string& name,
                      std::span<const Field<T>> fields, int group) {
  std::vector<std::string_view> keys;
  int given = 0;
  for (const Field<T>& field : fields) {
    if (field.oneOf != group) continue;
    keys.push_back(field.key);
    given += value.contains(std::string(field.key)) ? 1 : 0;
  }
  if (given == 1) return true;
  std::string list;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i > 0) list += keys.size() == 2 ? " and " : ", ";
    list += "'" + std::string(keys[i]) + "'";
  }
  return Fail("'" + name + "' needs exactly one of " + list);
}

}  // namespace kr35
