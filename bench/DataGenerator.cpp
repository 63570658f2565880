#include "DataGenerator.h"

#include "common/Messages.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "shell/Startup.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <shapefil.h>

namespace {

const char* kFemale[] = {"Anna",   "Lena",  "Marie",  "Sophie", "Laura",  "Julia", "Sarah",
                         "Katrin", "Petra", "Sabine", "Monika", "Ursula", "Helga", "Bärbel",
                         "Renate", "Heike", "Jana",   "Gülay",  "Lea",    "Zoë"};
const char* kMale[] = {"Jürgen",   "Thomas",     "Michael", "Andreas",  "Stefan",    "Frank",
                       "Klaus",    "Uwe",        "Jörg",    "Lukas",    "Jonas",     "Felix",
                       "Paul",     "Maximilian", "Björn",   "Sören",    "Günter",    "Dieter",
                       "Wolfgang", "Tobias",     "Florian", "Matthias", "Christian", "Daniel"};
const char* kLast[] = {
    "Müller",   "Schmidt",  "Schneider", "Fischer",    "Weber",  "Meyer",   "Wagner",  "Becker",
    "Schulz",   "Hoffmann", "Schäfer",   "Koch",       "Bauer",  "Richter", "Klein",   "Wolf",
    "Schröder", "Neumann",  "Schwarz",   "Zimmermann", "Braun",  "Krüger",  "Hofmann", "Hartmann",
    "Lange",    "Schmitt",  "Werner",    "Schmitz",    "Krause", "Meier",   "Meister", "Meißner",
    "Lehmann",  "Köhler",   "Jäger",     "Groß",       "Weiß",   "Böhm",    "Öztürk",  "Yılmaz"};
const char* kStreet[] = {"Hauptstraße",  "Schulstraße", "Gartenstraße", "Bahnhofstraße",
                         "Dorfstraße",   "Bergstraße",  "Birkenweg",    "Lindenstraße",
                         "Kirchstraße",  "Waldstraße",  "Ringstraße",   "Schillerstraße",
                         "Goethestraße", "Am Markt",    "Mühlenweg",    "Rosenstraße"};
struct Town {
    const char* plz;
    const char* name;
};
const Town kTowns[] = {{"10115", "Berlin"},
                       {"20095", "Hamburg"},
                       {"80331", "München"},
                       {"50667", "Köln"},
                       {"60311", "Frankfurt am Main"},
                       {"70173", "Stuttgart"},
                       {"40213", "Düsseldorf"},
                       {"04109", "Leipzig"},
                       {"44135", "Dortmund"},
                       {"45127", "Essen"},
                       {"28195", "Bremen"},
                       {"01067", "Dresden"},
                       {"30159", "Hannover"},
                       {"90402", "Nürnberg"},
                       {"47051", "Duisburg"},
                       {"44787", "Bochum"},
                       {"42103", "Wuppertal"},
                       {"33602", "Bielefeld"},
                       {"53111", "Bonn"},
                       {"48143", "Münster"},
                       {"76133", "Karlsruhe"},
                       {"68159", "Mannheim"},
                       {"86150", "Augsburg"},
                       {"65183", "Wiesbaden"},
                       {"41061", "Mönchengladbach"},
                       {"38100", "Braunschweig"},
                       {"24103", "Kiel"},
                       {"09111", "Chemnitz"},
                       {"06108", "Halle (Saale)"},
                       {"39104", "Magdeburg"},
                       {"79098", "Freiburg"},
                       {"23552", "Lübeck"},
                       {"99084", "Erfurt"},
                       {"18055", "Rostock"}};
const char* kDomains[] = {"web.de",     "gmx.de",    "t-online.de", "gmail.com",
                          "freenet.de", "posteo.de", "mailbox.org", "firma-beispiel.de"};
const char* kCategories[] = {"Kunde", "Interessent", "Lieferant", "Presse", "Partner", ""};

template <typename T, size_t N> constexpr int count(const T (&)[N]) {
    return int(N);
}

QString asciiLocal(const QString& s) {
    QString out = s.toLower();
    out.replace(QStringLiteral("ä"), QStringLiteral("ae"));
    out.replace(QStringLiteral("ö"), QStringLiteral("oe"));
    out.replace(QStringLiteral("ü"), QStringLiteral("ue"));
    out.replace(QStringLiteral("ß"), QStringLiteral("ss"));
    out.replace(QStringLiteral("ı"), QStringLiteral("i"));
    out.replace(QStringLiteral("ë"), QStringLiteral("e"));
    return out;
}

} // namespace

