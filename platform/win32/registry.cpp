// Registry port on Windows: keys under HKEY_CURRENT_USER, opened with create-if-missing
// semantics (non-volatile, full access, the caller's class text).
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/faults.h"
#include "platform/registry.h"

namespace vp {

struct RegistryKeyObject {
  HKEY key;
};

bool RegistryOpenOrCreate(const char* path, const char* className, RegistryKey* key) {
  *key = nullptr;
  if (FaultHit("registry.open")) return false;
  HKEY opened = nullptr;
  DWORD disposition = 0;
  LONG rc =
      RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, const_cast<char*>(className),
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, &disposition);
  if (rc != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(rc));
    return false;
  }
  *key = new RegistryKeyObject{opened};
  return true;
}

bool RegistryReadDword(RegistryKey key, const char* name, uint32_t* value) {
  if (!key || FaultHit("registry.read")) return false;
  DWORD type = 0, data = 0, size = sizeof data;
  LONG rc = RegQueryValueExA(key->key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return false;
  *value = data;
  return true;
}

bool RegistryReadString(RegistryKey key, const char* name, char* buf, size_t capacity) {
  if (!key || !buf || capacity == 0 || FaultHit("registry.read")) return false;
  // Read into a copy one byte larger, so that a value stored without its terminator can be
  // told from one that fills the buffer exactly, and the caller's buffer is untouched on failure.
  std::string data(capacity + 1, '\0');
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(capacity);
  LONG rc =
      RegQueryValueExA(key->key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  size_t length = strnlen(data.data(), size);
  if (length + 1 > capacity) return false;
  std::memcpy(buf, data.data(), length + 1);
  return true;
}

bool RegistryWriteDword(RegistryKey key, const char* name, uint32_t value) {
  if (!key || FaultHit("registry.write")) return false;
  DWORD data = value;
  LONG rc = RegSetValueExA(key->key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                           sizeof data);
  return rc == ERROR_SUCCESS && RegFlushKey(key->key) == ERROR_SUCCESS;
}

bool RegistryWriteString(RegistryKey key, const char* name, const char* value) {
  if (!key || !value || FaultHit("registry.write")) return false;
  size_t size = strlen(value) + 1;
  if (size > 0x7FFFFFFF) return false;
  LONG rc = RegSetValueExA(key->key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(size));
  return rc == ERROR_SUCCESS && RegFlushKey(key->key) == ERROR_SUCCESS;
}

void RegistryClose(RegistryKey key) {
  if (!key) return;
  RegCloseKey(key->key);
  delete key;
}

}  // namespace vp
