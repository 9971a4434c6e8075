// Compiler and evaluator of selection formulas.
#include "notesemu/formula.h"

#include <algorithm>

#include "notesemu/names.h"
#include "notesemu/status_codes.h"

namespace notesemu {

// Recursive-descent parser; the first error stops it and is kept with its offset. Both the
// parser and the evaluator recurse, so nesting and the depth of the tree are bounded: a deep
// formula is refused instead of overflowing the stack.
constexpr int kMaxFormulaDepth = 200;

class FormulaParser {
 public:
  FormulaParser(std::string_view text, Formula* f) : text_(text), f_(f) {}

  vp::NotesStatus Parse(vp::FormulaError* error) {
    Skip();
    size_t save = pos_;
    std::string word = Word();
    if (UpperAscii(word) != "SELECT") pos_ = save;
    int root = Or();
    Skip();
    if (!status_ && pos_ < text_.size()) SetError(kErrFormulaSyntax, pos_);
    if (!status_ && !f_->nodes_[root].IsBool()) SetError(kErrFormulaType, 0);
    if (status_) {
      if (error) {
        error->status = status_;
        error->offset = static_cast<uint16_t>(errorAt_);
        error->line = 1;
        error->column = static_cast<uint16_t>(errorAt_ + 1);
        error->length = 1;
      }
      return status_;
    }
    f_->root_ = root;
    f_->scratch_.resize(f_->nodes_.size());
    return 0;
  }

 private:
  void SetError(vp::NotesStatus status, size_t at) {
    if (!status_) {
      status_ = status;
      errorAt_ = at;
    }
  }
  void Skip() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\n')) {
      ++pos_;
    }
  }
  static bool WordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '@';
  }
  std::string Word() {
    size_t start = pos_;
    while (pos_ < text_.size() && WordChar(text_[pos_])) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }
  bool Accept(std::string_view op) {
    Skip();
    if (text_.substr(pos_, op.size()) != op) return false;
    pos_ += op.size();
    return true;
  }
  int Add(Formula::Node node) {
    int depth = 1;
    for (int operand : {node.a, node.b}) {
      if (operand >= 0) depth = std::max(depth, depths_[operand] + 1);
    }
    if (depth > kMaxFormulaDepth) SetError(kErrFormulaTooDeep, pos_);
    f_->nodes_.push_back(std::move(node));
    depths_.push_back(depth);
    return static_cast<int>(f_->nodes_.size() - 1);
  }
  int Binary(Formula::Node::Kind kind, int a, int b, size_t at, bool wantBool) {
    if (f_->nodes_[a].IsBool() != wantBool || f_->nodes_[b].IsBool() != wantBool) {
      SetError(kErrFormulaType, at);
    }
    Formula::Node n{kind, {}, -1, a, b};
    return Add(n);
  }

  int Or() {
    if (++nesting_ > kMaxFormulaDepth) {
      SetError(kErrFormulaTooDeep, pos_);
      --nesting_;
      return Add({Formula::Node::kLiteral, {""}});
    }
    int left = And();
    while (!status_) {
      size_t at = pos_;
      if (!Accept("|")) break;
      left = Binary(Formula::Node::kOr, left, And(), at, true);
    }
    --nesting_;
    return left;
  }
  int And() {
    int left = Compare();
    while (!status_) {
      size_t at = pos_;
      if (!Accept("&")) break;
      left = Binary(Formula::Node::kAnd, left, Compare(), at, true);
    }
    return left;
  }
  int Compare() {
    int left = Primary();
    if (status_) return left;
    size_t at = pos_;
    if (Accept("!=")) return Binary(Formula::Node::kNotEqual, left, Primary(), at, false);
    if (Accept("=")) return Binary(Formula::Node::kEqual, left, Primary(), at, false);
    return left;
  }
  int Primary() {
    Skip();
    size_t at = pos_;
    if (status_ || pos_ >= text_.size()) {
      SetError(kErrFormulaSyntax, at);
      return Add({Formula::Node::kLiteral, {""}});
    }
    if (Accept("(")) {
      int inner = Or();
      if (!Accept(")")) SetError(kErrFormulaSyntax, pos_);
      return inner;
    }
    if (text_[pos_] == '"') return Literal();
    std::string word = Word();
    if (word.empty()) {
      SetError(kErrFormulaSyntax, at);
      return Add({Formula::Node::kLiteral, {""}});
    }
    if (word[0] == '@') return Function(word, at);
    std::string key = UpperAscii(word);
    auto it = std::find(f_->fields_.begin(), f_->fields_.end(), key);
    Formula::Node n{Formula::Node::kField, {}, static_cast<int>(it - f_->fields_.begin())};
    if (it == f_->fields_.end()) f_->fields_.push_back(key);
    return Add(n);
  }
  int Literal() {
    size_t at = pos_++;
    std::string value;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) ++pos_;
      value.push_back(text_[pos_++]);
    }
    if (pos_ >= text_.size()) {
      SetError(kErrFormulaUnterminated, at);
    } else {
      ++pos_;
    }
    return Add({Formula::Node::kLiteral, {value}});
  }
  int Function(const std::string& word, size_t at) {
    std::string name = UpperAscii(word);
    Formula::Node::Kind kind;
    if (name == "@UPPERCASE") {
      kind = Formula::Node::kUpper;
    } else if (name == "@LOWERCASE") {
      kind = Formula::Node::kLower;
    } else {
      SetError(kErrFormulaFunction, at);
      return Add({Formula::Node::kLiteral, {""}});
    }
    if (!Accept("(")) SetError(kErrFormulaSyntax, pos_);
    int arg = Or();
    if (!status_ && !Accept(")")) SetError(kErrFormulaSyntax, pos_);
    if (!status_ && f_->nodes_[arg].IsBool()) SetError(kErrFormulaType, at);
    return Add({kind, {}, -1, arg});
  }

  std::string_view text_;
  Formula* f_;
  size_t pos_ = 0;
  vp::NotesStatus status_ = 0;
  size_t errorAt_ = 0;
  int nesting_ = 0;          // Or() calls under way: the parser's own recursion
  std::vector<int> depths_;  // of each node's tree, parallel to the nodes
};

