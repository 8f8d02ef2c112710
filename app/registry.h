// Registry access of the engine and the installer over the registry store:
// one value read into an APValue, value writes and deletes, key creation and
// deletion. Paths use "/" (a "\" works too); messages show them with "\" as
// the engine has always written them. Results are the Windows codes: 2
// missing key or value, 5 a key that still has subkeys or a store that
// cannot be read or written, 6 an unknown hive, 87 a key deeper than 512
// levels or with a name over 255 characters (with a WARN naming it), 1630 an
// unsupported value type. Any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "script/ap_value.h"

constexpr uint32_t HKEY_CURRENT_USER_ID = 0x80000001;
constexpr uint32_t HKEY_LOCAL_MACHINE_ID = 0x80000002;

// A DWORD value gives an integer, a string value a string; any other type
// fails with 1630.
bool Win32RegRead(uint32_t hive, std::u16string_view path, std::u16string_view valueName, APValue* value,
                  int32_t* error);
// An integer is written as a DWORD, a string as a string; a boolean is
// refused with 1630. Missing keys on the way are created.
bool Win32RegWrite(uint32_t hive, std::u16string_view path, std::u16string_view valueName,
                   const APValue& value, int32_t* error);
bool Win32RegDelete(uint32_t hive, std::u16string_view path, std::u16string_view valueName, int32_t* error);
bool Win32RegMkdir(uint32_t hive, std::u16string_view path, int32_t* error);
// Only a key without subkeys can be deleted; with onlyWhenEmpty only one
// without values too (5 otherwise).
bool Win32RegDeleteKey(uint32_t hive, std::u16string_view path, int32_t* error, bool onlyWhenEmpty = false);
// True when the key exists.
bool Win32RegKeyExists(uint32_t hive, std::u16string_view path);
