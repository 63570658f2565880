#pragma once
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

// Python's email package as the independent writer and reader of e-mail files in tests.

// Runs a Python script with arguments; its standard output parsed as JSON.
inline QJsonObject runPython(const QString& script, const QStringList& args = {}) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), script} + args);
    EXPECT_TRUE(python.waitForFinished(60000));
    const QByteArray out = python.readAllStandardOutput();
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    return QJsonDocument::fromJson(out).object();
}

// Reads a message file with policy default and reports: the tree of content types, the
// defects found anywhere, the headers (each name with all its values) and per leaf part
// its type, charset, Content-ID, file name, transfer encoding and decoded content
// (text as text, other parts as hex).
inline QJsonObject readMailByPython(const QString& path) {
    static const QString script = QStringLiteral(R"PY(
import email, email.policy, json, sys
m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
defects = []
def tree(p):
    defects.extend(type(d).__name__ for d in p.defects)
    if p.is_multipart():
        return {'type': p.get_content_type(), 'parts': [tree(c) for c in p.iter_parts()]}
    leaf = {'type': p.get_content_type(), 'charset': p.get_content_charset() or '',
            'cid': p.get('Content-ID', ''), 'filename': p.get_filename() or '',
            'cte': p.get('Content-Transfer-Encoding', ''),
            'disposition': p.get_content_disposition() or ''}
    if p.get_content_maintype() == 'text':
        leaf['text'] = p.get_content()
        leaf['raw'] = p.get_payload(decode=True).hex()
    else:
        leaf['hex'] = p.get_payload(decode=True).hex()
    return leaf
headers = {}
for k, v in m.items():
    headers.setdefault(k.lower(), []).append(str(v))
print(json.dumps({'tree': tree(m), 'defects': defects, 'headers': headers}))
)PY");
    return runPython(script, {path});
}

// Writes a message with Python's email package: multipart/mixed of an alternative
// (plain text quoted-printable in the given charset; HTML base64 in UTF-8 with two
// inline images, the second referred to in single quotes) and a PDF attachment.
inline bool writeMailByPython(const QString& path, const QString& plainCharset = "iso-8859-15") {
    static const QString script = QStringLiteral(R"PY(
import sys
from email.message import EmailMessage
from email import policy
m = EmailMessage()
m['Subject'] = 'Grüße für unsere € Kunden – $NAME'
m['From'] = 'Jürgen Müller <juergen@firma.de>'
m['To'] = 'kunde@example.org'
m['Date'] = 'Tue, 01 Dec 2026 10:00:00 +0100'
m.set_content('Hallo $ANREDE $NAME,\nPreis 5 € - Grüße\n', charset=sys.argv[2], cte='quoted-printable')
html = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">'
        '</head><body><p>Hallo $NAME, Grüße €</p><img src="cid:logo@firma.de">'
        "<img src='cid:foto.2@firma.de'><a HREF=\"https://www.firma.de/a?b=1\">x</a>"
        "<a href='http://www.firma.de/'>y</a><a href=\"mailto:info@firma.de\">z</a>"
        "<script>document.write('SKRIPT LIEF')</script></body></html>")
m.add_alternative(html, subtype='html', cte='base64')
h = m.get_payload()[1]
h.add_related(bytes(range(256)) * 40, 'image', 'png', cid='<logo@firma.de>', filename='bild 1.png')
h.add_related(b'\xff\xd8\xff' + bytes(5000), 'image', 'jpeg', cid='<foto.2@firma.de>', filename='Foto Ä.jpg')
m.add_attachment(b'%PDF-1.4 preisliste' + bytes(300), maintype='application', subtype='pdf',
                 filename='preis liste.pdf')
open(sys.argv[1], 'wb').write(m.as_bytes(policy=policy.SMTP))
print('{}')
)PY");
    runPython(script, {path, plainCharset});
    return QFile::exists(path);
}

// The leaf parts of a tree reported by readMailByPython, depth first.
inline QList<QJsonObject> leavesOf(const QJsonObject& tree) {
    QList<QJsonObject> out;
    if (tree.contains(QStringLiteral("parts"))) {
        for (const auto& p : tree.value(QStringLiteral("parts")).toArray())
            out += leavesOf(p.toObject());
    } else {
        out.append(tree);
    }
    return out;
}

// "multipart/mixed(multipart/alternative(text/plain,...),application/pdf)"
inline QString shapeOf(const QJsonObject& tree) {
    QString s = tree.value(QStringLiteral("type")).toString();
    if (tree.contains(QStringLiteral("parts"))) {
        QStringList inner;
        for (const auto& p : tree.value(QStringLiteral("parts")).toArray())
            inner << shapeOf(p.toObject());
        s += QChar('(') + inner.join(QChar(',')) + QChar(')');
    }
    return s;
}
