#include "shell/forms/TFilter2Form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFilter2Form::TFilter2Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Filter2Form"));
    setWindowTitle(QStringLiteral("Filter"));
    auto* layout = new QVBoxLayout(this);
    auto* heading =
        new QLabel(QString::fromUtf8("Alle Datensätze mit folgendem Text markieren"), this);
    heading->setObjectName(QStringLiteral("HeadingLabel"));
    layout->addWidget(heading);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    m_edit->setMinimumWidth(320);
    layout->addWidget(m_edit);

    auto* buttons = new QHBoxLayout;
    auto* mark = new QPushButton(QStringLiteral("Markieren"), this);
    mark->setObjectName(QStringLiteral("OKButton"));
    auto* unmarkAll = new QPushButton(QStringLiteral("Alle unmarkieren"), this);
    unmarkAll->setObjectName(QStringLiteral("BitBtn1"));
    m_deleteMarked = new QPushButton(QString::fromUtf8("markierte löschen"), this);
    m_deleteMarked->setObjectName(QStringLiteral("Button1"));
    auto* abort = new QPushButton(QStringLiteral("Abbrechen"), this);
    abort->setObjectName(QStringLiteral("AbortButton"));
    for (QPushButton* b : {mark, unmarkAll, m_deleteMarked, abort}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    mark->setDefault(true); // Enter marks
    layout->addLayout(buttons);

    connect(mark, &QPushButton::clicked, this, [this] { Q_EMIT markRequested(m_edit->text()); });
    connect(unmarkAll, &QPushButton::clicked, this, &TFilter2Form::unmarkAllRequested);
    connect(m_deleteMarked, &QPushButton::clicked, this, &TFilter2Form::deleteMarkedRequested);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this, &TFilter2Form::textEdited);
}

QString TFilter2Form::text() const {
    return m_edit->text();
}

void TFilter2Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_edit->setFocus();
}
