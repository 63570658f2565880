#include "ContactBench.h"

#include "DataGenerator.h"
#include "common/FilePicker.h"
#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "exchange/forms/TOutlookImportForm.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <cstdio>

namespace {

void report(const char* name, double value, const char* unit) {
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

void fail(const QString& why) {
    std::fprintf(stderr, "Fehler: %s\n", qPrintable(why));
    std::exit(1);
}

QString escaped(QString v) {
    return v.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u',', QStringLiteral("\\,"))
        .replace(u';', QStringLiteral("\\;"));
}

// The generator's records as vCard 3.0, 100 cards a file.
void writeCards(const QString& folder, qint64 n) {
    const QString source = QDir::tempPath() + QStringLiteral("/quillon-bench-vcard-source/");
    QDir(source).removeRecursively();
    QString error = DataGenerator::makeProgramFolder(source, n);
    if (!error.isEmpty())
        fail(error);
    AddressTable table;
    if (!table.open(source + QStringLiteral("Data/Database.DB"), &error))
        fail(error);
    auto field = [&](const QVariantList& v, const char* name) {
        const int i = table.fieldIndex(QLatin1String(name));
        return i >= 0 ? escaped(v[i].toString()) : QString();
    };
    QDir().mkpath(folder);
    QString text;
    int file = 0;
    qint64 k = 0;
    auto flush = [&] {
        QFile f(folder + QStringLiteral("kontakte-%1.vcf").arg(file++, 4, 10, QChar(u'0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
            fail(QStringLiteral("vCard-Datei kann nicht geschrieben werden"));
        text.clear();
    };
    for (qint64 id : table.tableIds()) {
        const QVariantList v = table.recordValues(id);
        text += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:") + field(v, "Name") + u';' +
                field(v, "Vorname") + QStringLiteral(";;;\r\nFN:") + field(v, "Vorname") + u' ' +
                field(v, "Name") + QStringLiteral("\r\nEMAIL;TYPE=INTERNET,PREF:") +
                field(v, "Mail") + QStringLiteral("\r\nORG:") + field(v, "Firma") +
                QStringLiteral("\r\nADR;TYPE=WORK:;;") + field(v, "Str") + u';' + field(v, "Ort") +
                QStringLiteral(";;") + field(v, "PLZ") + u';' + field(v, "Land") +
                QStringLiteral("\r\nTEL;TYPE=WORK,VOICE:") + field(v, "Tel") +
                QStringLiteral("\r\nEND:VCARD\r\n");
        if (++k % 100 == 0)
            flush();
    }
    if (!text.isEmpty())
        flush();
    table.close();
    QDir(source).removeRecursively();
}

class FolderPicker : public FilePicker {
public:
    explicit FolderPicker(const QString& path) : m_path(path) {}
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString folder(const QString&, const QString&) override { return m_path; }

private:
    QString m_path;
};

} // namespace

void benchImportVcard(qint64 n) {
    // The figure is for a folder of 10,000 cards; the other benches' default size of
    // 100,000 records stands for that here.
    if (n == 100000)
        n = 10000;
    const QString cards = QDir::tempPath() + QStringLiteral("/quillon-bench-vcards-%1/").arg(n);
    if (!QFile::exists(cards + QStringLiteral("complete"))) {
        std::fprintf(stderr, "Erzeuge %lld vCards in %s ...\n", static_cast<long long>(n),
                     qPrintable(cards));
        QDir(cards).removeRecursively();
        writeCards(cards, n);
        QFile marker(cards + QStringLiteral("complete"));
        marker.open(QIODevice::WriteOnly);
    }

    const QString program = QDir::tempPath() + QStringLiteral("/quillon-bench-vcard-import/");
    QDir(program).removeRecursively();
    const QString error = DataGenerator::makeProgramFolder(program, 0);
    if (!error.isEmpty())
        fail(error);
    AppState state;
    SilentMessages messages;
    Messages::install(&messages);
    state.setFolders(WorkingFolders::fromProgramFolder(program, QString(), QDir::tempPath()));
    state.session.reloadCatalogue();
    if (!OpenDatabase(state.session, QStringLiteral("Database.ini"), messages))
        fail(QStringLiteral("Datenbank kann nicht geöffnet werden"));

    // The window as the user sees it: the folder read and the preview filled, with one
    // extra property ("Firma" into Firma).
    TOutlookImportForm form(state);
    form.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    form.setMainFolder(cards);
    const double preview = double(t.nsecsElapsed()) / 1e9;
    auto* property = form.findChild<QComboBox*>(QStringLiteral("Import1Comboxbox"));
    auto* target = form.findChild<QComboBox*>(QStringLiteral("ComboBox3"));
    t.restart();
    property->setCurrentIndex(property->findText(QStringLiteral("Firma")));
    const double rebuild = double(t.nsecsElapsed()) / 1e9;
    target->setCurrentIndex(target->findText(QStringLiteral("Firma")));
    const QString shown = form.findChild<QLabel*>(QStringLiteral("Anzeigelabel"))->text();

    t.restart();
    form.findChild<QPushButton*>(QStringLiteral("StartImportBitBtn"))->click();
    const double import = double(t.nsecsElapsed()) / 1e9;
    const qint64 records = state.session.currentTable()->recordCount();
    Messages::install(nullptr);
    if (records == 0)
        fail(QStringLiteral("nichts importiert (") + shown + u')');
    report("import_vcard_preview", preview, "s");
    report("import_vcard_preview_rebuild", rebuild, "s");
    report("import_vcard_import", import, "s");
    report("import_vcard_records", double(records), "records");
    CloseDatabase(state.session);
    QDir(program).removeRecursively();
}
