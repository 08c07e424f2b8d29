// The Qt and standard headers nearly every unit includes, compiled once.
#pragma once

#include <QtCore>
#include <QtGui>
#include <QtNetwork>
#include <QtWidgets>
#if __has_include(<QtTest>)
#include <QtTest>
#endif

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
