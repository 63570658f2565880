#include "hygiene/Duplicates.h"

#include "common/Messages.h"
#include "common/TextFile.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/ColumnScan.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseSession.h"
#include "database/SystemColumns.h"
#include "database/TableStore.h"
#include "shell/WorkingFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <unordered_set>

namespace {

using Duplicates::Action;
using Duplicates::KeepRule;
using Duplicates::Tool;

// Progress texts are throttled to every this many values; the last one always shows.
constexpr qint64 kProgressStep = 100;
// Changes are applied once this many records are collected: each application rebuilds
// the table's view, so fewer, larger ones are much faster on big tables.
constexpr qint64 kApplyAt = 100000;

bool writeList(const QString& path, const QStringList& lines, Messages& messages) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    if (TextFile::writeLines(path, lines, &error))
        return true;
    messages.error(QStringLiteral("Die Liste \"%1\" kann nicht geschrieben werden:\r%2")
                       .arg(QDir::toNativeSeparators(path), error));
    return false;
}

// Position of each record in the table's current order, for ordering a group the
// way the user sees the table.
class ViewOrder {
public:
    ViewOrder(const AddressTable& table, const std::vector<qint64>& viewIds) {
        m_byId = !table.indexName().isEmpty();
        if (!m_byId)
            return; // primary-key order: the id itself gives the order
        m_pairs.reserve(viewIds.size());
        for (size_t i = 0; i < viewIds.size(); ++i)
            m_pairs.emplace_back(viewIds[i], qint64(i));
        std::sort(m_pairs.begin(), m_pairs.end());
    }
    void sort(std::vector<qint64>& ids) const {
        if (!m_byId) {
            std::sort(ids.begin(), ids.end());
            return;
        }
        auto pos = [this](qint64 id) {
            const auto it =
                std::lower_bound(m_pairs.begin(), m_pairs.end(), std::make_pair(id, qint64(-1)));
            return (it != m_pairs.end() && it->first == id) ? it->second : qint64(-1);
        };
        std::sort(ids.begin(), ids.end(), [&](qint64 a, qint64 b) { return pos(a) < pos(b); });
    }

private:
    bool m_byId = false;
    std::vector<std::pair<qint64, qint64>> m_pairs;
};

QString finalMessage(Tool tool, Action action, qint64 n) {
    const QString count = QString::number(n);
    if (tool == Tool::Mail)
        return QStringLiteral("Prüfung abgeschlossen. ") + count +
               (action == Action::Delete ? QStringLiteral(" doppelte E-Mail-Adressen gelöscht!")
                                         : QStringLiteral(" doppelte E-Mail-Adressen markiert!"));
    if (action == Action::Delete)
        return QStringLiteral("Prüfung abgeschlossen. ") + count +
               QStringLiteral(" doppelte Datensätze gelöscht!");
    return QStringLiteral("Prüfung abgeschlossen. Doppelte Datensätze markiert!");
}

} // namespace

namespace Duplicates {

QString keyOf(const QString& value) {
    QString key = value.trimmed();
    for (QChar& c : key)
        if (c >= QChar('A') && c <= QChar('Z'))
            c = QChar(char16_t(c.unicode() + ('a' - 'A')));
    return key;
}

QStringList duplicateKeys(const QStringList& keys, const ProgressFn& progress) {
    QHash<QString, int> counts;
    counts.reserve(keys.size());
    QStringList order; // distinct keys in the order of first occurrence
    const qint64 total = keys.size();
    for (qint64 i = 0; i < total; ++i) {
        const QString& key = keys[i];
        if (!key.isEmpty()) {
            int& c = counts[key];
            if (++c == 2)
                order.append(key);
        }
        if (progress && ((i + 1) % AddressTable::batchSize == 0 || i + 1 == total))
            progress(i + 1, total);
    }
    // A key enters the list at its second occurrence; the list must follow the first.
    std::vector<std::pair<qint64, QString>> firstSeen;
    if (!order.isEmpty()) {
        QHash<QString, qint64> wanted;
        for (const QString& k : order)
            wanted.insert(k, -1);
        for (qint64 i = 0; i < total; ++i) {
            auto it = wanted.find(keys[i]);
            if (it != wanted.end() && it.value() < 0)
                it.value() = i;
        }
        for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
            firstSeen.emplace_back(it.value(), it.key());
        std::sort(firstSeen.begin(), firstSeen.end());
    }
    QStringList result;
    result.reserve(qsizetype(firstSeen.size()));
    for (auto& [pos, key] : firstSeen)
        result.append(key);
    return result;
}

QString keyListPath(const WorkingFolders& folders) {
    return folders.systemTempFolder + QStringLiteral("Dubletten1.txt");
}

QString resultListPath(const WorkingFolders& folders, Tool tool) {
    return (tool == Tool::Mail ? folders.tempFolder : folders.systemTempFolder) +
           QStringLiteral("Dubletten_Ergebnis.txt");
}

qint64 run(const WorkingFolders& folders, DatabaseSession& session, Tool tool,
           const QString& fieldName, const ChooseFn& choose, Messages& messages,
           const Progress& feedback) {
    AddressTable* table = session.currentTable();
    if (!table) {
        messages.information(Texts::openDatabaseFirst());
        return -1;
    }
    const int column =
        tool == Tool::Mail ? FindMailColumn(table) : FindColumnByName(fieldName, table);
    TableStore* store = table->store();

    // Collect the keys in the table's current order.
    QStringList values;
    QStringList keys;
    std::vector<qint64> viewIds;
    {
        BusyScope busy(feedback);
        // The grid ends unfiltered on its first record; the keys follow its order.
        table->setFiltered(false);
        table->first();
        viewIds = table->viewIds();
        if (column >= 0) {
            values = ColumnScan::texts(*store, column, viewIds,
                                       feedback.counter(tool == Tool::Mail
                                                            ? QStringLiteral("Getmail: ")
                                                            : QStringLiteral("Get Data: ")));
            keys.reserve(values.size());
            for (const QString& v : values)
                keys.append(keyOf(v));
        }
        if (!writeList(keyListPath(folders), keys, messages)) {
            feedback.clear();
            return -1;
        }
    }
    QStringList work;
    {
        BusyScope busy(feedback);
        work = duplicateKeys(keys, feedback.counter(QStringLiteral("Check doublettes: ")));
        if (!writeList(resultListPath(folders, tool), work, messages)) {
            feedback.clear();
            return -1;
        }
    }
    feedback.clear();

    const Choice choice = choose ? choose() : Choice{};
    if (!choice.proceed)
        return -1;

    feedback.setBusy(true);
    const qint64 m = work.size();

    // The stored forms of each duplicate value: the value itself, and variants that
    // differ from it only by surrounding blanks, so the whole group is found.
    std::vector<QStringList> variants(size_t(work.size()));
    {
        QHash<QString, qint64> slot;
        for (qint64 k = 0; k < m; ++k)
            slot.insert(work[k], k);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const auto it = slot.constFind(keys[i]);
            if (it == slot.cend())
                continue;
            QStringList& forms = variants[size_t(it.value())];
            if (!forms.contains(values[i]))
                forms.append(values[i]);
        }
    }
    values.clear();
    keys.clear();
    const ViewOrder order(*table, viewIds);
    std::vector<qint64>().swap(viewIds);