DataGenerator::DataGenerator(quint64 seed) : m_rng(seed) {}

void DataGenerator::fill(const AddressTable& table, QVariantList& row) {
    row = QVariantList(table.fieldCount());
    ++m_count;
    const bool female = pick(2) == 0;
    const QString first =
        QString::fromUtf8(female ? kFemale[pick(count(kFemale))] : kMale[pick(count(kMale))]);
    const QString last = QString::fromUtf8(kLast[pick(count(kLast))]);
    const Town& town = kTowns[pick(count(kTowns))];
    QString mail = asciiLocal(first) + QChar('.') + asciiLocal(last) +
                   QString::number(m_count % 997) + QChar('@') +
                   QString::fromLatin1(kDomains[pick(count(kDomains))]);
    const int roll = pick(100);
    if (roll < 3 && !m_recentMails.empty()) {
        mail = m_recentMails[size_t(pick(int(m_recentMails.size())))]; // duplicate address
        if (pick(2))
            mail = mail.toUpper();
    } else if (roll < 5) {
        switch (pick(4)) { // broken address
        case 0:
            mail.replace(QChar('@'), QStringLiteral(".at."));
            break;
        case 1:
            mail = mail.left(int(mail.indexOf(QChar('@'))) + 1);
            break;
        case 2:
            mail.replace(QChar('@'), QStringLiteral("@@"));
            break;
        default:
            mail.insert(2, QChar(' '));
        }
    } else {
        if (m_recentMails.size() < 5000)
            m_recentMails.push_back(mail);
        else
            m_recentMails[size_t(pick(5000))] = mail;
    }
    auto set = [&](const char* name, const QVariant& v) {
        const int i = table.fieldIndex(QString::fromLatin1(name));
        if (i >= 0)
            row[i] = v;
    };
    set("Selected", false);
    set("Invalid", false);
    if (pick(4) == 0)
        set("LetztesMail", QDate(2026, 1, 1).addDays(pick(340)));
    set("Mail", mail);
    set("Anrede", female ? QStringLiteral("Frau") : QStringLiteral("Herr"));
    set("Betreff", QString());
    set("Name", last);
    set("Vorname", first);
    if (pick(5) == 0)
        set("Firma", last + QStringLiteral(" GmbH"));
    set("Str", QString::fromUtf8(kStreet[pick(count(kStreet))]) + QChar(' ') +
                   QString::number(1 + pick(120)));
    set("PLZ", QString::fromLatin1(town.plz));
    set("Ort", QString::fromUtf8(town.name));
    set("Land", QStringLiteral("Deutschland"));
    set("Tel", QStringLiteral("0%1 %2").arg(200 + pick(700)).arg(100000 + pick(899999)));
    set("Kategorie", QString::fromUtf8(kCategories[pick(count(kCategories))]));
}

