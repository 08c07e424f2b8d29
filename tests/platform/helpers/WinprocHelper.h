// What the process tests and their helper program agree on.
//
//   winproc_helper window <class name> <window name>
//       holds a window marker and waits until it is asked to close, then ends
//       with ClosedExitCode.
#pragma once

namespace WinprocHelper {
constexpr const char* WindowMode = "window";
constexpr int ClosedExitCode = 7;
constexpr int FailedExitCode = 3;
}
