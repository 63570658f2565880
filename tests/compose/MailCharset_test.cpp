#include "compose/MailCharset.h"

#include <QStringDecoder>
#include <gtest/gtest.h>
#include <random>

using namespace MailCharset;

namespace {
QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
const QString germanLetters = u("ÄÖÜäöüß");
} // namespace

TEST(MailCharset, Utf8EncodesEveryCharacterOnce) {
    const Encoded e = encode(u("Müller"), fromIndex(3), Content::PlainText);
    EXPECT_EQ(e.bytes, QByteArray("M\xC3\xBCller"));
    EXPECT_EQ(e.charset, "utf-8");
    const QString all = germanLetters + u("€éàñ Łódź ✓ 😀");
    const QByteArray bytes = encode(all, Charset::Utf8, Content::Html).bytes;
    QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    EXPECT_EQ(QString(strict(bytes)), all);
    EXPECT_FALSE(strict.hasError());
}

TEST(MailCharset, SingleByteSetsAndTheirFallbacks) {
    // iso-8859-1 holds the German letters but not the euro sign.
    EXPECT_EQ(encode(germanLetters, Charset::Iso88591, Content::PlainText).bytes,
              QByteArray("\xC4\xD6\xDC\xE4\xF6\xFC\xDF"));
    const Encoded euroText = encode(u("5 € für Müller"), Charset::Iso88591, Content::PlainText);
    EXPECT_EQ(euroText.charset, "utf-8"); // plain text goes over to UTF-8 as a whole
    EXPECT_EQ(QString::fromUtf8(euroText.bytes), u("5 € für Müller"));
    const Encoded euroHtml = encode(u("<p>5 € für Müller</p>"), Charset::Iso88591, Content::Html);
    EXPECT_EQ(euroHtml.charset, "iso-8859-1");
    EXPECT_EQ(euroHtml.bytes, QByteArray("<p>5 &#8364; f\xFCr M\xFCller</p>"));

    // windows-1252 holds the euro sign and the typographic quotes, not Ł or emoji.
    EXPECT_EQ(encode(u("€ „x“ – Š"), Charset::Windows1252, Content::PlainText).bytes,
              QByteArray("\x80 \x84x\x93 \x96 \x8A"));
    EXPECT_TRUE(canEncode(u("€„“"), Charset::Windows1252));
    EXPECT_FALSE(canEncode(u("€"), Charset::Iso88591));
    EXPECT_FALSE(canEncode(u("Łódź"), Charset::Windows1252));
    const Encoded polishText = encode(u("Łódź"), Charset::Windows1252, Content::PlainText);
    EXPECT_EQ(polishText.charset, "utf-8");
    EXPECT_EQ(QString::fromUtf8(polishText.bytes), u("Łódź"));
    EXPECT_EQ(encode(u("Łódź 😀"), Charset::Windows1252, Content::Html).bytes,
              QByteArray("&#321;\xF3"
                         "d&#378; &#128512;"));
    // Bytes 81, 8D, 8F, 90, 9D are empty in windows-1252: their code points are kept.
    EXPECT_EQ(encode(QString(QChar(0x81)), Charset::Windows1252, Content::Html).bytes,
              QByteArray("&#129;"));
    EXPECT_EQ(name(fromIndex(0)), "iso-8859-1");
    EXPECT_EQ(name(fromIndex(1)), "windows-1252");
    EXPECT_EQ(name(fromIndex(7)), "iso-8859-1");
}

TEST(MailCharset, Utf7AsTheRfcWritesIt) {
    EXPECT_EQ(toUtf7(u("Müller")), "M+APw-ller");
    EXPECT_EQ(toUtf7(u("1 + 1 = 2")), "1 +- 1 = 2");
    EXPECT_EQ(toUtf7(u("Hi Mom -☺-!")), "Hi Mom -+Jjo--!"); // RFC 2152's example
    EXPECT_EQ(toUtf7(u("日本語")), "+ZeVnLIqe-");           // RFC 2152's example
    EXPECT_EQ(encode(u("Grüße"), Charset::Utf7, Content::PlainText).charset, "utf-7");
    // Round trip of arbitrary text, astral characters included.
    std::mt19937 rng(7);
    const QString alphabet = u("aZ09 +-/~\\!\"#äöüß€Ł☺\r\n😀日");
    for (int round = 0; round < 500; ++round) {
        QString text;
        for (int i = int(rng() % 30); i > 0; --i) {
            const int at = int(rng() % alphabet.size());
            text += alphabet[at];
            if (alphabet[at].isHighSurrogate())
                text += alphabet[at + 1];
            else if (alphabet[at].isLowSurrogate())
                text.chop(1);
        }
        const QByteArray bytes = toUtf7(text);
        for (const char c : bytes)
            ASSERT_TRUE(uchar(c) < 0x80) << text.toStdString();
        ASSERT_EQ(fromUtf7(bytes), text) << bytes.toStdString();
    }
}
