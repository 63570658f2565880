#include "database/WebSettings.h"

#include "database/DatabaseDefinition.h"

#include <QFileInfo>

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

} // namespace

const QString WebSettings::section = QStringLiteral("SETTINGS");

WebSettings::WebSettings(const QString& path) : m_ini(path) {
    m_ini.setPrivate(true);
}

WebSettings::WebSettings(const QString& dataFolder, const QString& definitionName)
    : WebSettings(pathFor(dataFolder, definitionName)) {}

QString WebSettings::pathFor(const QString& dataFolder, const QString& definitionName) {
    const QString name = definitionName.trimmed();
    const auto dot = name.indexOf(QChar('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    if (base.isEmpty())
        return {};
    return dataFilePath(dataFolder, base + QStringLiteral(".web"));
}

bool WebSettings::exists() const {
    return !path().isEmpty() && QFileInfo(path()).isFile();
}

QString WebSettings::text(const char* name) const {
    if (!exists())
        return {};
    return m_ini.readString(section, key(name));
}

std::optional<WebSettings::Colour> WebSettings::colour(const char* name, Colour fallback) const {
    if (!exists())
        return fallback;
    const auto v = m_ini.value(section, key(name));
    if (!v)
        return fallback;
    return parseColour(*v);
}

int WebSettings::index(const char* name, int fallback, int highest) const {
    if (!exists())
        return fallback;
    const int v = m_ini.readInteger(section, key(name), fallback);
    return v >= 0 && v <= highest ? v : fallback;
}

bool WebSettings::write(const char* name, const QString& value) {
    if (path().isEmpty())
        return false;
    return m_ini.writeString(section, key(name), value);
}

QString WebSettings::onlinePath() const {
    return text("OnlinePath");
}
QString WebSettings::onlinePassword() const {
    return text("OnlinePassword");
}
QString WebSettings::title() const {
    return exists() ? text("Title") : QStringLiteral("Newsletter");
}
std::optional<WebSettings::Colour> WebSettings::fontColor() const {
    return colour("FontColor", defaultFontColor);
}
std::optional<WebSettings::Colour> WebSettings::backgroundColor() const {
    return colour("BKGColor", defaultBackgroundColor);
}
std::optional<WebSettings::Colour> WebSettings::borderColor() const {
    return colour("BorderColor", defaultBorderColor);
}
int WebSettings::font() const {
    return index("Font", defaultFont, 5);
}
int WebSettings::fontSize() const {
    return index("FontSize", defaultFontSize, 12);
}
bool WebSettings::captcha() const {
    return exists() && m_ini.readString(section, key("Captcha")) == QStringLiteral("On");
}
bool WebSettings::doubleOptIn() const {
    return !exists() || m_ini.readBoolWord(section, key("DoubleOptIn"), true);
}
bool WebSettings::invalidOnCancel() const {
    return exists() && m_ini.readBoolWord(section, key("Invalid"), false);
}
QString WebSettings::statsUrl() const {
    return text("StatsURL");
}
QString WebSettings::statsPassword() const {
    return text("StatsPassword");
}
bool WebSettings::statsActive() const {
    return exists() && m_ini.readBool(section, key("StatsActive"), false);
}

bool WebSettings::setOnlinePath(const QString& v) {
    return write("OnlinePath", v);
}
bool WebSettings::setOnlinePassword(const QString& v) {
    return write("OnlinePassword", v);
}
bool WebSettings::setTitle(const QString& v) {
    return write("Title", v);
}
bool WebSettings::setFontColor(Colour c) {
    return write("FontColor", colourText(c));
}
bool WebSettings::setBackgroundColor(Colour c) {
    return write("BKGColor", colourText(c));
}
bool WebSettings::setBorderColor(Colour c) {
    return write("BorderColor", colourText(c));
}
bool WebSettings::setFont(int i) {
    return write("Font", QString::number(i));
}
bool WebSettings::setFontSize(int i) {
    return write("FontSize", QString::number(i));
}
bool WebSettings::setCaptcha(bool on) {
    return write("Captcha", on ? QStringLiteral("On") : QStringLiteral("Off"));
}
bool WebSettings::setDoubleOptIn(bool on) {
    return write("DoubleOptIn", on ? QStringLiteral("True") : QStringLiteral("False"));
}
bool WebSettings::setInvalidOnCancel(bool on) {
    return write("Invalid", on ? QStringLiteral("True") : QStringLiteral("False"));
}
bool WebSettings::setStatsUrl(const QString& v) {
    return write("StatsURL", v);
}
bool WebSettings::setStatsPassword(const QString& v) {
    return write("StatsPassword", v);
}
bool WebSettings::setStatsActive(bool on) {
    return write("StatsActive", on ? QStringLiteral("1") : QStringLiteral("0"));
}
bool WebSettings::listUnsubscribe() const {
    return !exists() || m_ini.readBool(section, key("ListUnsubscribe"), true);
}
bool WebSettings::setListUnsubscribe(bool on) {
    return write("ListUnsubscribe", on ? QStringLiteral("1") : QStringLiteral("0"));
}

TrackingState WebSettings::tracking() const {
    TrackingState t;
    if (!exists())
        return t;
    t.statsAddress = statsUrl();
    t.password = statsPassword();
    t.onByDefault = statsActive();
    return t;
}

QString WebSettings::colourText(Colour c) {
    return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QChar('0')).toUpper();
}

std::optional<WebSettings::Colour> WebSettings::parseColour(const QString& text) {
    QString t = text.trimmed();
    if (t.startsWith(QChar('#')))
        t.remove(0, 1);
    if (t.size() != 6)
        return std::nullopt;
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return std::nullopt;
    }
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return Colour(v);
}
