#pragma once

#include <string>

// Splits one option token exactly as the first match of (/|--|-)?([^=]*)(=(.*))?
// in the ECMAScript grammar does: at most one prefix, tried as "/", "--", "-";
// the name up to the first "="; after that "=" the value, up to the first line
// terminator (CR, LF, U+2028 or U+2029), where ECMAScript's "." stops. The name
// is always assigned, the value only when the token holds a "=".
void SplitOption(const wchar_t* token, std::wstring& name, std::wstring& value);
