#include "settings/forms/SendLimitsPanel.h"

#include "common/IniFile.h"
#include "common/Messages.h"
#include "send/SendLimits.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit* limitEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaximumWidth(70);
    edit->setPlaceholderText(QStringLiteral("kein"));
    return edit;
}

} // namespace

SendLimitsPanel::SendLimitsPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Versandlimits"), parent) {
    setObjectName(QStringLiteral("SendLimitsGroup"));
    m_perMinute = limitEdit(this, "LimitMinuteEdit");
    m_perHour = limitEdit(this, "LimitHourEdit");
    m_perDay = limitEdit(this, "LimitDayEdit");
    m_autoResume = new QCheckBox(
        QStringLiteral("Nach dem Tageslimit automatisch fortsetzen (solange Quillon geöffnet ist)"),
        this);
    m_autoResume->setObjectName(QStringLiteral("AutoResumeCheckBox"));
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [text, edit] :
         {std::pair{QStringLiteral("Höchstens E-Mails pro Minute"), m_perMinute},
          std::pair{QStringLiteral("Höchstens E-Mails pro Stunde"), m_perHour},
          std::pair{QStringLiteral("Höchstens E-Mails pro Tag"), m_perDay}}) {
        auto* label = new QLabel(text, this);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    }
    grid->addWidget(m_autoResume, row, 0, 1, 2);
    grid->setColumnStretch(2, 1);
    setToolTip(QStringLiteral("Leer lassen, wenn Ihr Anbieter keine Grenze setzt"));
}

void SendLimitsPanel::load(const QString& settingsFile) {
    const IniFile ini(settingsFile);
    const QString s = SendLimitSettings::section();
    m_perMinute->setText(ini.readString(s, QStringLiteral("ProMinute")));
    m_perHour->setText(ini.readString(s, QStringLiteral("ProStunde")));
    m_perDay->setText(ini.readString(s, QStringLiteral("ProTag")));
    m_autoResume->setChecked(ini.readBoolWord(s, QStringLiteral("AutomatischFortsetzen"), false));
}

bool SendLimitsPanel::check(Messages& messages) const {
    int value = 0;
    for (const auto& [edit, label] :
         {std::pair{m_perMinute, QStringLiteral("Versandlimit pro Minute")},
          std::pair{m_perHour, QStringLiteral("Versandlimit pro Stunde")},
          std::pair{m_perDay, QStringLiteral("Versandlimit pro Tag")}}) {
        const QString problem = SendLimitSettings::checkValue(edit->text(), label, &value);
        if (!problem.isEmpty()) {
            messages.information(problem);
            edit->setFocus();
            return false;
        }
    }
    return true;
}

bool SendLimitsPanel::save(const QString& settingsFile, QString* error) const {
    SendLimitSettings s;
    SendLimitSettings::checkValue(m_perMinute->text(), QString(), &s.perMinute);
    SendLimitSettings::checkValue(m_perHour->text(), QString(), &s.perHour);
    SendLimitSettings::checkValue(m_perDay->text(), QString(), &s.perDay);
    s.autoResume = m_autoResume->isChecked();
    return s.write(settingsFile, error);
}