vp::NotesStatus Formula::Compile(std::string_view text, std::unique_ptr<Formula>* formula,
                                 vp::FormulaError* error) {
  std::unique_ptr<Formula> f(new Formula());
  FormulaParser parser(text, f.get());
  vp::NotesStatus status = parser.Parse(error);
  if (status) return status;
  *formula = std::move(f);
  return 0;
}

bool Formula::Selects(const FieldValues& values) const {
  return EvalBool(root_, values);
}

bool Formula::EvalBool(int index, const FieldValues& values) const {
  const Node& n = nodes_[index];
  switch (n.kind) {
    case Node::kAnd:
      return EvalBool(n.a, values) && EvalBool(n.b, values);
    case Node::kOr:
      return EvalBool(n.a, values) || EvalBool(n.b, values);
    case Node::kEqual:
    case Node::kNotEqual: {
      const auto& left = EvalText(n.a, values);
      const auto& right = EvalText(n.b, values);
      bool any = false;
      for (const auto& l : left) {
        for (const auto& r : right) any = any || l == r;
      }
      return n.kind == Node::kEqual ? any : !any;
    }
    default:
      return false;  // text nodes never reach here: the compiler checks the types
  }
}

const std::vector<std::string>& Formula::EvalText(int index, const FieldValues& values) const {
  static const std::vector<std::string> kMissing{""};
  const Node& n = nodes_[index];
  switch (n.kind) {
    case Node::kLiteral:
      return n.literal;
    case Node::kField: {
      const auto* v = static_cast<size_t>(n.field) < values.size() ? values[n.field] : nullptr;
      return v ? *v : kMissing;
    }
    default: {
      auto& out = scratch_[index];
      out = EvalText(n.a, values);
      for (auto& s : out) {
        for (char& c : s) {
          if (n.kind == Node::kUpper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
          if (n.kind == Node::kLower && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        }
      }
      return out;
    }
  }
}

}  // namespace notesemu
