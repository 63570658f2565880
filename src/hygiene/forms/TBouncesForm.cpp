#include "hygiene/forms/TBouncesForm.h"

#include "common/IniFile.h"
#include "common/Messages.h"
#include "common/Texts.h"
#include "send/BlockingCall.h"
#include "send/Pop3Login.h"
#include "settings/AccountSettings.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* makeButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TBouncesForm::TBouncesForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("TBouncesForm"));
    setWindowTitle(QStringLiteral("Unzustellbare E-Mails (Rückläufer) auswerten"));
    m_fetch = makeButton(QStringLiteral("Postfach abrufen"), "BouncesFetchButton", this);
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("BouncesTable"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Adresse"), QStringLiteral("Art"), QStringLiteral("Grund")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("BouncesSummaryLabel"));
    m_summary->setWordWrap(true);
    m_delete = new QCheckBox(
        QStringLiteral("Ausgewertete Rückläufer nach dem Übernehmen auf dem Server löschen"), this);
    m_delete->setObjectName(QStringLiteral("BouncesDeleteCheckBox"));
    m_apply = makeButton(QStringLiteral("Übernehmen"), "BouncesApplyButton", this);
    m_apply->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_apply->setEnabled(false);
    QPushButton* close = makeButton(QStringLiteral("Schließen"), "BouncesCloseButton", this);
    close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

    auto* top = new QHBoxLayout;
    top->addWidget(m_fetch);
    top->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_apply);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_summary);
    layout->addLayout(buttons);
    resize(760, 480);

    connect(m_fetch, &QPushButton::clicked, this, &TBouncesForm::fetch);
    connect(m_apply, &QPushButton::clicked, this, &TBouncesForm::applyResult);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

int TBouncesForm::runModal() {
    return exec();
}

namespace {

// The POP3 account of the open database's settings file.
Pop3Account mailboxAccount(const AppState& state, QString* problem) {
    const QString file = SettingsFiles::chooseSettingsFile(state.session.programFolder(),
                                                           state.session.definitionName());
    const AccountSettings s = Settings::readAccountSettingsPlain(file);
    Pop3Account a;
    a.host = s.popHost.trimmed();
    a.port = s.popPortNumber().value_or(0);
    a.login = s.popAccount;
    a.password = s.popPassword;
    a.ssl = s.sslActive;
    a.caFile = IniFile(file).readString(QStringLiteral("SSL"), QStringLiteral("CAFile"));
    if (a.host.isEmpty() || a.port <= 0)
        *problem = QStringLiteral("Bitte tragen Sie unter \"Programm - Optionen\" den POP3-Server "
                                  "und den Port Ihres Postfachs ein.");
    return a;
}

} // namespace

void TBouncesForm::fetch() {
    Messages& messages = Messages::instance();
    QString problem;
    const Pop3Account account = mailboxAccount(m_state, &problem);
    if (!problem.isEmpty()) {
        messages.information(problem);
        return;
    }
    m_fetch->setEnabled(false);
    m_apply->setEnabled(false);
    m_summary->setText(QStringLiteral("Das Postfach wird gelesen ..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Bounces::Scan scan;
    BlockingCall::run([&] { scan = Bounces::readMailbox(account); });
    QApplication::restoreOverrideCursor();
    m_fetch->setEnabled(true);
    m_scan = scan;
    m_applied = false;
    showScan();
    if (!m_scan.error.isEmpty())
        messages.error(m_scan.error);
}

void TBouncesForm::showScan() {
    const QList<BounceRecipient> found = m_scan.recipients();
    m_table->setRowCount(int(found.size()));
    int hard = 0;
    for (int row = 0; row < found.size(); ++row) {
        const BounceRecipient& r = found[row];
        hard += r.hard ? 1 : 0;
        m_table->setItem(row, 0, new QTableWidgetItem(r.address));
        m_table->setItem(
            row, 1,
            new QTableWidgetItem(r.hard ? QStringLiteral("hart") : QStringLiteral("weich")));
        m_table->setItem(
            row, 2,
            new QTableWidgetItem((r.status.isEmpty() ? QString() : r.status + ": ") + r.reason));
    }
    m_table->resizeColumnToContents(0);
    m_summary->setText(
        QStringLiteral("%1 E-Mails im Postfach: %2 Rückläufer mit %3 Adressen (%4 hart, %5 weich), "
                       "%6 nicht auswertbar, %7 keine Rückläufer.")
            .arg(m_scan.messages)
            .arg(m_scan.bounces)
            .arg(found.size())
            .arg(hard)
            .arg(found.size() - hard)
            .arg(m_scan.unrecognised)
            .arg(m_scan.noBounces));
    m_apply->setEnabled(m_scan.error.isEmpty() && !found.isEmpty());
}

void TBouncesForm::applyResult() {
    Messages& messages = Messages::instance();
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        messages.information(Texts::openDatabaseFirst());
        return;
    }
    if (m_applied)
        return;
    const Bounces::Applied applied = Bounces::apply(*table, m_scan.recipients());
    if (!applied.error.isEmpty()) {
        messages.error(applied.error); // the server keeps every mail
        return;
    }
    m_applied = true;
    m_apply->setEnabled(false);
    QString text = QStringLiteral("%1 Datensätze wurden als ungültig (Invalid) markiert.\r"
                                  "%2 weiche Rückläufer wurden nicht markiert.\r"
                                  "%3 Adressen harter Rückläufer stehen nicht in der Tabelle.")
                       .arg(applied.marked)
                       .arg(applied.soft)
                       .arg(applied.hardNotInTable);
    // Only now that the marks are committed may the server forget the bounces.
    if (m_delete->isChecked()) {
        QString problem;
        const Pop3Account account = mailboxAccount(m_state, &problem);
        int deleted = -1;
        QString error;
        BlockingCall::run(
            [&] { deleted = Bounces::deleteProcessed(account, m_scan.mails, &error); });
        if (deleted < 0) {
            messages.information(text);
            messages.error(error);
            return;
        }
        text += QStringLiteral("\r%1 ausgewertete Rückläufer wurden auf dem Server gelöscht.")
                    .arg(deleted);
    }
    messages.information(text);
}
