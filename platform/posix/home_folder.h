// The user's home folder as the password database names it.
#pragma once
#include <string>

namespace vp {

// The home folder of the effective user from the password database, not $HOME, so every process
// of the user agrees on it whatever its environment; "" when none is listed or it is not an
// absolute path.
std::string PasswordHomeFolder();

}  // namespace vp
