#pragma once
#include "PythonMail.h"

#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

// Keys made by openssl and messages verified by dkimpy, for the tests of signed runs.

// Makes a key with openssl; extra arguments after the algorithm's options.
inline QString makeKey(const QString& folder, const QString& name, const QStringList& args) {
    const QString path = folder + name;
    QProcess p;
    p.start(QStringLiteral("openssl"),
            QStringList{QStringLiteral("genpkey")} + args + QStringList{"-out", path});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    return path;
}

inline const QStringList kRsa2048{"-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048"};

// dkim.verify on the message file with DNS answered by the record; also verifies a copy
// whose body has one letter more.
inline QJsonObject verifyByDkimpy(const QString& path, const QString& recordName,
                                  const QString& record) {
    static const QString script = QStringLiteral(R"PY(
import dkim, json, sys
data = open(sys.argv[1], 'rb').read()
asked = []
def dns(name, timeout=5):
    asked.append(name.decode() if isinstance(name, bytes) else name)
    return sys.argv[3].encode() if asked[-1].rstrip('.') == sys.argv[2] else None
head, body = data.split(b'\r\n\r\n', 1)
altered = head + b'\r\n\r\nX' + body
print(json.dumps({'ok': dkim.verify(data, dnsfunc=dns), 'altered': dkim.verify(altered, dnsfunc=dns),
                  'asked': asked}))
)PY");
    return runPython(script, {path, recordName, record});
}

// The h= tag of the signature, lower case, as a list.
inline QStringList signedHeaders(const QByteArray& message) {
    static const QRegularExpression tag(QStringLiteral("[;\\s]h=([^;]*);"));
    QString h =
        tag.match(QString::fromLatin1(message.left(message.indexOf("\r\n\r\n")))).captured(1);
    h.remove(QRegularExpression(QStringLiteral("\\s")));
    return h.toLower().split(QLatin1Char(':'));
}
