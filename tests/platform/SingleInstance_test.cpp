#include "platform/SingleInstance.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SingleInstance, SecondInstanceIsRefusedUntilTheFirstEnds) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillon.instance.lock"));
    SingleInstance first(path);
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(first.isHeld());

    // Another holder of the same lock, even inside this process, is refused.
    SingleInstance second(path);
    EXPECT_FALSE(second.acquire());
    EXPECT_FALSE(second.isHeld());

    first.release();
    EXPECT_TRUE(second.acquire());
    {
        SingleInstance third(path);
        EXPECT_FALSE(third.acquire());
    }
    second.release();
    // The lock of an ended holder is gone even though its file remains.
    EXPECT_TRUE(QFile::exists(path));
    SingleInstance fourth(path);
    EXPECT_TRUE(fourth.acquire());
}

TEST(SingleInstance, DefaultLockLivesInTheSystemTempFolder) {
    const QString path = SingleInstance::defaultLockPath();
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()), QDir(QDir::tempPath()));
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("Quillon.instance.lock"));
}
