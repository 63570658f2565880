#include "shell/forms/QtMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace {
const QString title = QStringLiteral("Quillon");
}

QString QtMessages::displayText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    return t;
}

QWidget* QtMessages::parentWidget() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

void QtMessages::information(const QString& text) {
    QMessageBox::information(parentWidget(), title, displayText(text));
}

void QtMessages::error(const QString& text) {
    QMessageBox::critical(parentWidget(), title, displayText(text));
}

bool QtMessages::question(const QString& text) {
    return QMessageBox::question(parentWidget(), title, displayText(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

Messages::Answer QtMessages::questionYesNoAbort(const QString& text) {
    const auto b = QMessageBox::question(parentWidget(), title, displayText(text),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort,
                                         QMessageBox::Yes);
    if (b == QMessageBox::Yes)
        return Answer::Yes;
    if (b == QMessageBox::No)
        return Answer::No;
    return Answer::Abort;
}
