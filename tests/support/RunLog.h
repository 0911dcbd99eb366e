#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"

namespace testing_support {

// The log folder a launcher in this prefix writes to.
std::wstring LogFolder();

struct RunLog {
  bool Found = false;
  int FileCount = 0;        // files named for the run's process id and time; a run leaves exactly one
  std::wstring Path;
  std::string Bytes;        // raw file content
  std::vector<std::string> Lines;  // without BOM and CR LF
  std::vector<std::string> Messages;  // lines without their timestamp prefix

  bool Has(const std::string& message) const;
  bool HasPrefix(const std::string& prefix) const;
  // Index of the first message equal to the given one, or -1.
  int IndexOf(const std::string& message) const;
};

// The log of this launcher run: named for its process id and for a second
// within its run time (process ids are reused, so the id alone is not
// enough). The file is removed once read: Wine hands out a freed process id
// again at once, and a later run in the same second would append to it.
RunLog ReadRunLog(const ProgramResult& run);
RunLog ReadRunLog(DWORD processId, long long startSeconds, long long endSeconds);
RunLog ReadLogFile(const std::wstring& path);

// The first second from which a launcher with this process id finds no log
// of that name (a log left behind has the second it was made in).
long long FirstFreeLogSecond(DWORD processId);

// Names of the files in the log folder, to find the log of a launcher that
// something else started.
std::set<std::wstring> LogFileNames();
// The one log file that is not among `before`; not found when there is none
// or more than one (FileCount says how many).
RunLog ReadLogAddedSince(const std::set<std::wstring>& before);

}  // namespace testing_support
