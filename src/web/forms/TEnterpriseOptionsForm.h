#pragma once
#include "web/WebKit.h"

#include <QDialog>
#include <QList>

class AppState;
class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QWidget;

// "Web Einstellungen": the web settings of the open database and, on "Speichern", the
// subscription web kit generated from them. Created once and reused; the switches and
// texts keep their state between openings.
class TEnterpriseOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TEnterpriseOptionsForm(AppState& state, QWidget* parent = nullptr);

    // From the menu: without an open database a message; otherwise loads the web settings,
    // builds the field rows and shows the dialog modally.
    int runModal();
    // Loads the open database's web settings into the dialog's working copy.
    void loadSettings();
    // Builds the field rows from enterprise_fields.ini and the open table's fields.
    void buildFieldRows();

    // The kit folder of the last generation (empty when it was skipped).
    const QString& lastKitFolder() const { return m_lastKitFolder; }

Q_SIGNALS:
    // The web settings file was written (the menu entries follow it).
    void settingsSaved();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void buildControls();
    void save();
    void chooseColour(quint32* colour, QFrame* panel);
    void showColour(QFrame* panel, quint32 colour);
    void storeFieldChoices();
    QString fieldChoicePath() const;
    WebKit::Values currentValues() const;
    QString generateKit(const WebKit::Values& values, QStringList* errors);
    bool storeSettings(const WebKit::Values& values);

    AppState& m_state;
    QLabel* m_dbLabel = nullptr;
    QLineEdit* m_onlineDb = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_title = nullptr;
    QComboBox* m_font = nullptr;
    QComboBox* m_size = nullptr;
    QFrame* m_textPanel = nullptr;
    QFrame* m_bkgPanel = nullptr;
    QFrame* m_borderPanel = nullptr;
    QCheckBox* m_doubleOptIn = nullptr;
    QCheckBox* m_captcha = nullptr;
    QCheckBox* m_onlyInvalid = nullptr;
    QPlainTextEdit* m_subscribeMessage = nullptr;
    QWidget* m_doubleOptInPanel = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_emailText = nullptr;
    QScrollArea* m_scrollBox = nullptr;
    QWidget* m_rowsWidget = nullptr;
    QList<WebKit::Field> m_fields;
    QList<QCheckBox*> m_fieldBoxes;
    quint32 m_textColour = 0x000000;
    quint32 m_bkgColour = 0xFFFFFF;
    quint32 m_borderColour = 0x004080;
    QString m_lastKitFolder;
};
