#include "web/forms/TSuscribeForm.h"

#include "common/IniFile.h"
#include "common/Messages.h"
#include "common/TextFile.h"
#include "compose/forms/HtmlView.h"
#include "database/AddressTable.h"
#include "settings/AccountSettings.h"
#include "shell/AppState.h"
#include "shell/forms/BusyCursor.h"
#include "web/WebHttp.h"
#include "web/WebSync.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const invalidHint =
    "Wenn Sie diesen Parameter aktivieren, werden Abbestellungen nur noch als Invalid markiert "
    "und nicht mehr gelöscht. Beachten Sie auch, dass solange eine Datensatz invalid ist, mit "
    "dieser E-Mail-Adresse auch keine Anmeldung mehr möglich ist!";

QString htmlAnswerMessage(const QString& serverPath) {
    return u("FEHLER!\r\rEntweder:\r\rIm angegebenen Onlinepfad\r") + serverPath +
           u("\rbefinden sich nicht die aktuellen Formulare und Scripte! Bitte stellen Sie "
             "zuerst Ihre Formulare und Scripte mit Ihrem FTP-Programm online!\r\roder:\rSie "
             "sind nicht mit dem Internet verbunden! Bitte stellen Sie eine "
             "Internetverbindung her!\r");
}

QString deniedMessage() {
    return u("FEHLER!\rDas online hinterlegte Passwort stimmt nicht mit dem im Programm "
             "vergebenen überein.\rBitte aktualisieren Sie die Ihre Daten online! Indem Sie "
             "das \r\"Automatische Abholen von Bestellungen\" neu einrichten.");
}

} // namespace

TSuscribeForm::TSuscribeForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("SuscribeForm"));
    setWindowTitle(u("Bestellungen / Abbestellungen"));
    setMinimumSize(620, 480);
    resize(700, 560);

    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));
    layout->addWidget(m_status);

    QLabel** labels[] = {&m_totalLabel, &m_ordersLabel, &m_cancellationsLabel};
    const char* labelNames[] = {"GesamtLabel", "SuscribeLabel", "UnsuscribeLabel"};
    for (int i = 0; i < 3; ++i) {
        auto* row = new QHBoxLayout;
        *labels[i] = new QLabel(this);
        (*labels[i])->setObjectName(QLatin1String(labelNames[i]));
        (*labels[i])->setMinimumWidth(320);
        m_bars[i] = new QProgressBar(this);
        m_bars[i]->setObjectName(QStringLiteral("ProgressBar") + QString::number(i + 1));
        m_bars[i]->setRange(0, 100);
        row->addWidget(*labels[i]);
        row->addWidget(m_bars[i], 1);
        layout->addLayout(row);
    }

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    auto* resultPage = new QWidget(m_pages);
    resultPage->setObjectName(QStringLiteral("TabSheet1"));
    auto* resultLayout = new QVBoxLayout(resultPage);
    m_checkList = new QListWidget(resultPage);
    m_checkList->setObjectName(QStringLiteral("CheckListBox1"));
    resultLayout->addWidget(m_checkList, 1);
    m_browserPanel = new QWidget(resultPage);
    m_browserPanel->setObjectName(QStringLiteral("WebBrowserPanel"));
    auto* browserLayout = new QVBoxLayout(m_browserPanel);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    m_browser = new HtmlView(m_browserPanel);
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    m_browser->setMinimumHeight(120);
    browserLayout->addWidget(m_browser);
    resultLayout->addWidget(m_browserPanel, 1);
    m_pages->addTab(resultPage, u("Resultat"));
    m_ordersMemo = new QPlainTextEdit(m_pages);
    m_ordersMemo->setObjectName(QStringLiteral("SuscribeMemo"));
    m_ordersMemo->setReadOnly(true);
    m_ordersMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pages->addTab(m_ordersMemo, u("Alle Bestellungen"));
    m_cancellationsMemo = new QPlainTextEdit(m_pages);
    m_cancellationsMemo->setObjectName(QStringLiteral("UnsuscribeMemo"));
    m_cancellationsMemo->setReadOnly(true);
    m_cancellationsMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pages->addTab(m_cancellationsMemo, u("Alle Abbestellungen"));
    layout->addWidget(m_pages, 1);

    m_onlyInvalid =
        new QCheckBox(u("Abbestellungen nur als invalid markieren und nicht löschen"), this);
    m_onlyInvalid->setObjectName(QStringLiteral("OnlyInvalidCheckBox"));
    m_onlyInvalid->setToolTip(u(invalidHint));
    layout->addWidget(m_onlyInvalid);

    auto* buttons = new QHBoxLayout;
    m_fetchButton = new QPushButton(u("Bestellungen abholen"), this);
    m_fetchButton->setObjectName(QStringLiteral("GetOrdersBitBtn"));
    m_applyButton = new QPushButton(u("In die Datenbank übernehmen"), this);
    m_applyButton->setObjectName(QStringLiteral("InDatabaseBitBtn"));
    m_closeButton = new QPushButton(u("Schließen"), this);
    m_closeButton->setObjectName(QStringLiteral("BitBtn1"));
    for (QPushButton* b : {m_fetchButton, m_applyButton, m_closeButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->insertStretch(2);
    layout->addLayout(buttons);

    connect(m_fetchButton, &QPushButton::clicked, this, &TSuscribeForm::fetch);
    connect(m_applyButton, &QPushButton::clicked, this, &TSuscribeForm::applyChecked);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_onlyInvalid, &QCheckBox::toggled, this, &TSuscribeForm::onlyInvalidToggled);
    connect(m_browser, &HtmlView::loadFinished, this, &TSuscribeForm::wipeLoaded);
}

