#include "cli/ConsoleMessages.h"

#include <QStringList>
#include <cstdio>

void ConsoleMessages::write(const QString& prefix, const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    std::fputs((prefix + t + QChar('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void ConsoleMessages::information(const QString& text) {
    write(QString(), text);
}

void ConsoleMessages::error(const QString& text) {
    ++m_errors;
    write(QStringLiteral("Fehler: "), text);
}

bool ConsoleMessages::question(const QString& text) {
    ++m_questions;
    write(QStringLiteral("Frage: "),
          text + (m_answer ? QStringLiteral("\nAntwort: Ja") : QStringLiteral("\nAntwort: Nein")));
    return m_answer;
}

bool ConsoleMessages::destructiveQuestion(const QString& text) {
    ++m_questions;
    write(QStringLiteral("Frage: "), text + QStringLiteral("\nAntwort: Nein"));
    return false;
}

Messages::Answer ConsoleMessages::questionYesNoAbort(const QString& text) {
    ++m_questions;
    write(QStringLiteral("Frage: "), text + QStringLiteral("\nAntwort: Abbrechen"));
    return Answer::Abort;
}

void ConsoleMessages::progressText(const QString& text) {
    if (text.isEmpty())
        return;
    // "Word: done von total": the first and last step and every thousandth.
    const QStringList parts = text.split(QChar(' '));
    const qsizetype von = parts.indexOf(QStringLiteral("von"));
    if (von >= 1 && von + 1 < parts.size()) {
        const qint64 done = parts[von - 1].toLongLong();
        const qint64 total = parts[von + 1].toLongLong();
        if (done != 1 && done != total && done % 1000 != 0)
            return;
    }
    write(QString(), text);
}
