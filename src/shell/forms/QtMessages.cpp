#include "shell/forms/QtMessages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace {

const QString title = QStringLiteral("Quillon");

// The box's own button texts, so they read German whether or not Qt's translations
// are installed.
QString buttonText(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return QStringLiteral("&Ja");
    case QMessageBox::No:
        return QStringLiteral("&Nein");
    case QMessageBox::Abort:
        return QStringLiteral("Abbrechen");
    default:
        return QStringLiteral("OK");
    }
}

QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& text,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, QtMessages::displayText(text), buttons,
                    QtMessages::parentWidget());
    for (QAbstractButton* b : box.buttons())
        b->setText(buttonText(box.standardButton(b)));
    box.setDefaultButton(defaultButton);
    // Esc answers "Nein" in a Yes/No box, never "Ja".
    if (buttons == (QMessageBox::Yes | QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

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
    show(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessages::error(const QString& text) {
    show(QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessages::question(const QString& text) {
    return show(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtMessages::destructiveQuestion(const QString& text) {
    return show(QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

Messages::Answer QtMessages::questionYesNoAbort(const QString& text) {
    const auto b = show(QMessageBox::Question, text,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort, QMessageBox::Yes);
    if (b == QMessageBox::Yes)
        return Answer::Yes;
    if (b == QMessageBox::No)
        return Answer::No;
    return Answer::Abort;
}
