#include "send/MimeMessage.h"

#include "support/TempProgramFolder.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The headers as Python's email package reads them: an independent reader of what we
// write.
QJsonObject readByPython(const QByteArray& message) {
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("message.eml"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(message);
    file.close();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import email, email.policy, json, sys\n"
                                 "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), "
                                 "policy=email.policy.default)\n"
                                 "print(json.dumps({'subject': str(m['Subject']), "
                                 "'mailer': str(m['X-Mailer'])}))\n"),
                  path});
    EXPECT_TRUE(python.waitForFinished(30000));
    const QByteArray out = python.readAllStandardOutput();
    EXPECT_FALSE(out.isEmpty()) << python.readAllStandardError().constData();
    return QJsonDocument::fromJson(out).object();
}

QByteArray headerBlock(const QByteArray& message) {
    return message.left(message.indexOf("\r\n\r\n") + 2);
}

QByteArray build(const QString& subject, const QByteArray& charset,
                 const QString& mailer = QStringLiteral("XMailer")) {
    MimeMessage m;
    m.setSender(QStringLiteral("Firma"), QStringLiteral("info@firma.de"));
    m.addToRecipient(QString(), QStringLiteral("a@example.org"));
    m.setSubjectText(subject);
    m.setCharsetName(charset);
    m.setPlainText(QStringLiteral("Text"));
    m.setMailerName(mailer);
    QByteArray out;
    QString error;
    EXPECT_TRUE(m.toBytes(&out, &error)) << error.toStdString();
    return out;
}

} // namespace

// A subject reads back as it was typed: a value that looks like an encoded word is
// encoded itself, long values become encoded words of at most 75 characters on lines of
// at most 76, and the charset is named as registered.
TEST(MimeMessage, SubjectsReadBackAsTypedWithinTheLimitsOfEncodedWords) {
    const QString lookalike = QStringLiteral("=?UTF-8?B?SGFjaw==?=");
    const QString longText =
        QString::fromUtf8("Grüße an alle Kundinnen und Kunden – unser Herbstprogramm für "
                          "Österreich, die Schweiz und Deutschland ist da: jetzt ansehen €");
    const struct {
        QString subject;
        QByteArray charset;
    } cases[] = {{lookalike, "utf-8"},
                 {lookalike, "windows-1252"},
                 {longText, "utf-8"},
                 {longText, "windows-1252"},
                 {QString::fromUtf8("Preis 5 € für Müller"), "windows-1252"},
                 {QStringLiteral("Ganz normaler Betreff"), "iso-8859-1"}};
    static const QRegularExpression word(QStringLiteral("=\\?[^?]+\\?[bBqQ]\\?[^?]*\\?="));
    for (const auto& c : cases) {
        const QByteArray message = build(c.subject, c.charset, c.subject);
        const QJsonObject read = readByPython(message);
        EXPECT_EQ(read.value(QStringLiteral("subject")).toString(), c.subject)
            << c.charset.constData();
        EXPECT_EQ(read.value(QStringLiteral("mailer")).toString(), c.subject);
        const QByteArray head = headerBlock(message);
        EXPECT_FALSE(head.contains("CP1252")) << head.constData();
        for (const QByteArray& line : head.split('\n'))
            EXPECT_LE(line.trimmed().size(), 76) << line.constData();
        auto it = word.globalMatch(QString::fromLatin1(head));
        while (it.hasNext()) {
            const QString w = it.next().captured(0);
            EXPECT_LE(w.size(), 75) << w.toStdString();
            if (c.charset == "windows-1252" && !w.startsWith(QStringLiteral("=?utf-8")) &&
                !w.startsWith(QStringLiteral("=?iso-8859-1"))) {
                EXPECT_TRUE(w.startsWith(QStringLiteral("=?windows-1252?"))) << w.toStdString();
            }
        }
    }
    // Plain text stays readable as it is.
    EXPECT_TRUE(build(QStringLiteral("Ganz normaler Betreff"), "utf-8")
                    .contains("Subject: Ganz normaler Betreff\r\n"));
}
