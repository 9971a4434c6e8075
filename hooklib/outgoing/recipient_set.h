// The working set of one recipient resolution: names in byte-wise order, each once.
//
// Names are compared as unsigned bytes (capital Z before small a), equal only when byte-equal.
// Blank names (empty, or only spaces up to the end or up to a line feed) are never held.
#pragma once
#include <set>
#include <string>

namespace vp {

class RecipientSet {
 public:
  using Names = std::set<std::string>;  // std::string orders by unsigned bytes
  using Position = Names::iterator;

  // The longest name the set holds (a 256-byte field with its terminating zero).
  static constexpr size_t kMaxName = 255;

  static bool IsBlank(const char* name);

  // Adds a name in its place; a blank name or one already held is ignored. False (nothing
  // added) when the name is longer than kMaxName.
  bool Add(const char* name);

  // Removes the name at `at` and returns the position of the name that follows it.
  Position Remove(Position at) { return names_.erase(at); }

  Position begin() { return names_.begin(); }
  Position end() { return names_.end(); }
  size_t size() const { return names_.size(); }
  void Clear() { names_.clear(); }

 private:
  Names names_;
};

}  // namespace vp
