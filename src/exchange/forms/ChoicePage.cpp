#include "exchange/forms/ChoicePage.h"

#include "common/Messages.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

ChoicePage ChoicePage::layOut(QDialog* dialog,
                              const QList<std::pair<const char*, QString>>& choices,
                              const char* abortName, std::function<void(int)> chosen) {
    ChoicePage page;
    auto* question = new QLabel(QStringLiteral("Was wollen Sie tun?"), dialog);
    question->setObjectName(QStringLiteral("QuestionLabel"));
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    for (const auto& [name, caption] : choices) {
        auto* r = new QRadioButton(caption, dialog);
        r->setObjectName(QLatin1String(name));
        page.choices << r;
    }

    auto button = [dialog](const QString& caption, const char* name, QStyle::StandardPixmap icon) {
        auto* b = new QPushButton(caption, dialog);
        b->setObjectName(QLatin1String(name));
        b->setIcon(dialog->style()->standardIcon(icon));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* weiter = button(QStringLiteral("Weiter"), "WeiterBitBtn", QStyle::SP_ArrowForward);
    QPushButton* abort =
        button(QStringLiteral("Abbrechen"), abortName, QStyle::SP_DialogCancelButton);
    page.help = button(QStringLiteral("Hilfe"), "HilfeBitBtn", QStyle::SP_DialogHelpButton);
    weiter->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(page.help);
    buttons->addStretch();
    buttons->addWidget(weiter);
    buttons->addWidget(abort);

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(question);
    layout->addSpacing(8);
    for (QRadioButton* r : page.choices)
        layout->addWidget(r);
    layout->addStretch();
    layout->addLayout(buttons);

    QObject::connect(abort, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(weiter, &QPushButton::clicked, dialog,
                     [choices = page.choices, chosen = std::move(chosen)] {
                         const ChoicePage current{choices, nullptr};
                         const int index = current.checked();
                         if (index < 0)
                             Messages::instance().information(
                                 QStringLiteral("Bitte zuerst eine Auswahl treffen!"));
                         else
                             chosen(index);
                     });
    return page;
}

int ChoicePage::checked() const {
    for (int i = 0; i < choices.size(); ++i)
        if (choices[i]->isChecked())
            return i;
    return -1;
}
