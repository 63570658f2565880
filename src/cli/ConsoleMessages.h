#pragma once
#include "common/Messages.h"

// Messages of the command line: every text goes to standard error, one line per line
// of the box ("\r" becomes a line break). Nobody can answer a question, so each gets a
// fixed answer, written after it: destructive questions "Nein"; the others the answer
// set for the command (a send run stops on a connection problem).
class ConsoleMessages : public Messages {
public:
    void information(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;
    bool destructiveQuestion(const QString& text) override;
    Answer questionYesNoAbort(const QString& text) override;

    // Status lines of long loops ("Import: 5000 von 100000"), one in a thousand shown.
    void progressText(const QString& text);

    void setQuestionAnswer(bool yes) { m_answer = yes; }
    int errorCount() const { return m_errors; }
    int questionCount() const { return m_questions; }

private:
    void write(const QString& prefix, const QString& text);

    bool m_answer = false;
    int m_errors = 0;
    int m_questions = 0;
    QString m_lastWord;
};