QString DataGenerator::makeProgramFolder(const QString& programFolder, qint64 n,
                                         const std::function<void(qint64)>& progress) {
    QDir().mkpath(programFolder);
    Startup::layOutShippedFiles(programFolder);
    const QString dataFolder = QDir(programFolder).filePath(QStringLiteral("Data")) + QChar('/');
    SilentMessages messages;
    QFile::remove(dataFolder + QStringLiteral("Database.DB"));
    if (!CreateTableFromDefinition(dataFolder, QStringLiteral("Database"), messages))
        return QStringLiteral("Tabelle konnte nicht angelegt werden");
    AddressTable table;
    QString error;
    if (!table.open(dataFolder + QStringLiteral("Database.DB"), &error))
        return error;
    DataGenerator generator;
    qint64 made = 0;
    const qint64 added = table.appendRecords(
        [&](QVariantList& row) {
            if (made >= n)
                return false;
            ++made;
            generator.fill(table, row);
            return true;
        },
        [&](qint64 done, qint64) {
            if (progress)
                progress(done);
        },
        &error, true);
    if (added != n)
        return error.isEmpty() ? QStringLiteral("zu wenige Datensätze") : error;
    // A database in use has its indexes: the benchmarks measure the grid, filters and
    // searches of such a one, not the first use after a large import.
    if (!table.store()->makePendingIndexes(&error))
        return error;
    return {};
}

QStringList DataGenerator::targetFields() {
    return {QStringLiteral("Mail"),
            QStringLiteral("Anrede"),
            QStringLiteral("Betreff"),
            QStringLiteral("Name"),
            QStringLiteral("Vorname"),
            QStringLiteral("Firma"),
            QStringLiteral("Ansprechpartner"),
            QStringLiteral("Str"),
            QStringLiteral("PLZ"),
            QStringLiteral("Ort"),
            QStringLiteral("Land"),
            QStringLiteral("Tel"),
            QStringLiteral("Fax"),
            QStringLiteral("Kategorie")};
}

namespace {

// Runs write(values) for n generated records, values in targetFields() order.
QString generate(qint64 n, const std::function<bool(const QStringList&)>& write) {
    const QString scratch = QDir::tempPath() + QStringLiteral("/quillon-bench-layout/");
    if (!QFile::exists(scratch + QStringLiteral("Data/Database.DB"))) {
        const QString error = DataGenerator::makeProgramFolder(scratch, 0);
        if (!error.isEmpty())
            return error;
    }
    AddressTable table;
    QString error;
    if (!table.open(scratch + QStringLiteral("Data/Database.DB"), &error))
        return error;
    QList<int> indexes;
    for (const QString& f : DataGenerator::targetFields())
        indexes << table.fieldIndex(f);
    DataGenerator generator;
    QVariantList row;
    QStringList values;
    for (qint64 i = 0; i < n; ++i) {
        row = QVariantList(table.fieldCount());
        generator.fill(table, row);
        values.clear();
        for (int k : indexes)
            values << row[k].toString();
        if (!write(values))
            return QStringLiteral("Datei kann nicht geschrieben werden");
    }
    return {};
}

} // namespace

QString DataGenerator::writeCsv(const QString& path, qint64 n) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QByteArray buffer;
    const QString error = generate(n, [&](const QStringList& values) {
        buffer += values.join(QChar(';')).toUtf8();
        buffer += "\r\n";
        if (buffer.size() > (1 << 20)) {
            if (file.write(buffer) != buffer.size())
                return false;
            buffer.clear();
        }
        return true;
    });
    if (!error.isEmpty())
        return error;
    return file.write(buffer) == buffer.size() ? QString() : file.errorString();
}

QString DataGenerator::writeDbf(const QString& path, qint64 n) {
    DBFHandle dbf = DBFCreateEx(QFile::encodeName(path).constData(), "LDID/87");
    if (!dbf)
        return QStringLiteral("dBase-Datei kann nicht angelegt werden");
    const QStringList fields = targetFields();
    for (const QString& f : fields)
        DBFAddField(dbf, f.left(10).toLatin1().constData(), FTString, 80, 0);
    qint64 record = 0;
    const QString error = generate(n, [&](const QStringList& values) {
        for (int k = 0; k < values.size(); ++k) {
            const QByteArray bytes = TextFile::toWindows1252(values[k]);
            if (!DBFWriteStringAttribute(dbf, int(record), k, bytes.constData()))
                return false;
        }
        ++record;
        return true;
    });
    DBFClose(dbf);
    return error;
}
