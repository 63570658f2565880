#include "send/BlockingCall.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

// Calls follow each other on the long-lived thread; each returns only after its own work
// has ended and every notification it queued has been delivered.
TEST(BlockingCall, SuccessiveCallsReturnAfterTheirWorkAndItsNotifications) {
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    const Qt::HANDLE caller = QThread::currentThreadId();
    int delivered = 0;
    for (int call = 1; call <= 3; ++call) {
        Qt::HANDLE workThread = nullptr;
        int result = 0;
        BlockingCall::run([&] {
            workThread = QThread::currentThreadId();
            for (int i = 0; i < 50; ++i)
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [&delivered] { ++delivered; },
                    Qt::QueuedConnection);
            result = call;
        });
        EXPECT_EQ(result, call);
        EXPECT_NE(workThread, caller);
        EXPECT_EQ(delivered, call * 50);
    }
}

// A call made while another one waits (from an event the waiting loop delivers) must
// not wait for the busy thread: it gets one of its own.
TEST(BlockingCall, NestedCallRunsWhileTheOuterOneIsBusy) {
    std::atomic<bool> innerDone{false};
    bool innerRan = false;
    bool outerSawInner = false;
    BlockingCall::run([&] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                BlockingCall::run([&] { innerRan = true; });
                innerDone = true;
            },
            Qt::QueuedConnection);
        // The outer work holds the long-lived thread until the nested call has finished;
        // a nested call that queued behind it would never finish.
        for (int i = 0; i < 2000 && !innerDone; ++i)
            QThread::msleep(5);
        outerSawInner = innerDone;
    });
    EXPECT_TRUE(outerSawInner);
    EXPECT_TRUE(innerRan);
}
