#pragma once
#include <QGroupBox>

class Messages;
class QCheckBox;
class QLineEdit;

// The group "Versandlimits" of the options dialog: at most so many messages per minute,
// hour and day for the account (empty: no limit), and whether the window resumes by
// itself once the day limit allows.
class SendLimitsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit SendLimitsPanel(QWidget* parent = nullptr);

    // The fields as the settings file holds them (a wrong value is shown as it stands,
    // so the user can mend it).
    void load(const QString& settingsFile);
    // The OK check: each field empty or a whole number above 0; the first failure is
    // shown and false returned.
    bool check(Messages& messages) const;
    // Writes the fields into the settings file. False with a German message in *error.
    bool save(const QString& settingsFile, QString* error) const;

private:
    QLineEdit* m_perMinute = nullptr;
    QLineEdit* m_perHour = nullptr;
    QLineEdit* m_perDay = nullptr;
    QCheckBox* m_autoResume = nullptr;
};