    ColumnScan::GroupFinder finder(*store, column);
    auto group = [&](qint64 k, const std::unordered_set<qint64>& gone) {
        std::vector<qint64> ids = finder.ids(variants[size_t(k)]);
        if (!gone.empty())
            ids.erase(std::remove_if(ids.begin(), ids.end(),
                                     [&](qint64 id) { return gone.count(id) > 0; }),
                      ids.end());
        order.sort(ids);
        return ids;
    };
    auto progress = [&](const QString& word, qint64 k) {
        if (k == m || k % kProgressStep == 0 || k == 1)
            feedback.text(word + QString::number(k) + QStringLiteral(" von ") + QString::number(m));
    };

    QString error;
    bool failed = false;
    if (choice.action == Action::Delete) {
        std::unordered_set<qint64> gone;
        std::vector<qint64> toDelete;
        std::vector<qint64> toUnmark;
        auto flush = [&]() {
            if (!failed && !toUnmark.empty())
                failed = store->updateRecords(toUnmark, {{SystemColumns::Selected, false}}, {}, {},
                                              &error) < 0;
            if (!failed && !toDelete.empty()) {
                std::sort(toDelete.begin(), toDelete.end());
                failed = store->deleteManyRecords(toDelete, {}, &error) < 0;
            }
            toUnmark.clear();
            toDelete.clear();
        };
        for (qint64 k = 0; k < m && !failed; ++k) {
            const std::vector<qint64> ids = group(k, gone);
            if (!ids.empty()) {
                // Oldest: the first in table order survives. Newest: the last survives,
                // unmarked.
                const bool newest = choice.keep == KeepRule::Newest;
                const size_t keep = newest ? ids.size() - 1 : 0;
                for (size_t i = 0; i < ids.size(); ++i)
                    if (i != keep) {
                        toDelete.push_back(ids[i]);
                        gone.insert(ids[i]);
                    }
                if (newest)
                    toUnmark.push_back(ids[keep]);
            }
            progress(QStringLiteral("Delete doublettes: "), k + 1);
            if (qint64(toDelete.size()) >= kApplyAt)
                flush();
        }
        flush();
    } else {
        if (tool == Tool::Selective) {
            failed =
                store->updateRecords(store->tableIds(), {{SystemColumns::Selected, false}},
                                     store->conditionFromFilter(SystemColumns::markedFilter),
                                     feedback.counter(QStringLiteral("Unmarkieren: ")), &error) < 0;
        }
        std::vector<qint64> toMark;
        auto flush = [&]() {
            if (!failed && !toMark.empty())
                failed = store->updateRecords(toMark, {{SystemColumns::Selected, true}}, {}, {},
                                              &error) < 0;
            toMark.clear();
        };
        for (qint64 k = 0; k < m && !failed; ++k) {
            const std::vector<qint64> ids = group(k, {});
            toMark.insert(toMark.end(), ids.begin(), ids.end());
            progress(QStringLiteral("Select doublettes: "), k + 1);
            if (qint64(toMark.size()) >= kApplyAt)
                flush();
        }
        flush();
    }

    feedback.setBusy(false);
    feedback.clear();
    if (failed) {
        messages.error(QStringLiteral("Die doppelten Datensätze konnten nicht vollständig "
                                      "bearbeitet werden: ") +
                       error);
        return -1;
    }
    messages.information(finalMessage(tool, choice.action, m));
    return m;
}

} // namespace Duplicates
