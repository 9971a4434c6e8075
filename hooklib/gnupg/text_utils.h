// Small text utilities of the GnuPG engine: prefixes, colon fields, Notes names and domains.
#pragma once

namespace vp {

// 1 when text begins with prefix (case-sensitive), else 0.
int StartsWith(const char* text, const char* prefix);

// Copies field n (n >= 1) of a colon-separated record into dest (capacity bytes, cut to fit).
// dest is left unchanged when the record has fewer fields or the field has no closing colon.
void GetColonField(const char* line, int n, char* dest, int capacity);

// Rewrites a Notes name or address in place (at most 255 characters are kept): a name without
// "<" is cut at its first "/", and every "@smtp" and every kSiteDomainSuffix is removed,
// ignoring case. Returns name.
char* NormalizeNotesName(char* name);

// The second domain suffix that NormalizeNotesName removes: the Notes mail domain of the site,
// so that "Bob@notesdom" addresses become plain names. Seven characters with the at sign.
constexpr const char* kSiteDomainSuffix = "@notes1";

// Points after the first "@" of text and ends the text at the first ">" after it; null when
// text has no "@".
char* GetDomainPart(char* text);

}  // namespace vp
