#pragma once
#include <QDialog>
#include <QStringList>

class AppState;
class HtmlView;
class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;

// "Bestellungen / Abbestellungen": fetches the orders and cancellations the visitors
// left on the user's web site, shows the new ones for confirmation, applies the checked
// ones to the open table and asks the site to empty its lists.
class TSuscribeForm : public QDialog {
    Q_OBJECT
public:
    explicit TSuscribeForm(AppState& state, QWidget* parent = nullptr);
    ~TSuscribeForm() override;

    // "Öffnen Sie zuerst eine Datenbank!" without an open database; otherwise the web
    // settings are read and the dialog is reset for a new fetch. run() then shows it.
    bool prepare();
    int run();

    void fetch();
    void applyChecked();

    // Working files in the program folder.
    QString resultPath() const;
    QString newResultPath() const;
    // Lines of the lists that could not be taken, kept here so none is lost.
    QString rejectedPath() const;

private:
    void onlyInvalidToggled(bool on);
    void wipeLoaded();
    QString cacheBreaker() const;
    bool fetchList(const QString& address, QStringList* lines);
    void keepRejected(const QStringList& lines);

    AppState& m_state;
    QString m_serverPath;
    QString m_password;
    bool m_hasWebSettings = false;
    bool m_settingBox = false;
    bool m_skipNextInvalidMessage = false;
    bool m_waitingForWipe = false;
    QStringList m_rejected;

    QPushButton* m_fetchButton = nullptr;
    QPushButton* m_applyButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QCheckBox* m_onlyInvalid = nullptr;
    QTabWidget* m_pages = nullptr;
    QListWidget* m_checkList = nullptr;
    QWidget* m_browserPanel = nullptr;
    HtmlView* m_browser = nullptr;
    QPlainTextEdit* m_ordersMemo = nullptr;
    QPlainTextEdit* m_cancellationsMemo = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_totalLabel = nullptr;
    QLabel* m_ordersLabel = nullptr;
    QLabel* m_cancellationsLabel = nullptr;
    QProgressBar* m_bars[3] = {};
};
