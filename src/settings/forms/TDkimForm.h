#pragma once
#include "send/DkimSigner.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QDnsLookup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "DKIM-Signatur": signing domain, selector and private key file of the account, the
// DNS record to publish for the key, and a look-up of the published one. Saved into
// the settings file the account settings are read from. Created once by the options
// dialog.
class TDkimForm : public QDialog {
    Q_OBJECT
public:
    explicit TDkimForm(QWidget* parent = nullptr);

    // Where the values are stored, and the sender address they must fit.
    std::function<QString()> settingsFile;
    std::function<QString()> senderAddress;

    // Fills the controls from the settings file and shows the dialog modally.
    int runModal();
    void prepare();

    // The controls' values.
    DkimSettings values() const;

private:
    // Loads the key as the controls name it; shows the record or the problem. True
    // when the key signs for the sender.
    bool checkKey(bool quiet);
    void lookUp();
    void lookedUp();
    void okClicked();
    void browse();

    DkimSigner m_signer;
    QCheckBox* m_active = nullptr;
    QLineEdit* m_domain = nullptr;
    QLineEdit* m_selector = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QLabel* m_recordName = nullptr;
    QPlainTextEdit* m_record = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_dns = nullptr;
    QDnsLookup* m_lookup = nullptr;
};
