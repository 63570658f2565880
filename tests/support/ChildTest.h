#pragma once
#include <QCoreApplication>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>

// Starts a disabled test of this test program in a child process (for tests that kill it
// halfway), with further environment variables; its output is merged for the messages.
inline void startChildTest(QProcess& child, const QString& test,
                           const QList<QPair<QString, QString>>& variables) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : variables)
        env.insert(name, value);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=" + test});
}
