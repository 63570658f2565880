#include "web/forms/TEnterpriseLinksForm.h"

#include "common/Messages.h"
#include "database/WebSettings.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"
#include "web/TrackingSetup.h"
#include "web/forms/WebFormSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

void openText(const QLineEdit* edit) {
    const QString text = edit->text().trimmed();
    if (!text.isEmpty())
        Documents::openOrReport(Documents::targetUrl(text), Messages::instance());
}

} // namespace

TEnterpriseLinksForm::TEnterpriseLinksForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("EnterpriseLinksForm"));
    setWindowTitle(u("Web Info"));
    setMinimumWidth(640);
    auto* layout = new QVBoxLayout(this);
    auto* head = new QLabel(u("Info zur Datenbank:"), this);
    head->setObjectName(QStringLiteral("Label1"));
    m_database = new QLabel(this);
    m_database->setObjectName(QStringLiteral("DBLabel"));
    QFont bold = m_database->font();
    bold.setBold(true);
    m_database->setFont(bold);
    auto* headRow = new QHBoxLayout;
    headRow->addWidget(head);
    headRow->addWidget(m_database, 1);
    layout->addLayout(headRow);

    auto addLink = [&](const char* labelName, const QString& caption, const char* editName,
                       QLineEdit** edit, bool readOnly) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        label->setWordWrap(true);
        layout->addWidget(label);
        *edit = new QLineEdit(this);
        (*edit)->setObjectName(QLatin1String(editName));
        (*edit)->setReadOnly(readOnly);
        auto* row = new QHBoxLayout;
        row->addWidget(*edit, 1);
        layout->addLayout(row);
        return row;
    };
    QHBoxLayout* row = addLink("Label2",
                               u("Subscribe Link - Link zum Newsletter bestellen (bauen Sie diesen "
                                 "Link in Ihre Internetseite ein !)"),
                               "SubEdit", &m_subscribe, true);
    m_copySubscribe = button(this, "SubLinkBitBtn", u("Link ins Clipboard kopieren"));
    m_testSubscribe = button(this, "BitBtn3", u("Link testen"));
    row->addWidget(m_copySubscribe);
    row->addWidget(m_testSubscribe);
    row = addLink("Label3",
                  u("Unsubscribe Link - Link zum Newsletter abbestellen (bauen Sie diesen Link in "
                    "Ihr Newsletter ein !)"),
                  "UnsubEdit", &m_unsubscribe, true);
    m_copyUnsubscribe = button(this, "BitBtn1", u("Link ins Clipboard kopieren"));
    m_testUnsubscribe = button(this, "BitBtn2", u("Link testen"));
    row->addWidget(m_copyUnsubscribe);
    row->addWidget(m_testUnsubscribe);
    row = addLink("Label4", u("Link zur Trackingstatistik (Newsletter Klicks):"), "OnlineStats",
                  &m_stats, false);
    m_startStats = button(this, "OnlineStatsBtn", u("Statistik starten"));
    row->addWidget(m_startStats);

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    QPushButton* close = button(this, "UebernehmenButton", u("Schließen"));
    closeRow->addWidget(close);
    layout->addLayout(closeRow);

    auto copy = [](const QLineEdit* edit) { QApplication::clipboard()->setText(edit->text()); };
    connect(m_copySubscribe, &QPushButton::clicked, this, [this, copy] { copy(m_subscribe); });
    connect(m_copyUnsubscribe, &QPushButton::clicked, this, [this, copy] { copy(m_unsubscribe); });
    connect(m_testSubscribe, &QPushButton::clicked, this, [this] { openText(m_subscribe); });
    connect(m_testUnsubscribe, &QPushButton::clicked, this, [this] { openText(m_unsubscribe); });
    connect(m_startStats, &QPushButton::clicked, this, [this] { openText(m_stats); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

bool TEnterpriseLinksForm::prepare() {
    if (!WebForms::requireDatabase(m_state.session))
        return false;
    const WebSettings web(m_state.folders.dataFolder, m_state.session.definitionName());
    const bool exists = web.exists();
    const QString serverPath = exists ? web.onlinePath().trimmed() : QString();
    const TrackingState t = web.tracking();
    m_database->setText(m_state.session.displayName());

    const bool forms = !serverPath.isEmpty();
    m_subscribe->setText(forms ? serverPath + QStringLiteral("subscribe.html") : QString());
    m_unsubscribe->setText(forms ? serverPath + QStringLiteral("unsubscribe.html") : QString());
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_subscribe, m_unsubscribe, m_copySubscribe,
                                         m_copyUnsubscribe, m_testSubscribe, m_testUnsubscribe})
        w->setEnabled(forms);

    const bool stats = !t.statsAddress.isEmpty() && !t.password.isEmpty();
    m_stats->setText(stats ? TrackingSetup::evaluationAddress(t.statsAddress, t.password)
                           : QString());
    m_stats->setEnabled(stats);
    m_startStats->setEnabled(stats);
    return true;
}

int TEnterpriseLinksForm::run() {
    if (!prepare())
        return QDialog::Rejected;
    return exec();
}
