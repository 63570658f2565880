#pragma once
#include "support/SmtpTestServer.h"

#include <QByteArray>
#include <QEventLoop>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>

// Decodes quoted-printable text (soft line breaks included) back to its bytes.
inline QByteArray decodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out.append(in[i]);
            continue;
        }
        if (in.mid(i + 1, 2) == "\r\n") {
            i += 2;
            continue;
        }
        out.append(char(in.mid(i + 1, 2).toInt(nullptr, 16)));
        i += 2;
    }
    return out;
}

// Keeps the event loop turning for a while (a transfer on its worker thread goes on).
inline void settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Every recipient of the messages that arrived, sorted.
inline QStringList recipientsOf(const QList<SmtpTestServer::Received>& got) {
    QStringList all;
    for (const auto& r : got)
        all += r.recipients;
    all.sort();
    return all;
}

// Fails the test at once when a test server could not start: a missing tool is a fault.
#define ASSERT_SERVER_RUNS(server)                                                                 \
    ASSERT_TRUE((server).error().isEmpty()) << (server).error().toStdString()
