// What the process tests and their helper program agree on.
//
//   winproc_helper window <class name> <window name>
//       holds a window marker and waits until it is asked to close, then ends
//       with ClosedExitCode.
//   winproc_helper report <file>
//       writes what it was started with to the file, one "key=value" a line:
//       show (the show mode, or "none"), folder (its working folder) and
//       descriptors (open descriptors besides 0, 1 and 2, comma-separated).
#pragma once

namespace WinprocHelper {
constexpr const char* WindowMode = "window";
constexpr const char* ReportMode = "report";
constexpr int ClosedExitCode = 7;
constexpr int FailedExitCode = 3;
}
