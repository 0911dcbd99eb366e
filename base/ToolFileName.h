#pragma once

// The product's patching tool, as every part of the launcher names it in its
// log lines; below the installation folder it is installer\<this>.
inline constexpr wchar_t ToolFileName[] = L"rivlet.exe";