TSuscribeForm::~TSuscribeForm() = default;

QString TSuscribeForm::resultPath() const {
    return m_state.folders.programFolder + QStringLiteral("Result.txt");
}

QString TSuscribeForm::newResultPath() const {
    return m_state.folders.programFolder + QStringLiteral("NewResult.txt");
}

QString TSuscribeForm::rejectedPath() const {
    return m_state.folders.programFolder + u("Abgewiesene_Einträge.txt");
}

bool TSuscribeForm::prepare() {
    const DatabaseSession& session = m_state.session;
    if (session.definitionName().isEmpty() || !session.hasOpenTable()) {
        Messages::instance().information(u("Öffnen Sie zuerst eine Datenbank!"));
        return false;
    }
    const WebSettings web(m_state.folders.dataFolder, session.definitionName());
    m_hasWebSettings = web.exists();
    m_serverPath = m_hasWebSettings ? web.onlinePath().trimmed() : QString();
    m_password = m_hasWebSettings ? web.onlinePassword().trimmed() : QString();

    m_waitingForWipe = false;
    m_pages->setCurrentIndex(0);
    for (QProgressBar* b : m_bars)
        b->setValue(0);
    m_totalLabel->setText(u("Gesamteinträge:"));
    m_ordersLabel->setText(u("Bestellungen:"));
    m_cancellationsLabel->setText(u("Abbestellungen:"));
    m_status->setText(u("Bestellungen / Abbestellungen von Ihrer Internetseite abholen"));
    m_applyButton->setEnabled(false);
    m_checkList->clear();
    m_ordersMemo->clear();
    m_cancellationsMemo->clear();
    m_browserPanel->hide();
    m_settingBox = true;
    m_onlyInvalid->setChecked(m_hasWebSettings && web.invalidOnCancel());
    m_settingBox = false;
    m_skipNextInvalidMessage = !m_hasWebSettings;
    return true;
}

int TSuscribeForm::run() {
    if (!prepare())
        return QDialog::Rejected;
    return exec();
}

void TSuscribeForm::onlyInvalidToggled(bool on) {
    if (m_settingBox || !on)
        return;
    if (m_skipNextInvalidMessage) {
        m_skipNextInvalidMessage = false;
        return;
    }
    Messages::instance().information(
        u("Diese Einstellung ist nur einmalig aktiv, möchten Sie dieses Verhalten dauerhaft "
          "einstellen, aktivieren Sie die Option\runter \"Web und Newsletter -> Automatisches "
          "abholen von Bestellungen einrichten\"!"));
}

QString TSuscribeForm::cacheBreaker() const {
    return QString::number(QRandomGenerator::global()->bounded(1000));
}

bool TSuscribeForm::fetchList(const QString& address, QStringList* lines) {
    const QString settingsFile = SettingsFiles::chooseSettingsFile(
        m_state.folders.programFolder, m_state.session.definitionName());
    const QString caFile =
        IniFile(settingsFile).readString(QStringLiteral("SSL"), QStringLiteral("CAFile"));
    WebHttp::Result r;
    {
        const BusyCursor busy;
        r = WebHttp::get(address, Settings::loadProxySettings(m_state.folders.programFolder),
                         caFile);
    }
    if (!r.ok) {
        Messages::instance().error(r.error);
        return false;
    }
    *lines = WebSync::listLines(r.body, &m_rejected);
    return true;
}

void TSuscribeForm::keepRejected(const QStringList& lines) {
    if (lines.isEmpty())
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    bool written = true;
    for (const QString& l : lines)
        written = TextFile::appendLine(rejectedPath(), stamp + QStringLiteral(" ") + l) && written;
    Messages::instance().information(
        QString::number(lines.size()) +
        u(" Einträge konnten nicht übernommen werden, weil sie fehlerhaft sind.\r") +
        (written ? u("Sie wurden in der Datei\r") + rejectedPath() + u("\rfestgehalten.")
                 : u("Die Datei\r") + rejectedPath() + u("\rkann nicht geschrieben werden.")));
}

