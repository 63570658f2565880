#pragma once
#include "platform/DocumentOpener.h"

#include <QApplication>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// The named child of a window; a missing one fails the test.
template <typename T> T* child(const QObject* parent, const QString& name) {
    T* w = parent->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

// Clicks the named push button inside parent; a missing one fails the test.
inline void click(const QObject* parent, const char* name) {
    if (auto* b = child<QPushButton>(parent, QLatin1String(name)))
        QTest::mouseClick(b, Qt::LeftButton);
}

// Runs handle on the modal dialog the next action opens.
inline void whenDialogShows(std::function<void(QWidget*)> handle) {
    QTimer::singleShot(0, [handle] { handle(QApplication::activeModalWidget()); });
}

inline QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Stands in for the system's document opener while it lives and records what was opened.
class RecordingOpener : public DocumentOpener {
public:
    RecordingOpener() { DocumentOpener::install(this); }
    ~RecordingOpener() override { DocumentOpener::install(nullptr); }
    bool openUrl(const QUrl& url) override {
        opened << url.toString();
        return true;
    }
    bool startBrowser(const QString&) override { return false; }
    QStringList opened;
};

// A test of one window, held in `form`; child and click look inside that window.
template <typename Form> class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { form.reset(); }

    template <typename T> T* child(const char* name) const {
        return ::child<T>(form.get(), QLatin1String(name));
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    std::unique_ptr<Form> form;
};
