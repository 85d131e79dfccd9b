// Precompiled for the window library and the programs on it: the Qt Widgets headers that
// nearly every window includes.
#pragma once
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <string>
#include <string_view>
#include <vector>
