#include "settings/forms/TDkimForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDnsLookup>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QPushButton* makeButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLineEdit* makeEdit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

} // namespace

TDkimForm::TDkimForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TDkimForm"));
    setWindowTitle(QStringLiteral("DKIM-Signatur"));
    m_active = new QCheckBox(QStringLiteral("Alle E-Mails mit DKIM signieren"), this);
    m_active->setObjectName(QStringLiteral("DkimActiveCheckBox"));
    m_domain = makeEdit("DkimDomainEdit", this);
    m_domain->setPlaceholderText(QStringLiteral("z. B. firma.de"));
    m_selector = makeEdit("DkimSelectorEdit", this);
    m_selector->setPlaceholderText(QStringLiteral("z. B. newsletter"));
    m_keyFile = makeEdit("DkimKeyFileEdit", this);
    QPushButton* browse = makeButton(QStringLiteral("Durchsuchen..."), "DkimBrowseButton", this);
    QPushButton* check = makeButton(QStringLiteral("Schlüssel prüfen"), "DkimCheckButton", this);
    m_recordName = new QLabel(this);
    m_recordName->setObjectName(QStringLiteral("DkimRecordNameLabel"));
    m_recordName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_record = new QPlainTextEdit(this);
    m_record->setObjectName(QStringLiteral("DkimRecordEdit"));
    m_record->setReadOnly(true);
    m_record->setMinimumHeight(80);
    m_copy = makeButton(QStringLiteral("Kopieren"), "DkimCopyButton", this);
    m_dns = makeButton(QStringLiteral("DNS prüfen"), "DkimDnsButton", this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("DkimStatusLabel"));
    m_status->setWordWrap(true);
    QPushButton* ok = makeButton(QStringLiteral("OK"), "DkimOkButton", this);
    ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ok->setDefault(true);
    QPushButton* cancel = makeButton(QStringLiteral("Abbrechen"), "DkimCancelButton", this);
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Domain:"), this), 0, 0);
    grid->addWidget(m_domain, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Selektor:"), this), 1, 0);
    grid->addWidget(m_selector, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Privater Schlüssel (PEM):"), this), 2, 0);
    grid->addWidget(m_keyFile, 2, 1);
    grid->addWidget(browse, 2, 2);
    auto* recordRow = new QHBoxLayout;
    recordRow->addWidget(check);
    recordRow->addWidget(m_copy);
    recordRow->addWidget(m_dns);
    recordRow->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_active);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(
        QStringLiteral("Diesen TXT-Eintrag im DNS Ihrer Domain veröffentlichen:"), this));
    layout->addWidget(m_recordName);
    layout->addWidget(m_record);
    layout->addLayout(recordRow);
    layout->addWidget(m_status);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(620, 420);

    m_lookup = new QDnsLookup(this);
    m_lookup->setType(QDnsLookup::TXT);
    connect(m_lookup, &QDnsLookup::finished, this, &TDkimForm::lookedUp);
    connect(browse, &QPushButton::clicked, this, &TDkimForm::browse);
    connect(check, &QPushButton::clicked, this, [this] { checkKey(false); });
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_record->toPlainText()); });
    connect(m_dns, &QPushButton::clicked, this, &TDkimForm::lookUp);
    connect(ok, &QPushButton::clicked, this, &TDkimForm::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

DkimSettings TDkimForm::values() const {
    DkimSettings s;
    s.active = m_active->isChecked();
    s.domain = m_domain->text().trimmed();
    s.selector = m_selector->text().trimmed();
    s.keyFile = m_keyFile->text().trimmed();
    return s;
}

void TDkimForm::prepare() {
    const DkimSettings s = DkimSettings::read(settingsFile ? settingsFile() : QString());
    m_active->setChecked(s.active);
    m_domain->setText(s.domain);
    m_selector->setText(s.selector);
    m_keyFile->setText(s.keyFile);
    m_status->clear();
    m_recordName->clear();
    m_record->clear();
    m_copy->setEnabled(false);
    m_dns->setEnabled(false);
    if (!s.keyFile.isEmpty())
        checkKey(true);
}

int TDkimForm::runModal() {
    prepare();
    return exec();
}

void TDkimForm::browse() {
    const QString current = m_keyFile->text().trimmed();
    const QString path = FilePicker::instance().openFile(
        QStringLiteral("Privaten DKIM-Schlüssel wählen"),
        current.isEmpty() ? QString() : QFileInfo(current).absolutePath(),
        QStringLiteral("PEM-Schlüssel (*.pem *.key);;Alle Dateien (*)"));
    if (path.isEmpty())
        return;
    m_keyFile->setText(path);
    checkKey(false);
}

bool TDkimForm::checkKey(bool quiet) {
    QString error;
    const DkimSettings s = values();
    bool ok = m_signer.load(s, &error);
    m_copy->setEnabled(ok);
    m_dns->setEnabled(ok);
    if (ok) {
        m_recordName->setText(m_signer.recordName());
        m_record->setPlainText(m_signer.record());
        error = DkimSigner::senderProblem(s.domain, senderAddress ? senderAddress() : QString());
    } else {
        m_recordName->clear();
        m_record->clear();
    }
    if (!error.isEmpty()) {
        m_status->setText(error);
        if (!quiet)
            Messages::instance().error(error);
        return false;
    }
    m_status->setText(QStringLiteral("Der Schlüssel ist in Ordnung (") +
                      (m_signer.keyKind() == DkimSigner::KeyKind::Rsa ? QStringLiteral("RSA")
                                                                      : QStringLiteral("Ed25519")) +
                      QStringLiteral(")."));
    return true;
}

void TDkimForm::lookUp() {
    if (!checkKey(false))
        return;
    m_status->setText(QStringLiteral("DNS-Abfrage für ") + m_signer.recordName() +
                      QStringLiteral(" läuft ..."));
    m_dns->setEnabled(false);
    m_lookup->setName(m_signer.recordName());
    m_lookup->lookup();
}

void TDkimForm::lookedUp() {
    m_dns->setEnabled(m_signer.isLoaded());
    const QString name = m_lookup->name();
    if (m_lookup->error() != QDnsLookup::NoError) {
        m_status->setText(QStringLiteral("Unter ") + name +
                          QStringLiteral(" wurde kein TXT-Eintrag gefunden (") +
                          m_lookup->errorString() + QStringLiteral(")."));
        return;
    }
    DkimSigner::RecordMatch best = DkimSigner::RecordMatch::NoKeyRecord;
    for (const QDnsTextRecord& r : m_lookup->textRecords()) {
        QByteArray joined; // a long record comes in several strings
        for (const QByteArray& part : r.values())
            joined += part;
        const auto match = m_signer.compare(QString::fromLatin1(joined));
        if (match == DkimSigner::RecordMatch::Matches ||
            (match == DkimSigner::RecordMatch::Differs &&
             best == DkimSigner::RecordMatch::NoKeyRecord))
            best = match;
    }
    switch (best) {
    case DkimSigner::RecordMatch::Matches:
        m_status->setText(QStringLiteral("Der DNS-Eintrag unter ") + name +
                          QStringLiteral(" passt zum Schlüssel."));
        break;
    case DkimSigner::RecordMatch::Differs:
        m_status->setText(QStringLiteral("Der DNS-Eintrag unter ") + name +
                          QStringLiteral(" passt NICHT zum Schlüssel. Bitte veröffentlichen Sie "
                                         "den oben angezeigten Eintrag."));
        break;
    case DkimSigner::RecordMatch::NoKeyRecord:
        m_status->setText(QStringLiteral("Unter ") + name +
                          QStringLiteral(" steht kein DKIM-Schlüssel im DNS."));
        break;
    }
}

void TDkimForm::okClicked() {
    const DkimSettings s = values();
    // Switched on, only a key that signs for the sender is accepted; switched off, the
    // values are kept as typed.
    if (s.active && !checkKey(false))
        return;
    QString error;
    if (!s.write(settingsFile ? settingsFile() : QString(), &error)) {
        Messages::instance().error(error);
        return;
    }
    accept();
}
