#include "settings/ThunderbirdAccounts.h"

#include "common/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ThunderbirdAccounts {

namespace {

// A quoted string at text[i] (the quote character there); false when it does not end.
bool quoted(QStringView text, qsizetype& i, QString* out) {
    const QChar quote = text[i++];
    out->clear();
    while (i < text.size()) {
        const QChar c = text[i++];
        if (c == quote)
            return true;
        if (c != u'\\') {
            *out += c;
            continue;
        }
        if (i >= text.size())
            return false;
        const QChar e = text[i++];
        if (e == u'n')
            *out += u'\n';
        else if (e == u't')
            *out += u'\t';
        else if (e == u'r')
            *out += u'\r';
        else if (e == u'u' || e == u'x') {
            const int digits = e == u'u' ? 4 : 2;
            bool ok = false;
            const uint code = text.mid(i, digits).toUInt(&ok, 16);
            if (!ok || i + digits > text.size())
                return false;
            *out += QChar(char16_t(code));
            i += digits;
        } else {
            *out += e;
        }
    }
    return false;
}

void skipBlanks(QStringView text, qsizetype& i) {
    while (i < text.size() && text[i].isSpace())
        ++i;
}

// One statement: user_pref("name", value); in the line.
bool parseLine(QStringView line, QString* name, QVariant* value) {
    qsizetype i = 0;
    skipBlanks(line, i);
    bool keyword = false;
    for (const char* word : {"user_pref", "sticky_pref", "pref"}) {
        const QLatin1String w(word);
        if (line.mid(i).startsWith(w)) {
            i += w.size();
            keyword = true;
            break;
        }
    }
    if (!keyword)
        return false;
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != u'(')
        return false;
    ++i;
    skipBlanks(line, i);
    if (i >= line.size() || (line[i] != u'"' && line[i] != u'\''))
        return false;
    if (!quoted(line, i, name))
        return false;
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != u',')
        return false;
    ++i;
    skipBlanks(line, i);
    if (i >= line.size())
        return false;
    if (line[i] == u'"' || line[i] == u'\'') {
        QString s;
        if (!quoted(line, i, &s))
            return false;
        *value = s;
    } else {
        const qsizetype start = i;
        while (i < line.size() && line[i] != u')' && !line[i].isSpace())
            ++i;
        const QStringView word = line.mid(start, i - start);
        bool ok = false;
        const qlonglong n = word.toLongLong(&ok);
        if (ok)
            *value = n;
        else if (word == QLatin1String("true") || word == QLatin1String("false"))
            *value = word == QLatin1String("true");
        else
            return false;
    }
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != u')')
        return false;
    ++i;
    skipBlanks(line, i);
    return i < line.size() && line[i] == u';';
}

QString text(const QHash<QString, QVariant>& prefs, const QString& key) {
    const auto it = prefs.constFind(key);
    return it == prefs.constEnd() ? QString() : it->toString().trimmed();
}

int port(const QHash<QString, QVariant>& prefs, const QString& key) {
    bool ok = false;
    const int p = text(prefs, key).toInt(&ok);
    return ok && p > 0 ? p : -1;
}

} // namespace

QStringList profileRoots(const QString& home) {
    const QDir h(home);
    return {h.filePath(QStringLiteral(".thunderbird")),
            h.filePath(QStringLiteral(".var/app/org.mozilla.Thunderbird/.thunderbird")),
            h.filePath(QStringLiteral("snap/thunderbird/common/.thunderbird"))};
}

QStringList profileFolders(const QString& home, int* unreadable) {
    if (unreadable)
        *unreadable = 0;
    QStringList folders;
    for (const QString& root : profileRoots(home)) {
        QStringList lines;
        if (!QFileInfo(root + QStringLiteral("/profiles.ini")).isFile() ||
            !TextFile::readLines(root + QStringLiteral("/profiles.ini"), &lines))
            continue;
        // Sections [ProfileN] with Path= and IsRelative=.
        QString path;
        bool relative = true;
        bool inProfile = false;
        auto finish = [&] {
            if (inProfile && !path.isEmpty()) {
                const QString folder = QDir::cleanPath(relative ? root + u'/' + path : path);
                if (QFileInfo(folder + QStringLiteral("/prefs.js")).isFile()) {
                    if (!folders.contains(folder))
                        folders << folder;
                } else if (unreadable) {
                    ++*unreadable;
                }
            }
            path.clear();
            relative = true;
        };
        for (const QString& raw : lines) {
            const QString line = raw.trimmed();
            if (line.startsWith(u'[')) {
                finish();
                inProfile = line.startsWith(QLatin1String("[Profile"), Qt::CaseInsensitive);
                continue;
            }
            const qsizetype eq = line.indexOf(u'=');
            if (eq <= 0)
                continue;
            const QString key = line.left(eq).trimmed();
            const QString value = line.mid(eq + 1).trimmed();
            if (key.compare(QLatin1String("Path"), Qt::CaseInsensitive) == 0)
                path = value;
            else if (key.compare(QLatin1String("IsRelative"), Qt::CaseInsensitive) == 0)
                relative = value != QLatin1String("0");
        }
        finish();
    }
    return folders;
}

