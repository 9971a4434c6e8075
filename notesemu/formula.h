// Selection formulas: compiled once, evaluated against the items of each note.
//
// The language is the part of the Notes formula language that selection formulas of the system
// use: an optional SELECT keyword, then an expression of
//   "string literals" (backslash escapes the next character), field names (item names, any
//   case; a missing item reads as ""), @Uppercase(x), @Lowercase(x), parentheses,
//   x = y, x != y (text; true when any entry of x equals any entry of y, != its negation),
//   a & b, a | b (true/false).
// The whole formula must be true/false. Anything else is refused with a status and a position,
// as is an expression more than 200 levels deep (parentheses, @functions and each & or | of a
// chain add a level).
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notes_api.h"

namespace notesemu {

// The texts of each field the formula names, in the order of Formula::Fields(); null: no item.
using FieldValues = std::vector<const std::vector<std::string>*>;

class Formula {
 public:
  // Compiles `text`; on failure returns its status and fills `error` (when not null).
  static vp::NotesStatus Compile(std::string_view text, std::unique_ptr<Formula>* formula,
                                 vp::FormulaError* error);

  // Upper-case names of the items the formula reads.
  const std::vector<std::string>& Fields() const { return fields_; }

  bool Selects(const FieldValues& values) const;

  struct Node;

 private:
  Formula() = default;
  bool EvalBool(int node, const FieldValues& values) const;
  const std::vector<std::string>& EvalText(int node, const FieldValues& values) const;

  std::vector<Node> nodes_;
  std::vector<std::string> fields_;
  int root_ = -1;
  mutable std::vector<std::vector<std::string>> scratch_;

  friend class FormulaParser;
};

struct Formula::Node {
  enum Kind { kLiteral, kField, kUpper, kLower, kEqual, kNotEqual, kAnd, kOr } kind;
  std::vector<std::string> literal;  // kLiteral
  int field = -1;                    // kField: index into Fields()
  int a = -1, b = -1;                // operands
  bool IsBool() const { return kind >= kEqual; }
};

}  // namespace notesemu
