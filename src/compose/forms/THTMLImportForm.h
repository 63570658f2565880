#pragma once
#include <QWidget>

class AppState;
class HtmlView;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The HTML import window: an HTML page, with its local images embedded or left as
// external addresses, a subject and an attachment become the e-mail file "out.eml",
// which the composer then opens.
class THTMLImportForm : public QWidget {
    Q_OBJECT
public:
    explicit THTMLImportForm(AppState& state, QWidget* parent = nullptr);

    // Shows the window (non-modally) and clears its used mark.
    void showWindow();
    bool wasUsed() const { return m_used; }
    QString subject() const;
    HtmlView* browser() const { return m_browser; }

Q_SIGNALS:
    // "Weiter" made this message file; the composer is to open it.
    void messageReady(const QString& messageFile);

private:
    void choosePage();
    void chooseAttachment();
    void removeAttachment();
    void next();

    AppState& m_state;
    bool m_used = false;
    QLineEdit* m_page = nullptr;
    HtmlView* m_browser = nullptr;
    QRadioButton* m_embed = nullptr;
    QRadioButton* m_external = nullptr;
    QLineEdit* m_subject = nullptr;
    QLineEdit* m_attachment = nullptr;
    QPushButton* m_removeAttachment = nullptr;
    QPushButton* m_next = nullptr;
};
