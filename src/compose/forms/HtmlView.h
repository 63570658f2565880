#pragma once
#include <QUrl>
#include <QWidget>

class QWebEngineView;
class QWebEnginePage;
class QWebEngineProfile;

// The browser view of a mail: shows a local file, "about:blank" or an http address and
// reports when a page has finished loading. A mail is shown, never run: JavaScript and
// plug-ins are off, and the view never follows a link itself; a click on a link opens
// it with the desktop's programs (the user's browser, the mail program for "mailto:").
// Remote images of a page are loaded. The browser engine starts with the first page.
class HtmlView : public QWidget {
    Q_OBJECT
public:
    explicit HtmlView(QWidget* parent = nullptr);
    ~HtmlView() override;

    void showFile(const QString& path);
    void showBlank();
    void showAddress(const QUrl& url);
    QUrl shownUrl() const { return m_url; }
    bool isLoading() const { return m_loading; }
    // The text of the page shown (for tests); empty before the first load finished.
    QString pageText() const { return m_text; }
    QWebEngineView* view() const { return m_view; }

Q_SIGNALS:
    void loadFinished(bool ok);
    // A link of the page was clicked and handed to the desktop.
    void linkOpened(const QUrl& url);

private:
    void load(const QUrl& url);
    void ensureView();

    QWebEngineView* m_view = nullptr;
    QWebEngineProfile* m_profile = nullptr; // deleted after the page, by the view's owner
    QWebEnginePage* m_page = nullptr;
    QUrl m_url;
    bool m_loading = false;
    QString m_text;
};
