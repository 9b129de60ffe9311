#pragma once

// The heavy headers that nearly every test programme includes, parsed once for all of them.

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QString>
#include <QWidget>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
