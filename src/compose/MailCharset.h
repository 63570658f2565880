#pragma once
#include <QByteArray>
#include <QString>

// Encoding of a finished message text in the character set of the account
// (CodeSet/Index: 0 iso-8859-1, 1 windows-1252, 2 utf-7, 3 utf-8). Everything before
// this step is Unicode; the text is encoded once, wholly.
//
// A character the chosen set lacks is never dropped or replaced by "?":
// - in HTML it is written as a numeric character reference ("&#8364;"), which every
//   HTML reader turns back into the character; the declared charset stays;
// - in plain text (and a subject) there is no such escape, so the whole text is
//   encoded as UTF-8 instead and the result says so: the message must declare the
//   charset returned, not the one asked for.
// UTF-7 and UTF-8 hold every character.
namespace MailCharset {

enum class Charset { Iso88591 = 0, Windows1252 = 1, Utf7 = 2, Utf8 = 3 };
enum class Content { PlainText, Html };

Charset fromIndex(int codeSetIndex); // out of range gives iso-8859-1, the default
QByteArray name(Charset charset);    // "iso-8859-1", "windows-1252", "utf-7", "utf-8"

struct Encoded {
    QByteArray bytes;
    QByteArray charset; // the charset the bytes are in, to be declared by the message
};

Encoded encode(const QString& text, Charset charset, Content content);
// Whether every character of the text exists in the set.
bool canEncode(const QString& text, Charset charset);

// UTF-7 as in RFC 2152; "+" is written as "+-".
QByteArray toUtf7(const QString& text);
QString fromUtf7(const QByteArray& bytes);

} // namespace MailCharset
