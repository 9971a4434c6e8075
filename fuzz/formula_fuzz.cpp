// The selection-formula compiler and evaluator. The input is the formula, then after a zero
// byte the values of its fields in order: zero bytes end a field, line feeds end an entry.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "notesemu/formula.h"

namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string_view text = input.substr(0, cut);

  std::unique_ptr<notesemu::Formula> formula;
  vp::FormulaError error{};
  if (notesemu::Formula::Compile(text, &formula, &error) != 0) {
    FUZZ_CHECK(error.status != 0 && (text.size() > 0xFFFF || error.offset <= text.size()));
    return 0;
  }
  FUZZ_CHECK(formula != nullptr);

  std::vector<std::vector<std::string>> fields;
  if (cut != std::string_view::npos) {
    for (const std::string& field : Split(input.substr(cut + 1), '\0')) {
      fields.push_back(Split(field, '\n'));
    }
  }
  notesemu::FieldValues values;
  for (size_t i = 0; i < formula->Fields().size(); ++i) {
    values.push_back(i < fields.size() ? &fields[i] : nullptr);  // past the input: no item
  }
  const bool selected = formula->Selects(values);
  FUZZ_CHECK(formula->Selects(values) == selected);  // evaluation keeps no state between notes
  return 0;
}
