// The headers of the window's libraries (Gui, Widgets, Multimedia on top of the press's), precompiled
// once per build like IntestazioniBase.h. Only declarations: what a library links is still decided
// by its own target_link_libraries.
#pragma once

#include "IntestazioniBase.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QDesktopServices>
#include <QDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolTip>
#include <QValidator>
#include <QWidget>
