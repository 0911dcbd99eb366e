#include "tests/support/EventTrace.h"

#include <algorithm>
#include <cstdio>

namespace testing_support {

namespace {

// The text of L"..." as Wine's debugstr_w writes it: \\, \", \n, \r, \t, and
// \xxxx for a character beyond ASCII.
std::wstring Unescape(const std::string& quoted) {
  std::wstring text;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 1 >= quoted.size()) {
      text += static_cast<wchar_t>(static_cast<unsigned char>(quoted[i]));
      continue;
    }
    const char next = quoted[++i];
    if (next == 'n') {
      text += L'\n';
    } else if (next == 'r') {
      text += L'\r';
    } else if (next == 't') {
      text += L'\t';
    } else if (std::isxdigit(static_cast<unsigned char>(next)) && i + 3 < quoted.size()) {
      text += static_cast<wchar_t>(std::stoul(quoted.substr(i, 4), nullptr, 16));
      i += 3;
    } else {
      text += static_cast<wchar_t>(next);
    }
  }
  return text;
}

struct Call {
  std::string Thread;
  ReportedEvent Event;
};

}  // namespace

void EventTrace::Enable(programs::EnvironmentChanges& environment) {
  // After what the program was already asked to print.
  std::optional<std::wstring>& channels = environment[L"WINEDEBUG"];
  const std::wstring asked = channels && !channels->empty() ? L"," + *channels : L"";
  channels = L"-all,fixme+advapi,+eventlog" + asked;
}

std::vector<ReportedEvent> EventTrace::Events() const {
  std::vector<Call> calls;
  const std::string text = Output.Since();
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    const std::size_t lineEnd = text.find('\n', lineStart);
    const std::string line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    const std::string thread = line.substr(0, line.find(':'));
    if (const std::size_t call = line.find(":fixme:advapi:ReportEventW ("); call != std::string::npos) {
      unsigned type = 0, category = 0, id = 0, count = 0;
      if (std::sscanf(line.c_str() + call + 28, "%*[^,],0x%x,0x%x,0x%x,%*[^,],0x%x", &type, &category, &id,
                      &count) == 4) {
        calls.push_back({thread, {static_cast<WORD>(type), id, static_cast<int>(count), {}}});
      }
      continue;
    }
    const std::size_t string = line.find(":eventlog:ReportEventW L\"");
    if (string == std::string::npos || line.size() < 2 || line.back() != '"') continue;
    // The string belongs to its thread's latest call.
    const auto owner = std::find_if(calls.rbegin(), calls.rend(), [&](const Call& c) { return c.Thread == thread; });
    const std::size_t quoted = string + 25;
    if (owner != calls.rend()) owner->Event.Strings.push_back(Unescape(line.substr(quoted, line.size() - 1 - quoted)));
  }
  std::vector<ReportedEvent> events;
  for (const Call& call : calls) events.push_back(call.Event);
  return events;
}

std::vector<ReportedEvent> EventTrace::WaitForEventsWith(const std::wstring& text, std::size_t count,
                                                         DWORD timeoutMs) const {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    std::vector<ReportedEvent> found;
    for (const ReportedEvent& event : Events()) {
      if (std::find(event.Strings.begin(), event.Strings.end(), text) != event.Strings.end()) found.push_back(event);
    }
    if (found.size() >= count || GetTickCount64() >= deadline) return found;
    Sleep(100);
  }
}

}  // namespace testing_support
