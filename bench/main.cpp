// quillon-bench: measures the figures the program must reach on large tables.
//   quillon-bench --list
//   quillon-bench NAME --records N
// Each benchmark prints lines "figure-name value unit". Data sets are generated once
// per size into the system temp folder and reused by later runs.
#include "DataGenerator.h"

#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "shell/AppState.h"
#include "shell/forms/AddressGridModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <sys/resource.h>

namespace {

void figure(const char* name, double value, const char* unit) {
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

double peakMemoryMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

QString dataSetFolder(qint64 n) {
    return QDir::tempPath() + QStringLiteral("/quillon-bench-%1/").arg(n);
}

// A program folder holding n records, generated on first use.
QString ensureDataSet(qint64 n) {
    const QString folder = dataSetFolder(n);
    if (QFile::exists(folder + QStringLiteral("complete")))
        return folder;
    QDir(folder).removeRecursively();
    std::fprintf(stderr, "Erzeuge %lld Datensätze in %s ...\n", static_cast<long long>(n),
                 qPrintable(folder));
    const QString error = DataGenerator::makeProgramFolder(folder, n);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
        std::exit(1);
    }
    QFile marker(folder + QStringLiteral("complete"));
    marker.open(QIODevice::WriteOnly);
    return folder;
}

struct Opened {
    AppState state;
    SilentMessages messages;
    AddressTable* table = nullptr;
};

// Opens the standard database of a generated folder the way the program does.
void openDataSet(Opened& o, qint64 n) {
    o.state.folders =
        WorkingFolders::fromProgramFolder(ensureDataSet(n), QString(), QDir::tempPath());
    o.state.reloadCatalogue();
    if (!OpenDatabase(o.state, QStringLiteral("Database.ini"), o.messages) ||
        !o.state.currentTable()) {
        std::fprintf(stderr, "Datenbank kann nicht geöffnet werden\n");
        std::exit(1);
    }
    o.table = o.state.currentTable();
}

double seconds(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

void benchCreateFill(qint64 n) {
    const QString folder = QDir::tempPath() + QStringLiteral("/quillon-bench-create/");
    QDir(folder).removeRecursively();
    QString error;
    const double s = seconds([&] { error = DataGenerator::makeProgramFolder(folder, n); });
    if (!error.isEmpty()) {
        std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
        std::exit(1);
    }
    figure("create_fill", s, "s");
    QDir(folder).removeRecursively();
}

void benchOpenGrid(qint64 n) {
    ensureDataSet(n);
    Opened o;
    QTableView view;
    AddressGridModel model;
    const double s = seconds([&] {
        openDataSet(o, n);
        model.setTable(o.table);
        view.setModel(&model);
        view.resize(1200, 700);
        view.show();
        QApplication::processEvents();
    });
    figure("open_database_grid", s, "s");
    figure("rows_read_for_first_screen", double(model.rowsRead()), "rows");
}

void benchCountMarked(qint64 n) {
    Opened o;
    openDataSet(o, n);
    o.table->updateRecords(o.table->tableIds(), {{"Selected", false}});
    o.table->updateRecords(o.table->tableIds(o.table->conditionFieldBetween("ID", 1, n / 10)),
                           {{"Selected", true}});
    qint64 count = 0;
    const double s = seconds([&] {
        o.table->setFilter(QStringLiteral("Selected='True'"));
        o.table->setFiltered(true);
        count = o.table->recordCount();
    });
    figure("count_marked", s, "s");
    figure("marked_records", double(count), "records");
}

void benchMarkAll(qint64 n) {
    Opened o;
    openDataSet(o, n);
    qint64 changed = 0;
    const double mark = seconds([&] {
        changed = o.table->updateRecords(o.table->viewIds(), {{"Selected", true}}, {},
                                         [](qint64, qint64) {});
    });
    figure("mark_all", mark, "s");
    const double unmark = seconds([&] {
        o.table->updateRecords(o.table->tableIds(), {{"Selected", false}}, {},
                               [](qint64, qint64) {});
    });
    figure("unmark_all", unmark, "s");
    figure("records_marked", double(changed), "records");
}

void benchPageRead(qint64 n) {
    Opened o;
    openDataSet(o, n);
    std::mt19937_64 rng(7);
    double worst = 0;
    double total = 0;
    const int pages = 200;
    for (int p = 0; p < pages; ++p) {
        const qint64 start =
            qint64(rng() % quint64(std::max<qint64>(1, o.table->recordCount() - 50)));
        const double s = seconds([&] {
            for (qint64 r = start; r < start + 50; ++r)
                o.table->rowValues(r);
        });
        worst = std::max(worst, s);
        total += s;
    }
    figure("page_50_rows_worst", worst * 1000, "ms");
    figure("page_50_rows_mean", total / pages * 1000, "ms");
}

void benchFilterPrefix(qint64 n) {
    Opened o;
    openDataSet(o, n);
    qint64 count = 0;
    const double s = seconds([&] {
        o.table->setFilter(QStringLiteral("Name = 'Mei*'"));
        o.table->setFiltered(true);
        count = o.table->recordCount();
    });
    figure("filter_prefix", s, "s");
    figure("filter_prefix_records", double(count), "records");
}

const std::map<std::string, std::function<void(qint64)>>& benchmarks() {
    static const std::map<std::string, std::function<void(qint64)>> all = {
        {"create_fill", benchCreateFill},   {"open_grid", benchOpenGrid},
        {"count_marked", benchCountMarked}, {"mark_all", benchMarkAll},
        {"page_read", benchPageRead},       {"filter_prefix", benchFilterPrefix},
    };
    return all;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--list"))) {
        for (const auto& [name, fn] : benchmarks())
            std::printf("%s\n", name.c_str());
        std::printf("all\n");
        return 0;
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "Aufruf: quillon-bench --list | quillon-bench NAME --records N\n");
        return 2;
    }
    qint64 n = 100000;
    const auto r = args.indexOf(QStringLiteral("--records"));
    if (r > 0 && r + 1 < args.size())
        n = args.at(r + 1).toLongLong();
    const std::string name = args.at(1).toStdString();
    if (name == "all") {
        for (const auto& [bench, fn] : benchmarks())
            fn(n);
    } else {
        const auto it = benchmarks().find(name);
        if (it == benchmarks().end()) {
            std::fprintf(stderr, "Unbekannter Benchmark: %s\n", name.c_str());
            return 2;
        }
        it->second(n);
    }
    figure("peak_memory", peakMemoryMb(), "MB");
    return 0;
}
