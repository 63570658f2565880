#pragma once
#include "common/IniFile.h"

#include <QString>
#include <optional>

// Tracking state of a database: statistics address, password and the on-by-default
// switch of its web settings file.
struct TrackingState {
    QString statsAddress;
    QString password;
    bool onByDefault = false;
};

// The web settings file of a database (*base*.web in the data folder, section
// SETTINGS): the subscription web kit, the synchronisation with the web site and
// click tracking. Every reader and writer of that file goes through this class, so
// each key keeps one stored form and one default.
//
// Three boolean styles live side by side and are never mixed: Captcha is "On"/"Off",
// DoubleOptIn and Invalid are "True"/"False" (both tests case-sensitive), StatsActive
// is an integer switch. Colours are stored as "#RRGGBB" in upper-case hex; the "#" is
// optional when read.
class WebSettings {
public:
    // A colour as 0xRRGGBB.
    using Colour = quint32;

    explicit WebSettings(const QString& path);
    // The settings of the database with this definition file name ("Database.ini").
    WebSettings(const QString& dataFolder, const QString& definitionName);

    // DataFolder + definition name up to its first "." + ".web"; an existing file of
    // that name in another letter case is found. Empty when the name would leave the
    // folder.
    static QString pathFor(const QString& dataFolder, const QString& definitionName);

    const QString& path() const { return m_ini.path(); }
    bool exists() const;

    static const QString section; // "SETTINGS"

    QString onlinePath() const;
    QString onlinePassword() const;
    // Empty when the key is absent; "Newsletter" when there is no file at all.
    QString title() const;
    // Absent: the default; unreadable: nullopt (shown as black by the dialog).
    std::optional<Colour> fontColor() const;
    std::optional<Colour> backgroundColor() const;
    std::optional<Colour> borderColor() const;
    int font() const;     // index 0..5, default 4
    int fontSize() const; // index 0..12, default 2
    bool captcha() const;
    bool doubleOptIn() const;
    bool invalidOnCancel() const;
    QString statsUrl() const;
    QString statsPassword() const;
    bool statsActive() const;
    // Whether every message of a run carries the one-click unsubscribe headers of the
    // kit: ListUnsubscribe, an integer switch that is on when absent.
    bool listUnsubscribe() const;

    // Each write goes to disk at once; false when the file cannot be written. The
    // file holds passwords and is created readable by its owner only.
    bool setOnlinePath(const QString& v);
    bool setOnlinePassword(const QString& v);
    bool setTitle(const QString& v);
    bool setFontColor(Colour c);
    bool setBackgroundColor(Colour c);
    bool setBorderColor(Colour c);
    bool setFont(int index);
    bool setFontSize(int index);
    bool setCaptcha(bool on);
    bool setDoubleOptIn(bool on);
    bool setInvalidOnCancel(bool on);
    bool setStatsUrl(const QString& v);
    bool setStatsPassword(const QString& v);
    bool setStatsActive(bool on);
    bool setListUnsubscribe(bool on);

    // Statistics address, password and the on-by-default switch; empty and off
    // without a file.
    TrackingState tracking() const;

    // "#RRGGBB" and back; the "#" is optional when parsing, nullopt for anything else.
    static QString colourText(Colour c);
    static std::optional<Colour> parseColour(const QString& text);

    static constexpr Colour defaultFontColor = 0x000000;
    static constexpr Colour defaultBackgroundColor = 0xFFFFFF;
    static constexpr Colour defaultBorderColor = 0x004080;
    static constexpr int defaultFont = 4;
    static constexpr int defaultFontSize = 2;

private:
    QString text(const char* key) const;
    std::optional<Colour> colour(const char* key, Colour fallback) const;
    int index(const char* key, int fallback, int highest) const;
    bool write(const char* key, const QString& value);

    IniFile m_ini;
};
