#pragma once

// Helpers shared by the widget tests: finding the program's message boxes among the top-level
// widgets, and writing settings files.

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>

namespace aiuti {

inline QMessageBox* messaggioAperto() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

// Waits for a message box, checks it and closes it with the given button.
inline bool chiudiMessaggio(const QString& titolo, const QString& testo, QMessageBox::Icon icona,
                            QMessageBox::StandardButton pulsante = QMessageBox::Ok) {
    if (!QTest::qWaitFor([] { return messaggioAperto() != nullptr; }, 3000)) {
        qWarning("no message box appeared (expected \"%s\")", qPrintable(testo));
        return false;
    }
    QMessageBox* box = messaggioAperto();
    const bool ok = box->windowTitle() == titolo && box->text() == testo && box->icon() == icona;
    if (!ok)
        qWarning("message box \"%s\" / \"%s\" (icon %d), expected \"%s\" / \"%s\" (icon %d)",
                 qPrintable(box->windowTitle()), qPrintable(box->text()), int(box->icon()),
                 qPrintable(titolo), qPrintable(testo), int(icona));
    QTest::mouseClick(box->button(pulsante), Qt::LeftButton);
    (void)QTest::qWaitFor([box] { return messaggioAperto() != box; }, 1000);
    return ok;
}

inline void scriviFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

inline QByteArray leggiFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace aiuti
