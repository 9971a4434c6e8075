// Registry port: the per-user configuration key store (a .reg file on POSIX).
#pragma once
#include <cstddef>
#include <cstdint>

namespace vp {

struct RegistryKeyObject;
using RegistryKey = RegistryKeyObject*;

// Opens the key at `path` (backslash-separated, under the current user); a missing key is
// created by the first value written to it, so opening alone never writes (on Windows the key is
// created at once, as the system's open-or-create call does). `className` may be
// null. Returns false when the settings cannot be read; *key is then null. The caller closes a
// key it opened with RegistryClose.
bool RegistryOpenOrCreate(const char* path, const char* className, RegistryKey* key);

// Reads a 32-bit value. False when the value is missing, unreadable, or not stored as a 32-bit
// number (a text "5" is not 5); *value is then unchanged.
bool RegistryReadDword(RegistryKey key, const char* name, uint32_t* value);

// Reads a string value with its terminator into buf (capacity bytes). False when the value is
// missing, not stored as a string, or does not fit with its terminator; buf is then unchanged.
bool RegistryReadString(RegistryKey key, const char* name, char* buf, size_t capacity);

// Writes a value; the change is durable when the call returns true.
bool RegistryWriteDword(RegistryKey key, const char* name, uint32_t value);
bool RegistryWriteString(RegistryKey key, const char* name, const char* value);

void RegistryClose(RegistryKey key);

}  // namespace vp
