// Reading and replacing fields of the database info text.
#include "notesemu/db_info.h"

#include <vector>

#include "notesemu/status_codes.h"

namespace notesemu {
namespace {

std::vector<std::string> Split(const std::string& info) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t lf = info.find('\n', start);
    fields.push_back(info.substr(start, lf == std::string::npos ? lf : lf - start));
    if (lf == std::string::npos) break;
    start = lf + 1;
  }
  return fields;
}

}  // namespace

std::string InfoField(const std::string& info, uint16_t field) {
  std::vector<std::string> fields = Split(info);
  return field < fields.size() ? fields[field] : std::string();
}

vp::NotesStatus SetInfoField(std::string* info, uint16_t field, const std::string& value) {
  if (value.find('\n') != std::string::npos) return kErrInvalidArgument;
  std::vector<std::string> fields = Split(*info);
  if (fields.size() <= field) fields.resize(field + 1);
  fields[field] = value;
  std::string joined;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) joined.push_back('\n');
    joined += fields[i];
  }
  if (joined.size() > vp::kDbInfoSize - 1) return kErrInfoFull;
  *info = std::move(joined);
  return 0;
}

}  // namespace notesemu
