#include "compose/forms/WizardPage.h"

#include "common/Messages.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

QString noChoiceMessage() {
    return QStringLiteral("Bitte zuerst eine Auswahl treffen!");
}

WizardPage::WizardPage(AppState& state, const QString& caption, const QString& cancelCaption,
                       QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_state(state) {
    setWindowTitle(caption);
    setWindowModality(Qt::ApplicationModal);

    m_body = new QVBoxLayout;
    m_next = new QPushButton(QStringLiteral("Weiter"), this);
    m_next->setObjectName(QStringLiteral("WeiterBitBtn"));
    m_next->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    m_next->setDefault(true);
    auto* back = new QPushButton(QStringLiteral("Zurück"), this);
    back->setObjectName(QStringLiteral("ZurueckBitBtn"));
    back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    back->setAutoDefault(false);
    auto* cancel = new QPushButton(cancelCaption, this);
    cancel->setObjectName(QStringLiteral("AbbrechenBitBtn"));
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    cancel->setAutoDefault(false);
    auto* help = new QPushButton(QStringLiteral("Hilfe"), this);
    help->setObjectName(QStringLiteral("HilfeBitBtn"));
    help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    help->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(back);
    buttons->addWidget(m_next);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_body, 1);
    layout->addLayout(buttons);

    connect(m_next, &QPushButton::clicked, this, [this] { next(); });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    connect(cancel, &QPushButton::clicked, this, &WizardPage::cancelRequested);
    connect(help, &QPushButton::clicked, this, [this] {
        Documents::openHelpPage(m_state.folders.helpFolder, QStringLiteral("help.html"),
                                Messages::instance());
    });
}

QLabel* WizardPage::addText(const QString& text, const char* objectName) {
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    if (objectName)
        label->setObjectName(QLatin1String(objectName));
    m_body->addWidget(label);
    return label;
}

void WizardPage::showPage() {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}