QHash<QString, QVariant> readPrefs(const QByteArray& bytes) {
    QHash<QString, QVariant> prefs;
    const QString all = TextFile::decode(bytes);
    for (QStringView line : QStringView(all).split(u'\n')) {
        QString name;
        QVariant value;
        if (parseLine(line, &name, &value))
            prefs.insert(name, value);
    }
    return prefs;
}

QList<MailAccount> accounts(const QHash<QString, QVariant>& prefs, int* unreadable) {
    if (unreadable)
        *unreadable = 0;
    QStringList ids;
    for (const QString& id : text(prefs, QStringLiteral("mail.accountmanager.accounts"))
                                 .split(u',', Qt::SkipEmptyParts))
        ids << id.trimmed();
    if (ids.isEmpty()) {
        // No list: every account that has a server, in name order.
        for (auto it = prefs.constBegin(); it != prefs.constEnd(); ++it)
            if (it.key().startsWith(QLatin1String("mail.account.")) &&
                it.key().endsWith(QLatin1String(".server")))
                ids << it.key().section(u'.', 2, -2);
        ids.sort();
    }
    QList<MailAccount> out;
    for (const QString& id : ids) {
        const QString account = QStringLiteral("mail.account.") + id;
        const QString server = text(prefs, account + QStringLiteral(".server"));
        const QString s = QStringLiteral("mail.server.") + server;
        const QString type = text(prefs, s + QStringLiteral(".type")).toLower();
        if (!server.isEmpty() && type != QLatin1String("pop3") && type != QLatin1String("imap") &&
            !type.isEmpty())
            continue; // local folders, news and feeds: no mail account
        const QString identity =
            text(prefs, account + QStringLiteral(".identities")).section(u',', 0, 0).trimmed();
        const QString i = QStringLiteral("mail.identity.") + identity;
        const QString host = text(prefs, s + QStringLiteral(".hostname"));
        const QString address = text(prefs, i + QStringLiteral(".useremail"));
        if (server.isEmpty() || type.isEmpty() || host.isEmpty() || identity.isEmpty() ||
            address.isEmpty()) {
            if (unreadable)
                ++*unreadable;
            continue;
        }
        MailAccount a;
        a.displayName = text(prefs, i + QStringLiteral(".fullName"));
        a.address = address;
        a.imap = type == QLatin1String("imap");
        if (!a.imap) {
            a.popHost = host;
            a.popUserName = text(prefs, s + QStringLiteral(".userName"));
            a.popPort = port(prefs, s + QStringLiteral(".port"));
        }
        QString smtp = text(prefs, i + QStringLiteral(".smtpServer"));
        if (smtp.isEmpty())
            smtp = text(prefs, QStringLiteral("mail.smtp.defaultserver"));
        if (!smtp.isEmpty()) {
            const QString o = QStringLiteral("mail.smtpserver.") + smtp;
            a.smtpHost = text(prefs, o + QStringLiteral(".hostname"));
            a.smtpPort = port(prefs, o + QStringLiteral(".port"));
            a.smtpUserName = text(prefs, o + QStringLiteral(".username"));
        }
        out << a;
    }
    return out;
}

Found find(const QString& home) {
    Found found;
    int missing = 0;
    const QStringList folders = profileFolders(home, &missing);
    found.unreadable = missing;
    found.profiles = int(folders.size());
    for (const QString& folder : folders) {
        QFile f(folder + QStringLiteral("/prefs.js"));
        if (!f.open(QIODevice::ReadOnly)) {
            ++found.unreadable;
            continue;
        }
        int broken = 0;
        found.accounts += accounts(readPrefs(f.readAll()), &broken);
        found.unreadable += broken;
    }
    return found;
}

OptionsFields optionsFields(const MailAccount& a) {
    OptionsFields f;
    f.smtpPort = QString::number(a.smtpPort > 0 ? a.smtpPort : 25);
    f.smtpHost = a.smtpHost;
    f.email = a.address;
    f.name = a.displayName;
    f.authentication = !a.smtpUserName.isEmpty();
    f.smtpUserName = a.smtpUserName;
    if (!a.imap) {
        f.popAccount = a.popUserName;
        f.popHost = a.popHost;
    }
    f.popPort = QString::number(!a.imap && a.popPort > 0 ? a.popPort : 110);
    return f;
}

QString unreadableText(int count) {
    return count == 1 ? QStringLiteral("1 Thunderbird-Konto oder -Profil konnte nicht gelesen "
                                       "werden und wird nicht angeboten.")
                      : QStringLiteral("%1 Thunderbird-Konten oder -Profile konnten nicht "
                                       "gelesen werden und werden nicht angeboten.")
                            .arg(count);
}

} // namespace ThunderbirdAccounts
