// Precompiled for the tests that drive real windows: Qt Widgets, Qt Test and GoogleTest.
#pragma once
#include "ui.h"
#include <QTest>
#include <gtest/gtest.h>
