#include "settings/forms/TOptionsForm.h"

#include "common/Messages.h"
#include "database/WebSettings.h"
#include "platform/DocumentOpener.h"
#include "send/forms/TFTryconnection.h"
#include "settings/forms/SendLimitsPanel.h"
#include "settings/forms/TDkimForm.h"
#include "settings/forms/TImportAccountsForm.h"
#include "shell/AppState.h"
#include "web/UnsubscribeLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QByteArray readFileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QLineEdit* lineEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLineEdit* passwordEdit(QWidget* parent, const char* name) {
    QLineEdit* e = lineEdit(parent, name);
    e->setEchoMode(QLineEdit::Password);
    // Passwords show as "*", whatever the style's own mask character is.
    e->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    return e;
}

QLabel* label(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(false);
    return l;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QGroupBox* group(const QString& title, const char* name, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

} // namespace

TOptionsForm::TOptionsForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Optionen"));
    buildControls();
}

QString TOptionsForm::faqAddress() {
    return QStringLiteral("https://www.quillon.de/faq.html");
}

void TOptionsForm::buildControls() {
    // Absender.
    QGroupBox* sender = group(QStringLiteral("Absender"), "AbsenderGroup", this);
    m_email = lineEdit(sender, "EmailEdit");
    m_name = lineEdit(sender, "NameEdit");
    auto* senderGrid = new QGridLayout(sender);
    senderGrid->addWidget(label(QStringLiteral("Ihre Absender-E-Mail-Adresse"), sender), 0, 0);
    senderGrid->addWidget(m_email, 0, 1);
    senderGrid->addWidget(label(QStringLiteral("Ihr Absender-Name"), sender), 1, 0);
    senderGrid->addWidget(m_name, 1, 1);
    // Per database, in its web settings; only a database with a web kit can offer it.
    m_listUnsubscribe = new QCheckBox(
        QStringLiteral("Abmelde-Link (List-Unsubscribe) in jede E-Mail setzen"), sender);
    m_listUnsubscribe->setObjectName(QStringLiteral("ListUnsubscribeCheckBox"));
    senderGrid->addWidget(m_listUnsubscribe, 2, 0, 1, 2);

    // Postausgang, with the authentication panel.
    QGroupBox* outgoing = group(QStringLiteral("Postausgang"), "PostausgangGroup", this);
    m_smtpHost = lineEdit(outgoing, "SMTPHostEdit");
    m_smtpPort = lineEdit(outgoing, "SMTPPortEdit");
    m_smtpPort->setMaximumWidth(70);
    m_ssl = new QCheckBox(QStringLiteral("SSL"), outgoing);
    m_ssl->setObjectName(QStringLiteral("SSLActiveCheckBox"));
    m_ssl->setToolTip(QStringLiteral(
        "Aktivieren Sie diesen Schalter wenn Ihr SMTP-Server eine verschlüsselte Verbindung "
        "(SSL) benötigt! \nBitte beachten Sie auch das diese meist einen anderen Port als die "
        "unverschlüsselten SMTP-Server benutzen!"));
    m_authentication = new QCheckBox(QStringLiteral("Server Authentifikation"), outgoing);
    m_authentication->setObjectName(QStringLiteral("AuthentificationCheckBox"));
    m_panel2 = new QWidget(outgoing);
    m_panel2->setObjectName(QStringLiteral("Panel2"));
    m_smtpUser = lineEdit(m_panel2, "SMTPUserNameEdit");
    m_smtpPassword = passwordEdit(m_panel2, "SMTPPasswordEdit");
    auto* panel2Grid = new QGridLayout(m_panel2);
    panel2Grid->setContentsMargins(20, 0, 0, 0);
    panel2Grid->addWidget(label(QStringLiteral("Username"), m_panel2), 0, 0);
    panel2Grid->addWidget(m_smtpUser, 0, 1);
    panel2Grid->addWidget(label(QStringLiteral("Passwort"), m_panel2), 1, 0);
    panel2Grid->addWidget(m_smtpPassword, 1, 1);
    m_popBeforeSmtp = new QCheckBox(QStringLiteral("POP vor SMTP"), outgoing);
    m_popBeforeSmtp->setObjectName(QStringLiteral("POPvorSMTPCheckBox"));
    auto* aliceNote =
        label(QStringLiteral("Dies ist z.B. beim Provider ALICE erforderlich."), outgoing);
    aliceNote->setObjectName(QStringLiteral("POPvorSMTPLabel"));
    aliceNote->setStyleSheet(QStringLiteral("color: red;"));
    auto* outGrid = new QGridLayout(outgoing);
    outGrid->addWidget(label(QStringLiteral("Postaussgangsserver (SMTP)"), outgoing), 0, 0);
    outGrid->addWidget(m_smtpHost, 0, 1);
    outGrid->addWidget(label(QStringLiteral("Port"), outgoing), 0, 2);
    outGrid->addWidget(m_smtpPort, 0, 3);
    outGrid->addWidget(label(QStringLiteral("(oder die IP-Adresse Ihres Mailservers)"), outgoing),
                       1, 1);
    outGrid->addWidget(m_ssl, 1, 3);
    outGrid->addWidget(m_authentication, 2, 0, 1, 2);
    outGrid->addWidget(m_panel2, 3, 0, 1, 4);
    outGrid->addWidget(m_popBeforeSmtp, 4, 0, 1, 2);
    outGrid->addWidget(aliceNote, 5, 0, 1, 4);

    // Posteingang: shown only while POP-before-SMTP is on.
    m_panel1 = group(QStringLiteral("Posteingang"), "Panel1", this);
    m_popHost = lineEdit(m_panel1, "POPHostEdit");
    m_popAccount = lineEdit(m_panel1, "POPKontoEdit");
    m_popPassword = passwordEdit(m_panel1, "POPPasswordEdit");
    m_popPort = lineEdit(m_panel1, "POPPortEdit");
    m_popPort->setMaximumWidth(70);
    auto* inGrid = new QGridLayout(m_panel1);
    inGrid->addWidget(label(QStringLiteral("Posteingangsserver (POP)"), m_panel1), 0, 0);
    inGrid->addWidget(m_popHost, 0, 1);
    inGrid->addWidget(label(QStringLiteral("Port"), m_panel1), 0, 2);
    inGrid->addWidget(m_popPort, 0, 3);
    inGrid->addWidget(label(QStringLiteral("Kontoname:"), m_panel1), 1, 0);
    inGrid->addWidget(m_popAccount, 1, 1);
    inGrid->addWidget(label(QStringLiteral("Kennwort:"), m_panel1), 2, 0);
    inGrid->addWidget(m_popPassword, 2, 1);

    // Identifikation, Delay, Zeichensatz.
    QGroupBox* identity = group(QStringLiteral("Identifikation"), "IdentifikationGroup", this);
    m_identity = new QComboBox(identity);
    m_identity->setObjectName(QStringLiteral("EmuComboBox"));
    m_identity->addItems(clientIdentityItems());
    auto* idLayout = new QVBoxLayout(identity);
    idLayout->addWidget(
        label(QStringLiteral("Quillon meldet als folgender Client am SMTP Server an:"), identity));
    idLayout->addWidget(m_identity);

    QGroupBox* delay = group(QStringLiteral("Delay"), "DelayGroup", this);
    m_delay = lineEdit(delay, "DelayEdit");
    m_delay->setMaximumWidth(70);
    auto* delayLayout = new QHBoxLayout(delay);
    delayLayout->addWidget(
        label(QStringLiteral("Wartepause in Sekunden zwischen den E-Mails"), delay));
    delayLayout->addWidget(m_delay);
    delayLayout->addStretch();

    QGroupBox* charset = group(QStringLiteral("Zeichensatz"), "ZeichensatzGroup", this);
    m_codeSet = new QComboBox(charset);
    m_codeSet->setObjectName(QStringLiteral("ComboBox1"));
    m_codeSet->addItems(codeSetItems());
    auto* charsetLayout = new QHBoxLayout(charset);
    charsetLayout->addWidget(m_codeSet);
    charsetLayout->addStretch();

    // Proxy-Einstellungen.
    QGroupBox* proxy = group(QStringLiteral("Proxy-Einstellungen"), "ProxyGroup", this);
    m_proxy = new QCheckBox(QStringLiteral("Proxyserver verwenden"), proxy);
    m_proxy->setObjectName(QStringLiteral("ProxyCheckBox"));
    m_proxyServer = lineEdit(proxy, "Edit8");
    m_proxyServer->setToolTip(QStringLiteral("ip address of the proxy server"));
    m_proxyPort = lineEdit(proxy, "Edit9");
    m_proxyPort->setToolTip(QStringLiteral("port of the proxy server"));
    m_proxyPort->setMaximumWidth(70);
    m_proxyUser = lineEdit(proxy, "Edit4");
    m_proxyPassword = passwordEdit(proxy, "MaskEdit1");
    m_proxyPassword->setToolTip(
        QStringLiteral("password to use for authenticate on the proxy server"));
    auto* proxyGrid = new QGridLayout(proxy);
    proxyGrid->addWidget(m_proxy, 0, 0, 1, 4);
    proxyGrid->addWidget(label(QStringLiteral("IP Adresse"), proxy), 1, 0);
    proxyGrid->addWidget(m_proxyServer, 1, 1);
    proxyGrid->addWidget(label(QStringLiteral("Port"), proxy), 1, 2);
    proxyGrid->addWidget(m_proxyPort, 1, 3);
    proxyGrid->addWidget(label(QStringLiteral("User Name"), proxy), 2, 0);
    proxyGrid->addWidget(m_proxyUser, 2, 1);
    proxyGrid->addWidget(label(QStringLiteral("Passwort"), proxy), 3, 0);
    proxyGrid->addWidget(m_proxyPassword, 3, 1);

    // Einstellungsgültigkeit: only for a database other than the standard one.
    m_levelGroup = new QFrame(this);
    m_levelGroup->setObjectName(QStringLiteral("LevelGroup"));
    m_levelGroup->setFrameShape(QFrame::StyledPanel);
    auto* heading = label(QStringLiteral("Einstellungsgültigkeit"), m_levelGroup);
    heading->setObjectName(QStringLiteral("Label21"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* dbLabel =
        label(QStringLiteral("Diese Einstellungen für folgende Datenbank:"), m_levelGroup);
    dbLabel->setObjectName(QStringLiteral("DBSettingsLabel"));
    m_dbSettings = label(QString(), m_levelGroup);
    m_dbSettings->setObjectName(QStringLiteral("DBSettings"));
    m_dbSettings->setFont(bold);
    m_dbSettingsButton = button(QStringLiteral("Allgemeine Einstellungen verwenden"),
                                "DBSettingsButton", m_levelGroup);
    auto* levelGrid = new QGridLayout(m_levelGroup);
    levelGrid->addWidget(heading, 0, 0, 1, 2);
    levelGrid->addWidget(dbLabel, 1, 0);
    levelGrid->addWidget(m_dbSettings, 1, 1);
    levelGrid->addWidget(m_dbSettingsButton, 2, 0, 1, 2, Qt::AlignLeft);

    // Help on the providers, and the exchange note.
    auto* helpBox = new QWidget(this);
    auto* helpLayout = new QGridLayout(helpBox);
    helpLayout->setContentsMargins(0, 0, 0, 0);
    helpLayout->addWidget(label(QStringLiteral("Hilfe zu:"), helpBox), 0, 0);
    struct Provider {
        const char* caption;
        const char* name;
        const char* page;
    };
    const Provider providers[] = {{"GMX (United Internet)", "GMXBitBtn", "gmx.html"},
                                  {"WEB.de (United Internet)", "WEBBitBtn", "web.html"},
                                  {"T-Online", "TOnlineBitBtn", "t-online.html"},
                                  {"1und1", "PuretecBitBtn", "puretec.html"},
                                  {"Strato", "StratoBitBtn", "strato.html"}};
    int column = 1;
    for (const Provider& p : providers) {
        QPushButton* b = button(QLatin1String(p.caption), p.name, helpBox);
        const QString page = QLatin1String(p.page);
        connect(b, &QPushButton::clicked, this, [this, page] { openHelp(page); });
        helpLayout->addWidget(b, column <= 3 ? 0 : 1, column <= 3 ? column : column - 3);
        ++column;
    }
    QPushButton* exchange = button(QStringLiteral("Microsoft Exchange"), "FreenetBitBtn", helpBox);
    helpLayout->addWidget(exchange, 1, 3);
    connect(exchange, &QPushButton::clicked, this, &TOptionsForm::exchangeClicked);

    // Account import: the accounts of the user's Thunderbird profiles; the Outlook
    // import needs Outlook and stays off without it.
    m_importLabel = label(QStringLiteral("Postfacheinstellungen übernehmen von:"), this);
    m_importLabel->setObjectName(QStringLiteral("ImportAccountsLabel"));
    m_importLabel->setCursor(Qt::PointingHandCursor);
    m_importLabel->installEventFilter(this);
    m_importButton = button(QStringLiteral("Thunderbird"), "ImportAccountBitBtn", this);
    m_outlookImport = button(QStringLiteral("Outlook 97-2010"), "OutlookImport", this);
    m_accountImport = new TImportAccountsForm(this);
    m_accountImport->fillOptions = [this](const ThunderbirdAccounts::OptionsFields& f) {
        fillFromAccount(f);
    };
    connect(m_importButton, &QPushButton::clicked, m_accountImport, &QDialog::exec);

    // Buttons.
    m_tryConnection = button(QStringLiteral("Verbindung testen"), "TryConnetionButton", this);
    // The test window is a child of this dialog, so it takes input while the dialog
    // is modal.
    m_connectionTest = new TFTryconnection(m_state, this);
    m_connectionTest->dialogValues = [this] { return currentValues(); };
    // DKIM signing: a window of its own, saved on its own OK into the settings file in force.
    QPushButton* dkim = button(QStringLiteral("DKIM-Signatur..."), "DkimButton", this);
    m_dkim = new TDkimForm(this);
    m_dkim->settingsFile = [this] {
        return SettingsFiles::chooseSettingsFile(m_state.session.programFolder(),
                                                 m_state.session.definitionName());
    };
    m_dkim->senderAddress = [this] { return m_email->text().trimmed(); };
    connect(dkim, &QPushButton::clicked, m_dkim, &TDkimForm::runModal);
    QPushButton* help = button(QStringLiteral("Hilfe"), "HilfeBitBtn", this);
    help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    QPushButton* ok = button(QStringLiteral("OK"), "UebernehmenButton", this);
    ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ok->setDefault(true);
    QPushButton* cancel = button(QStringLiteral("Abbrechen"), "AbbrechenButton", this);
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_tryConnection);
    buttons->addWidget(dkim);
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* left = new QVBoxLayout;
    left->addWidget(sender);
    left->addWidget(outgoing);
    left->addWidget(m_panel1);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(identity);
    right->addWidget(delay);
    m_limits = new SendLimitsPanel(this);
    right->addWidget(m_limits);
    right->addWidget(charset);
    right->addWidget(proxy);
    right->addWidget(m_levelGroup);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(helpBox);
    auto* importRow = new QHBoxLayout;
    importRow->addWidget(m_importLabel);
    importRow->addWidget(m_importButton);
    importRow->addWidget(m_outlookImport);
    importRow->addStretch();
    layout->addLayout(importRow);
    layout->addLayout(buttons);

    // Edits take effect at once.
    connect(m_smtpPort, &QLineEdit::textChanged, this,
            [this] { correctNumber(m_smtpPort, QStringLiteral("25")); });
    connect(m_popPort, &QLineEdit::textChanged, this,
            [this] { correctNumber(m_popPort, QStringLiteral("110")); });
    connect(m_delay, &QLineEdit::textChanged, this,
            [this] { correctNumber(m_delay, QStringLiteral("0")); });
    connect(m_proxyPort, &QLineEdit::textChanged, this, &TOptionsForm::correctProxyPort);
    connect(m_popBeforeSmtp, &QCheckBox::toggled, m_panel1, &QWidget::setVisible);
    connect(m_authentication, &QCheckBox::toggled, m_panel2, &QWidget::setVisible);

    connect(ok, &QPushButton::clicked, this, &TOptionsForm::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { openHelp(QStringLiteral("help.html")); });
    connect(m_dbSettingsButton, &QPushButton::clicked, this, &TOptionsForm::resetClicked);
    connect(m_tryConnection, &QPushButton::clicked, m_connectionTest, &TFTryconnection::showTest);
    // The test window belongs to the dialog and goes with it.
    connect(this, &QDialog::finished, m_connectionTest, &QWidget::close);

    m_panel1->setVisible(false);
    m_panel2->setVisible(false);
}

void TOptionsForm::correctNumber(QLineEdit* edit, const QString& fallback) {
    const QString corrected = AccountOptions::correctedNumber(edit->text(), fallback);
    if (corrected != edit->text())
        edit->setText(corrected);
}

void TOptionsForm::correctProxyPort() {
    const QString t = m_proxyPort->text().trimmed();
    if (!t.isEmpty() && !AccountOptions::isDigits(t))
        m_proxyPort->setText(QStringLiteral("3128"));
}

void TOptionsForm::fill(const OptionsValues& v) {
    m_email->setText(v.senderAddress);
    m_name->setText(v.senderName);
    m_smtpHost->setText(v.account.smtpHost);
    m_smtpPort->setText(v.account.smtpPort);
    m_smtpUser->setText(v.account.smtpUserName);
    m_smtpPassword->setText(v.account.smtpPassword);
    m_identity->setCurrentIndex(v.account.clientIdentityIndex);
    m_proxy->setChecked(v.proxy.useProxy);
    m_proxyServer->setText(v.proxy.server);
    m_proxyPort->setText(v.proxy.portText);
    m_proxyUser->setText(v.proxy.userName);
    m_proxyPassword->setText(v.proxy.password);
    m_popHost->setText(v.account.popHost);
    m_popAccount->setText(v.account.popAccount);
    m_popPassword->setText(v.account.popPassword);
    m_popPort->setText(v.account.popPort);
    m_delay->setText(QString::number(v.account.delaySeconds));
    m_codeSet->setCurrentIndex(v.account.codeSetIndex);
    m_ssl->setChecked(v.account.sslActive);
    m_popBeforeSmtp->setChecked(v.account.popBeforeSmtp);
    m_authentication->setChecked(v.account.authentication);
    m_panel1->setVisible(v.account.popBeforeSmtp);
    m_panel2->setVisible(v.account.authentication);
}

// The switch of the open database: on by default once it has a web kit with a sync
// password, disabled (and off) without one, since then no message can carry the link.
void TOptionsForm::fillListUnsubscribe() {
    const auto link =
        UnsubscribeLink::forDatabase(m_state.folders.dataFolder, m_state.session.definitionName());
    m_listUnsubscribe->setEnabled(link.has_value());
    m_listUnsubscribe->setChecked(link && link->headers());
    m_listUnsubscribe->setToolTip(
        link ? QStringLiteral("Jede E-Mail erhält die Kopfzeilen List-Unsubscribe und "
                              "List-Unsubscribe-Post: Der Empfänger meldet sich mit einem Klick "
                              "in seinem E-Mail-Programm über Ihr Bestellformular ab.")
             : QStringLiteral("Richten Sie zuerst unter \"Web u. Newsletter - Automatisches "
                              "Abholen von Bestellungen einrichten\" das Bestellformular mit "
                              "einem Passwort für diese Datenbank ein."));
}

bool TOptionsForm::saveListUnsubscribe(Messages& messages) {
    if (!m_listUnsubscribe->isEnabled())
        return true;
    WebSettings web(m_state.folders.dataFolder, m_state.session.definitionName());
    if (web.listUnsubscribe() == m_listUnsubscribe->isChecked())
        return true;
    if (web.setListUnsubscribe(m_listUnsubscribe->isChecked()))
        return true;
    messages.error(QStringLiteral("Die Web-Einstellungen ") + web.path() +
                   QStringLiteral(" können nicht geschrieben werden!"));
    return false;
}

void TOptionsForm::prepare() {
    fillListUnsubscribe();
    m_limits->load(settingsFileInForce());
    fill(AccountOptions::loadForDialog(m_state.session, Messages::instance(), m_email->text(),
                                       m_name->text()));
    m_outlookImport->setEnabled(m_state.flags.outlookAvailable);
    m_levelGroup->setVisible(AccountOptions::showsLevelGroup(m_state.session));
    m_dbSettings->setText(m_state.session.displayName());
    const bool canReset = AccountOptions::canResetToGeneral(m_state.session);
    m_dbSettingsButton->setEnabled(canReset);
    m_dbSettingsButton->setToolTip(
        canReset ? QStringLiteral("Einstellungen für diese Datenbank löschen und allgemeine "
                                  "Einstellungen verwenden")
                 : QStringLiteral("Diese Datenbank besitzt keine eigenen Einstellungen und "
                                  "verwendet die Standardeinstellungen!"));
}

int TOptionsForm::runModal() {
    prepare();
    // Never saved yet: the accounts of a mail program already set up are offered.
    if (!m_state.flags.firstSettingsDone && TImportAccountsForm::profileExists())
        QTimer::singleShot(0, this, [this] {
            if (Messages::instance().question(QStringLiteral(
                    "Postfacheinstellungen von Thunderbird übernehmen? (empfohlen)")))
                m_accountImport->exec();
        });
    return exec();
}

bool TOptionsForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_importLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        m_accountImport->exec();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TOptionsForm::fillFromAccount(const ThunderbirdAccounts::OptionsFields& f) {
    m_smtpPort->setText(f.smtpPort);
    m_smtpHost->setText(f.smtpHost);
    m_email->setText(f.email);
    m_name->setText(f.name);
    m_authentication->setChecked(false);
    if (f.authentication) {
        m_authentication->setChecked(true);
        m_smtpUser->setText(f.smtpUserName);
    }
    m_popAccount->setText(f.popAccount);
    m_popHost->setText(f.popHost);
    m_popPort->setText(f.popPort);
}

OptionsValues TOptionsForm::currentValues() const {
    OptionsValues v;
    v.senderAddress = m_email->text().trimmed();
    v.senderName = m_name->text().trimmed();
    AccountSettings& a = v.account;
    a.smtpHost = m_smtpHost->text();
    a.smtpPort = m_smtpPort->text();
    a.authentication = m_authentication->isChecked();
    a.smtpUserName = m_smtpUser->text();
    a.smtpPassword = m_smtpPassword->text();
    a.sslActive = m_ssl->isChecked();
    a.codeSetIndex = std::max(0, m_codeSet->currentIndex());
    a.popHost = m_popHost->text();
    a.popAccount = m_popAccount->text();
    a.popPassword = m_popPassword->text();
    a.popPort = m_popPort->text();
    a.popBeforeSmtp = m_popBeforeSmtp->isChecked();
    a.delaySeconds = m_delay->text().toInt();
    a.clientIdentityIndex = std::max(0, m_identity->currentIndex());
    v.proxy.useProxy = m_proxy->isChecked();
    v.proxy.server = m_proxyServer->text().trimmed();
    v.proxy.portText = m_proxyPort->text().trimmed();
    v.proxy.userName = m_proxyUser->text().trimmed();
    v.proxy.password = m_proxyPassword->text().trimmed();
    return v;
}

// The file the settings are read from for the open database.
QString TOptionsForm::settingsFileInForce() const {
    return SettingsFiles::chooseSettingsFile(m_state.folders.programFolder,
                                             m_state.session.definitionName());
}

void TOptionsForm::okClicked() {
    Messages& messages = Messages::instance();
    if (!m_limits->check(messages))
        return;
    const QString before = settingsFileInForce();
    const QByteArray beforeBytes = readFileBytes(before);
    if (!AccountOptions::accept(m_state.session, m_state.flags, currentValues(), messages))
        return;
    // The limits go where the account settings were just saved; when nothing was saved
    // (the level question answered "Abbrechen") they stay as they were, too.
    const QString after = settingsFileInForce();
    QString error;
    if ((after != before || readFileBytes(after) != beforeBytes) && !m_limits->save(after, &error))
        messages.error(error);
    saveListUnsubscribe(messages);
    accept();
}

void TOptionsForm::resetClicked() {
    Messages& messages = Messages::instance();
    if (!messages.destructiveQuestion(AccountOptions::resetQuestion(m_state.session.displayName())))
        return;
    if (AccountOptions::removeDatabaseLevel(m_state.session, messages))
        reject();
}

void TOptionsForm::exchangeClicked() {
    Messages& messages = Messages::instance();
    const QString text = QStringLiteral(
        "Um Quillon an einem Exchange-Server (5.5/2000/2003/2008) zu betreiben, müssen Sie die "
        "Funktionalität \"SMTP-Connector\" im Exchange-Server aktivieren. Eine Anleitung hierzu "
        "finden Sie im Quillon FAQ Bereich!\r\rMöchten Sie den FAQ-Bereich jetzt besuchen?");
    if (!messages.question(text))
        return;
    const QString address = faqAddress() + QStringLiteral("#exchange");
    if (!Documents::open(address))
        messages.error(QStringLiteral("Die Internetseite ") + address +
                       QStringLiteral(" konnte nicht geöffnet werden!"));
}

void TOptionsForm::openHelp(const QString& page) {
    Documents::openHelpPage(m_state.folders.helpFolder, page, Messages::instance());
}
