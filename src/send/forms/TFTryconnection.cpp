#include "send/forms/TFTryconnection.h"

#include "common/FileNames.h"
#include "shell/forms/BusyCursor.h"

#include "common/IniFile.h"
#include "common/Messages.h"
#include "send/ConnectionTest.h"
#include "send/SmtpMail.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFTryconnection::TFTryconnection(AppState& state, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      m_state(state), m_mail(std::make_unique<SmtpMail>()) {
    setObjectName(QStringLiteral("FTryconnection"));
    setWindowTitle(QStringLiteral("Verbindungstest"));

    auto* heading = new QLabel(QStringLiteral("Verbindungstest:"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* explanation = new QLabel(QStringLiteral("Bitte geben Sie eine gültige Emailadresse ein, "
                                                  "an die eine Test-E-Mail gesendet werden soll."),
                                   this);
    explanation->setWordWrap(true);
    m_email = new QLineEdit(presetText(), this);
    m_email->setObjectName(QStringLiteral("EmailEdit"));
    m_send = new QPushButton(QStringLiteral("Test-E-Mail senden"), this);
    m_send->setObjectName(QStringLiteral("TestMailButton"));
    m_send->setDefault(true);

    auto* row = new QHBoxLayout;
    row->addWidget(m_email, 1);
    row->addWidget(m_send);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(explanation);
    layout->addLayout(row);
    setMinimumWidth(420);

    connect(m_send, &QPushButton::clicked, this, [this] { sendTestMail(); });
    connect(m_email, &QLineEdit::returnPressed, this, [this] { sendTestMail(); });
}

TFTryconnection::~TFTryconnection() = default;

QString TFTryconnection::presetText() {
    return QStringLiteral("Emailadresse eingeben");
}

void TFTryconnection::showTest() {
    adjustSize();
    if (QWidget* p = parentWidget())
        move(p->geometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

bool TFTryconnection::sendTestMail() {
    // The send keeps the event loop turning; a second click must not start another.
    if (m_busy)
        return false;
    Messages& messages = Messages::instance();
    const QString address = m_email->text();
    const QString problem = ConnectionTest::addressProblem(address);
    if (!problem.isEmpty()) {
        messages.information(problem);
        return false;
    }
    const QString program = m_state.folders.programFolder;
    QFile::remove(QDir(program).filePath(FileNames::transactionLog()));

    const OptionsValues values = dialogValues ? dialogValues() : OptionsValues{};
    // The test uses the dialog's values; they become the settings in force first, at the
    // level the options dialog itself would use without asking.
    const SettingsFiles::Level level =
        SettingsFiles::mayHaveOwnSettings(m_state.session.definitionName())
            ? SettingsFiles::Level::Database
            : SettingsFiles::Level::General;
    AccountOptions::saveAtLevel(m_state.session, m_state.flags, level, values, messages);

    ConnectionTest::TestMail test;
    test.account = values.account;
    test.senderAddress = values.senderAddress;
    test.senderName = values.senderName;
    test.priority = priority ? priority() : 3;
    test.testAddress = address.trimmed();
    // A private server's authority is kept in the settings file, not in the dialog.
    const QString settingsFile =
        SettingsFiles::chooseSettingsFile(program, m_state.session.definitionName());
    test.caFile = IniFile(settingsFile).readString(QStringLiteral("SSL"), QStringLiteral("CAFile"));

    bool sent = false;
    m_busy = true;
    m_send->setEnabled(false);
    {
        const BusyCursor wait;
        sent = ConnectionTest::sendTestMail(*m_mail, program, test, messages);
    }
    m_send->setEnabled(true);
    m_busy = false;
    close();
    return sent;
}
