#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

namespace {
const char* kindName(ScriptedMessages::Kind k) {
    switch (k) {
    case ScriptedMessages::Kind::Information:
        return "information";
    case ScriptedMessages::Kind::Error:
        return "error";
    case ScriptedMessages::Kind::Question:
        return "question";
    case ScriptedMessages::Kind::DestructiveQuestion:
        return "destructive question";
    case ScriptedMessages::Kind::QuestionYesNoAbort:
        return "question3";
    }
    return "?";
}
} // namespace

ScriptedMessages::ScriptedMessages() {
    Messages::install(this);
}

ScriptedMessages::~ScriptedMessages() {
    Messages::install(nullptr);
    for (const auto& e : m_expected)
        ADD_FAILURE() << "expected " << kindName(e.kind)
                      << " box was not shown: " << e.text.toStdString();
}

ScriptedMessages& ScriptedMessages::expectInformation(const QString& text) {
    m_expected.append({Kind::Information, text});
    return *this;
}

ScriptedMessages& ScriptedMessages::expectError(const QString& text) {
    m_expected.append({Kind::Error, text});
    return *this;
}

ScriptedMessages& ScriptedMessages::expectAnyError() {
    m_expected.append({Kind::Error, QString(), Answer::No, true});
    return *this;
}

ScriptedMessages& ScriptedMessages::expectQuestion(const QString& text, bool yes) {
    m_expected.append({Kind::Question, text, yes ? Answer::Yes : Answer::No});
    return *this;
}

ScriptedMessages& ScriptedMessages::expectDestructiveQuestion(const QString& text, bool yes) {
    m_expected.append({Kind::DestructiveQuestion, text, yes ? Answer::Yes : Answer::No});
    return *this;
}

ScriptedMessages& ScriptedMessages::expectQuestion3(const QString& text, Answer answer) {
    m_expected.append({Kind::QuestionYesNoAbort, text, answer});
    return *this;
}

ScriptedMessages::Expected ScriptedMessages::take(Kind kind, const QString& text) {
    m_shown.append(text);
    if (m_expected.isEmpty()) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << " box: " << text.toStdString();
        return {kind, text};
    }
    Expected e = m_expected.takeFirst();
    if (e.kind != kind || (!e.anyText && e.text != text))
        ADD_FAILURE() << "expected " << kindName(e.kind) << " \"" << e.text.toStdString()
                      << "\" but got " << kindName(kind) << " \"" << text.toStdString() << "\"";
    return e;
}

void ScriptedMessages::information(const QString& text) {
    take(Kind::Information, text);
}

void ScriptedMessages::error(const QString& text) {
    take(Kind::Error, text);
}

bool ScriptedMessages::question(const QString& text) {
    return take(Kind::Question, text).answer == Answer::Yes;
}

bool ScriptedMessages::destructiveQuestion(const QString& text) {
    return take(Kind::DestructiveQuestion, text).answer == Answer::Yes;
}

Messages::Answer ScriptedMessages::questionYesNoAbort(const QString& text) {
    return take(Kind::QuestionYesNoAbort, text).answer;
}
