#include "send/BlockingCall.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryFile>
#include <QThread>
#include <curl/curl.h>
#include <mutex>
#include <thread>

namespace BlockingCall {

void ensureCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool writeCaBundle(const QString& extraCaFile, QTemporaryFile* bundle) {
    QFile extra(extraCaFile);
    if (!extra.open(QIODevice::ReadOnly))
        return false;
    ensureCurl();
    QByteArray bytes;
    if (CURL* probe = curl_easy_init()) {
        char* systemPath = nullptr;
        if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &systemPath) == CURLE_OK && systemPath) {
            QFile system(QFile::decodeName(systemPath));
            if (system.open(QIODevice::ReadOnly))
                bytes = system.readAll() + "\n";
        }
        curl_easy_cleanup(probe);
    }
    bytes += extra.readAll();
    return bundle->open() && bundle->write(bytes) == bytes.size() && bundle->flush();
}

void run(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        work();
        return;
    }
    QEventLoop loop;
    // The quit is queued after everything the work queued itself, so all of its
    // notifications have been delivered when the loop returns.
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

} // namespace BlockingCall
