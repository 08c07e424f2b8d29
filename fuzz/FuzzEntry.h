// What every fuzz target shares. A target defines FUZZ_ENTRY(data, size): for
// libFuzzer that is LLVMFuzzerTestOneInput; the corpus replay program, which
// holds all targets, gives each its own name (fuzz/replay.cpp).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifndef FUZZ_ENTRY
#define FUZZ_ENTRY LLVMFuzzerTestOneInput
#endif

namespace fuzz {

// A finding: says what broke and stops, so that the fuzzer keeps the input.
[[noreturn]] inline void Fail(const char* target, const QString& what)
{
    std::fprintf(stderr, "%s: %s\n", target, what.toLocal8Bit().constData());
    std::abort();
}

// A private folder for the files of one process; emptied when it ends.
inline const QTemporaryDir& Scratch()
{
    static const QTemporaryDir dir;
    return dir;
}

// Writes bytes to a file of the scratch folder and returns its path.
inline QString WriteFile(const QString& name, const QByteArray& bytes)
{
    const QString path = Scratch().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        Fail("fuzz", QStringLiteral("cannot write %1").arg(path));
    return path;
}

} // namespace fuzz
