#include "shell/forms/WindowFit.h"

#include "compose/forms/TMailerForm.h"
#include "compose/forms/TPreviewForm.h"
#include "send/forms/TrafficChart.h"
#include "shell/forms/MainFormTestSupport.h"
#include "shell/forms/TDoIDForm.h"
#include "shell/forms/TEdForm.h"
#include "support/FormTestSupport.h"

#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QScreen>
#include <QStackedWidget>
#include <gtest/gtest.h>

// Every window opens fully on a screen of 1024 by 768 pixels, title bar included.
class SmallScreenTest : public MainWindowTest {
protected:
    void SetUp() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        ASSERT_NE(screen, nullptr);
        ASSERT_EQ(screen->geometry().size(), QSize(1024, 768))
            << "the window tests run on a 1024x768 offscreen screen (tests/support)";
        m_fit = WindowFit::install(*qApp);
    }
    void TearDown() override {
        delete m_fit;
        MainWindowTest::TearDown();
    }

    static void expectOnScreen(QWidget* window) {
        QApplication::processEvents();
        const QRect area = window->screen()->availableGeometry();
        const QRect frame = window->frameGeometry();
        EXPECT_TRUE(area.contains(frame))
            << window->objectName().toStdString() << " frame " << frame.x() << "," << frame.y()
            << " " << frame.width() << "x" << frame.height();
        EXPECT_GT(frame.top() + 1, area.top()); // the title bar can be reached
    }

    WindowFit* m_fit = nullptr;
};

TEST_F(SmallScreenTest, MainWindowWithoutAndWithAStoredPlacement) {
    TMainForm& form = createForm(true);
    expectOnScreen(&form);
    // A placement that reaches beyond the screen.
    form.hide();
    form.setGeometry(-40, -60, 1200, 900);
    form.show();
    expectOnScreen(&form);
}

TEST_F(SmallScreenTest, DialogsOpenOnScreenAndShowTheirWholeTitle) {
    TMainForm& form = createForm(true);
    TDoIDForm ids(&form);
    ids.show();
    expectOnScreen(&ids);
    const int title = ids.fontMetrics().horizontalAdvance(ids.windowTitle());
    EXPECT_GT(ids.width(), title + 60);

    QWidget tall(&form, Qt::Dialog);
    tall.setObjectName("TallDialog");
    tall.resize(500, 900);
    tall.move(300, 200);
    tall.show();
    expectOnScreen(&tall);
}

namespace {

// The texts the chart draws (title and axis labels).
QStringList chartTexts(const TrafficChart* chart) {
    QStringList texts;
    for (QGraphicsItem* item : chart->scene()->items()) {
        if (!item->isVisible())
            continue;
        if (const auto* text = dynamic_cast<QGraphicsTextItem*>(item))
            texts << text->toPlainText();
        else if (const auto* simple = dynamic_cast<QGraphicsSimpleTextItem*>(item))
            texts << simple->text();
    }
    return texts;
}

} // namespace

TEST_F(SmallScreenTest, ComposerWithItsTrafficChartAndThePreviewFit) {
    TMainForm& form = createForm(true);
    TMailerForm mailer(form.state(), &form);
    mailer.show();
    expectOnScreen(&mailer);

    // The run display as a send shows it: every label of the chart is whole.
    auto* runPanel = mailer.findChild<QWidget*>("RunPanel");
    ASSERT_NE(runPanel, nullptr);
    auto* panels = qobject_cast<QStackedWidget*>(runPanel->parentWidget());
    ASSERT_NE(panels, nullptr);
    panels->setCurrentWidget(runPanel);
    auto* chart = mailer.findChild<TrafficChart*>("Chart2");
    ASSERT_NE(chart, nullptr);
    for (int tick = 1; tick <= 90; ++tick)
        chart->addPoint(tick, tick * 37);
    QApplication::processEvents();
    const QStringList texts = chartTexts(chart);
    EXPECT_TRUE(texts.contains("Traffic (KB/sec)")) << texts.join(" | ").toStdString();
    EXPECT_GE(texts.size(), 6) << texts.join(" | ").toStdString();
    for (const QString& t : texts)
        EXPECT_FALSE(t.contains("...") || t.contains(QChar(0x2026))) << t.toStdString();

    TPreviewForm preview(form.state(), &mailer);
    preview.show();
    expectOnScreen(&preview);
}
