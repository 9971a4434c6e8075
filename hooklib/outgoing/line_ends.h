// Text-mode line ends, done by the code itself so that every platform writes and reads the same
// bytes: a text handed to GnuPG has CR LF line ends, a text read back has LF.
#pragma once
#include <cstddef>
#include <string>

namespace vp {

// Every LF becomes CR LF (an LF already preceded by CR gets a second CR, as a text-mode write
// does).
std::string ToCrLf(const char* text);

// Every CR LF pair becomes LF, in place; lone CRs stay. Returns the new length.
size_t CrLfToLf(char* text, size_t length);

}  // namespace vp
