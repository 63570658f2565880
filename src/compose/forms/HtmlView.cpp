#include "compose/forms/HtmlView.h"

#include "platform/DocumentOpener.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

// Lets through only the pages the view was asked to show; every other navigation (a
// click, a form, a redirect by a meta refresh, a new window) goes to the desktop
// instead or nowhere.
class MailPage : public QWebEnginePage {
public:
    MailPage(QWebEngineProfile* profile, HtmlView* owner)
        : QWebEnginePage(profile), m_owner(owner) {}

    QUrl expected;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame)
            return false; // frames of a mail are not loaded
        if (type == NavigationTypeLinkClicked) {
            handOver(url);
            return false;
        }
        if (url == expected) {
            expected = QUrl();
            return true;
        }
        return false;
    }

    QWebEnginePage* createWindow(WebWindowType) override {
        // A link with a target: the new page is never shown; its first address goes to
        // the desktop.
        auto* catcher = new Catcher(profile(), this);
        return catcher;
    }

private:
    void handOver(const QUrl& url) {
        Documents::open(url);
        Q_EMIT m_owner->linkOpened(url);
    }

    class Catcher : public QWebEnginePage {
    public:
        Catcher(QWebEngineProfile* profile, MailPage* page)
            : QWebEnginePage(profile, page), m_page(page) {
            settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        }

    protected:
        bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
            if (!m_handled) {
                m_handled = true;
                m_page->handOver(url);
                deleteLater();
            }
            return false;
        }

    private:
        MailPage* m_page;
        bool m_handled = false;
    };

    HtmlView* m_owner;
};

} // namespace

HtmlView::HtmlView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("HtmlView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

// The page goes before its profile, the view before its page.
HtmlView::~HtmlView() {
    delete m_view;
    delete m_page;
    delete m_profile;
}

void HtmlView::ensureView() {
    if (m_view)
        return;
    m_view = new QWebEngineView(this);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    // An off-the-record profile: a mail leaves no cookies or cache behind.
    m_profile = new QWebEngineProfile;
    auto* page = new MailPage(m_profile, this);
    m_page = page;
    QWebEngineSettings* s = page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    m_view->setPage(page);
    connect(page, &QWebEnginePage::loadFinished, this, [this, page](bool ok) {
        m_loading = false;
        page->toPlainText([this, ok](const QString& text) {
            m_text = text;
            Q_EMIT loadFinished(ok);
        });
    });
    layout()->addWidget(m_view);
}

void HtmlView::load(const QUrl& url) {
    ensureView();
    m_url = url;
    m_loading = true;
    m_text.clear();
    static_cast<MailPage*>(m_page)->expected = url;
    m_page->load(url);
}

void HtmlView::showFile(const QString& path) {
    load(QUrl::fromLocalFile(path));
}

void HtmlView::showBlank() {
    load(QUrl(QStringLiteral("about:blank")));
}

void HtmlView::showAddress(const QUrl& url) {
    load(url);
}
