#pragma once
#include "settings/AccountSettings.h"

#include <QString>
#include <QStringList>
#include <optional>

class DatabaseSession;
struct ShellFlags;
class Messages;

// What the options dialog edits: the account, the proxy and the default sender.
struct OptionsValues {
    AccountSettings account;
    ProxySettings proxy;
    QString senderAddress;
    QString senderName;
};

// The rules behind the options dialog, usable without a window.
namespace AccountOptions {

// Edit corrections: a port or delay field that is empty or holds anything but the
// digits 0-9 is replaced by the fallback ("25", "110", "0"); the proxy port is trimmed,
// an empty one stays empty, any other non-digit text becomes "3128".
QString correctedNumber(const QString& text, const QString& fallback);
QString correctedProxyPort(const QString& text);
bool isDigits(const QString& text);

// The values as the dialog shows them when it is opened for the open database: the
// settings file by the choice rule (plain reads), proxy.ini, and the first line of
// the sender list in force (an empty list leaves address and name as given).
// A missing Quillon.ini is reported.
OptionsValues loadForDialog(const DatabaseSession& session, Messages& messages,
                            const QString& keepAddress = {}, const QString& keepName = {});

// The OK checks in their order; the first failure's message has been shown and false
// returned.
bool checkSender(const QString& address, const QString& name, Messages& messages);

// Saves the values at one level: every settings key (FIRSTSETTINGS included), proxy.ini,
// and the sender list of that level with the new default sender first. Switches
// FirstSettingsDone on and gives the saved sender lines. Failures are reported.
bool saveAtLevel(const DatabaseSession& session, ShellFlags& flags, SettingsFiles::Level level,
                 const OptionsValues& values, Messages& messages,
                 QStringList* savedSenders = nullptr);

// The database level in force for the open database: its settings file and its sender
// list are deleted. Failures are reported.
bool removeDatabaseLevel(const DatabaseSession& session, Messages& messages);

QString levelQuestion(const QString& displayName);
QString resetQuestion(const QString& displayName);

// OK of the dialog: the checks, then the save at the level the rules choose (asking for
// a database other than the standard one). Returns true when the dialog closes.
bool accept(const DatabaseSession& session, ShellFlags& flags, const OptionsValues& values,
            Messages& messages);

// Whether the open database shows the "Einstellungsgültigkeit" group, and whether its
// reset button is enabled (its own sender list exists).
bool showsLevelGroup(const DatabaseSession& session);
bool canResetToGeneral(const DatabaseSession& session);

} // namespace AccountOptions
