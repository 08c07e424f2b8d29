// A main that runs several test classes under one application object and
// adds up their failures:
//   TURVISTA_TEST_MAIN(TestA, TestB)          widgets
//   TURVISTA_TEST_GUILESS_MAIN(TestA, TestB)  no widgets
// or, where the run needs setting up first, RunTests<App, TestA, TestB>().
#pragma once

#include "platform/Timing.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTest>

// The program's clocks run ten times faster in tests, as the test server's
// control does (ServerProcess::Options::tickMs); a test may turn them further
// down where it waits for a long time-out.
constexpr double TestTimeScale = 0.1;

template <class App, class... Tests>
int RunTests(int argc, char** argv)
{
    App app(argc, argv);
    Timing::SetScale(TestTimeScale);
    int failed = 0;
    // The test library reports an exception that escapes a test function and
    // then raises it again; catching it here lets the other classes run.
    auto run = [&](QObject&& test) {
        try {
            failed += QTest::qExec(&test, argc, argv);
        } catch (...) {
            ++failed;
        }
    };
    (run(Tests()), ...);
    return failed;
}

#define TURVISTA_TEST_MAIN(...)                                                                                   \
    int main(int argc, char** argv) { return RunTests<QApplication, __VA_ARGS__>(argc, argv); }
#define TURVISTA_TEST_GUILESS_MAIN(...)                                                                           \
    int main(int argc, char** argv) { return RunTests<QCoreApplication, __VA_ARGS__>(argc, argv); }