void TSuscribeForm::fetch() {
    Messages& messages = Messages::instance();
    m_browserPanel->hide();
    m_waitingForWipe = false;
    m_browser->showAddress(QUrl(m_serverPath + QStringLiteral("mailin.php?") + cacheBreaker()));
    for (QProgressBar* b : m_bars)
        b->setValue(0);
    if (m_password.isEmpty() &&
        !messages.question(
            u("Achtung! Sie verwenden derzeit noch die alte, ungesicherte Methode um Ihre "
              "Einträge online abzuholen, wir empfehlen Ihnen alle Einträge abzuholen und danach "
              "unter dem Punkt \"Automatisches Abholen von Bestellungen einrichten\" Ihre "
              "automatische Abholung zu aktualisieren! Möchten Sie mit der Abholung forfahren?")))
        return;
    m_status->setText(u("Bestellungen abholen, bitte warten..."));
    m_applyButton->setEnabled(true);
    m_checkList->clear();
    m_ordersMemo->clear();
    m_cancellationsMemo->clear();
    m_rejected.clear();

    const QString ordersAddress = WebSync::ordersAddress(m_serverPath, m_password);
    if (!m_password.isEmpty())
        messages.information(ordersAddress);
    QStringList orders;
    if (!fetchList(ordersAddress, &orders)) {
        m_applyButton->setEnabled(false);
        return;
    }
    m_ordersMemo->setPlainText(orders.join(QChar('\n')));
    if (WebSync::looksLikeHtml(orders)) {
        messages.error(htmlAnswerMessage(m_serverPath));
        reject();
        return;
    }
    if (WebSync::accessDenied(orders)) {
        messages.error(deniedMessage());
        reject();
        return;
    }
    QStringList cancellations;
    if (!fetchList(WebSync::cancellationsAddress(m_serverPath, m_password), &cancellations)) {
        m_applyButton->setEnabled(false);
        return;
    }
    m_cancellationsMemo->setPlainText(cancellations.join(QChar('\n')));

    m_status->setText(u("Bestellungen: Neueinträge ermitteln, bitte warten... "));
    WebSync::Analysis a;
    {
        const BusyCursor busy;
        a = WebSync::analyse(orders, cancellations, *m_state.session.currentTable()->store());
    }
    QString error;
    if (!TextFile::writeLines(resultPath(), a.newLines, &error)) {
        messages.error(error);
        m_applyButton->setEnabled(false);
        return;
    }
    m_checkList->setUpdatesEnabled(false);
    for (const QString& entry : a.checkEntries) {
        auto* item = new QListWidgetItem(entry, m_checkList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    m_checkList->setUpdatesEnabled(true);
    m_totalLabel->setText(WebSync::totalText(a));
    m_bars[0]->setValue(100);
    m_ordersLabel->setText(WebSync::ordersText(a));
    m_bars[1]->setValue(WebSync::percent(a.newOrders, a.total));
    m_cancellationsLabel->setText(WebSync::cancellationsText(a));
    m_bars[2]->setValue(WebSync::percent(a.newCancellations, a.total));
    m_status->setText(u("Bestellungen / Abbestellungen abgeholt - fertig"));
    keepRejected(m_rejected);
    m_rejected.clear();
}

void TSuscribeForm::applyChecked() {
    AddressTable* table = m_state.session.currentTable();
    if (!table || !table->isOpen())
        return;
    Messages& messages = Messages::instance();
    QStringList checked;
    for (int i = 0; i < m_checkList->count(); ++i)
        if (m_checkList->item(i)->checkState() == Qt::Checked)
            checked << m_checkList->item(i)->text();
    QStringList result;
    QString error;
    if (QFile::exists(resultPath()) && !TextFile::readLines(resultPath(), &result, &error)) {
        messages.error(error);
        return;
    }
    const QStringList confirmed = WebSync::confirmedLines(result, checked);
    if (!TextFile::writeLines(newResultPath(), confirmed, &error)) {
        messages.error(error);
        return;
    }
    WebSync::ApplyResult applied;
    {
        const BusyCursor busy;
        applied = WebSync::apply(*table->store(), confirmed, m_onlyInvalid->isChecked(),
                                 [this](qint64 done, qint64 total) {
                                     m_status->setText(
                                         QStringLiteral("Übernehmen: ") + QString::number(done) +
                                         QStringLiteral(" von ") + QString::number(total));
                                 });
    }
    if (!applied.ok) {
        // The lists stay on the site and the working files here: the next fetch brings
        // the same requests again.
        messages.error(applied.error);
        return;
    }
    m_status->setText(u("Bestellungen / Abbestellungen übernommen"));
    keepRejected(applied.refused);
    QFile::remove(newResultPath());
    QFile::remove(resultPath());
    m_browserPanel->show();
    m_waitingForWipe = true;
    m_browser->showAddress(QUrl(m_serverPath + QStringLiteral("wipe_files.php?") + cacheBreaker()));
}

void TSuscribeForm::wipeLoaded() {
    if (!m_waitingForWipe)
        return;
    m_waitingForWipe = false;
    accept();
}
