#include "app/registry.h"

#include <string>

#include "app/log.h"
#include "platform/registry_store.h"

namespace {

constexpr int32_t kInvalidHandle = 6;

bool hiveOf(uint32_t hive, platform::RegistryHive* out) {
  if (hive == HKEY_CURRENT_USER_ID) {
    *out = platform::RegistryHive::kCurrentUser;
  } else if (hive == HKEY_LOCAL_MACHINE_ID) {
    *out = platform::RegistryHive::kLocalMachine;
  } else {
    return false;
  }
  return true;
}

std::u16string backslashed(std::u16string_view path) {
  std::u16string out(path);
  for (char16_t& c : out) {
    if (c == u'/') c = u'\\';
  }
  return out;
}

void setError(int32_t* error, int32_t code) {
  if (error) *error = code;
}

// A key the store refuses for its depth or a name's length is named in one
// WARN by the call that met it.
void warnRefusedKey(int rc, std::u16string_view call, std::u16string_view path) {
  if (rc != platform::kRegInvalidParameter) return;
  LogWrite(LOG_WARN, u"%s:レジストリキーが%d階層より深いか、%d文字より長い名前を含みます(%s)\n", std::u16string(call),
           static_cast<int32_t>(platform::kMaxKeyDepth), static_cast<int32_t>(platform::kMaxKeyNameLength),
           backslashed(path));
}

}  // namespace

bool Win32RegRead(uint32_t hive, std::u16string_view path, std::u16string_view valueName, APValue* value,
                  int32_t* error) {
  platform::RegistryHive which;
  int rc = hiveOf(hive, &which) ? platform::RegistryKeyExists(which, path) : kInvalidHandle;
  if (rc != platform::kRegOk) {
    setError(error, rc);
    warnRefusedKey(rc, u"Win32RegRead", path);
    LogWrite(LOG_DEBUG, u"Win32RegRead:レジストリパスがありません(%s)\n", backslashed(path));
    return false;
  }
  platform::RegistryValue stored;
  rc = platform::RegistryReadValue(which, path, valueName, &stored);
  if (rc != platform::kRegOk) {
    setError(error, rc);
    LogWrite(LOG_DEBUG, u"Win32RegRead:レジストリキーがありません(%s)\n", std::u16string(valueName));
    return false;
  }
  if (stored.type == platform::kRegDword) {
    *value = APValue(static_cast<int32_t>(stored.dword));
  } else if (stored.type == platform::kRegSz) {
    // The text up to its terminator.
    const size_t end = stored.text.find(u'\0');
    *value = APValue(end == std::u16string::npos ? stored.text : stored.text.substr(0, end));
  } else {
    LogWrite(LOG_DEBUG, u"Win32RegRead:扱えない値の型です(%d)\n", stored.type);
    setError(error, platform::kRegUnsupportedType);
    return false;
  }
  return true;
}

bool Win32RegWrite(uint32_t hive, std::u16string_view path, std::u16string_view valueName,
                   const APValue& value, int32_t* error) {
  platform::RegistryHive which;
  int rc = hiveOf(hive, &which) ? platform::kRegOk : kInvalidHandle;
  if (rc == platform::kRegOk && !value.isBool()) {
    rc = platform::RegistryCreateKey(which, path);
  }
  if (rc != platform::kRegOk) {
    setError(error, rc);
    warnRefusedKey(rc, u"Win32RegWrite", path);
    LogWrite(LOG_DEBUG, u"Win32RegWrite:レジストリパスがありません(%s)\n", backslashed(path));
    return false;
  }
  const std::u16string name(valueName);
  platform::RegistryValue stored;
  if (value.isInt()) {
    stored.type = platform::kRegDword;
    stored.dword = static_cast<uint32_t>(value.ivalue);
    rc = platform::RegistryWriteValue(which, path, valueName, stored);
    if (rc != platform::kRegOk) {
      setError(error, rc);
      LogWrite(LOG_DEBUG, u"Win32RegWrite:値の書き込みに失敗(REG_DWORD:%s,%d)\n", name, value.ivalue);
      return false;
    }
    return true;
  }
  if (value.isString()) {
    stored.type = platform::kRegSz;
    stored.text = value.svalue;
    rc = platform::RegistryWriteValue(which, path, valueName, stored);
    if (rc != platform::kRegOk) {
      setError(error, rc);
      LogWrite(LOG_DEBUG, u"Win32RegWrite:値の書き込みに失敗(REG_SZ:%s,%s)\n", name, value.svalue);
      return false;
    }
    return true;
  }
  LogWrite(LOG_DEBUG, u"Win32RegWrite:扱えない値の型です\n");
  setError(error, platform::kRegUnsupportedType);
  return false;
}

bool Win32RegDelete(uint32_t hive, std::u16string_view path, std::u16string_view valueName, int32_t* error) {
  platform::RegistryHive which;
  int rc = hiveOf(hive, &which) ? platform::RegistryKeyExists(which, path) : kInvalidHandle;
  if (rc != platform::kRegOk) {
    setError(error, rc);
    warnRefusedKey(rc, u"Win32RegDelete", path);
    LogWrite(LOG_DEBUG, u"Win32RegDelete:レジストリサブキーがありません(%s)\n", backslashed(path));
    return false;
  }
  rc = platform::RegistryDeleteValue(which, path, valueName);
  if (rc != platform::kRegOk) {
    setError(error, rc);
    LogWrite(LOG_DEBUG, u"Win32RegDelete:削除に失敗(%s)\n", std::u16string(valueName));
    return false;
  }
  return true;
}

bool Win32RegMkdir(uint32_t hive, std::u16string_view path, int32_t* error) {
  platform::RegistryHive which;
  const int rc = hiveOf(hive, &which) ? platform::RegistryCreateKey(which, path) : kInvalidHandle;
  if (rc != platform::kRegOk) {
    setError(error, rc);
    warnRefusedKey(rc, u"Win32RegMkdir", path);
    LogWrite(LOG_DEBUG, u"Win32RegMkdir:レジストリサブキーの作成に失敗しました(%s)\n", backslashed(path));
    return false;
  }
  return true;
}

bool Win32RegDeleteKey(uint32_t hive, std::u16string_view path, int32_t* error, bool onlyWhenEmpty) {
  platform::RegistryHive which;
  const int rc = hiveOf(hive, &which) ? platform::RegistryDeleteKey(which, path, onlyWhenEmpty) : kInvalidHandle;
  if (rc != platform::kRegOk) {
    setError(error, rc);
    warnRefusedKey(rc, u"Win32RegDeleteKey", path);
    return false;
  }
  return true;
}

bool Win32RegKeyExists(uint32_t hive, std::u16string_view path) {
  platform::RegistryHive which;
  return hiveOf(hive, &which) && platform::RegistryKeyExists(which, path) == platform::kRegOk;
}
