// The Qt and standard headers nearly every unit includes, compiled once. Kept
// to what the units use: a header of every Qt module would make each unit load
// hundreds of megabytes.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#if __has_include(<QWidget>)
#include <QWidget>
#endif
#if __has_include(<QTest>)
#include <QSignalSpy>
#include <QTest>
#endif

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
