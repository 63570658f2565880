#include "send/BlockingCall.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryFile>
#include <QThread>
#include <condition_variable>
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

namespace {

// One long-lived thread takes the calls: a send run makes one call per message, and
// starting and joining a thread each time costs more than the exchange on a fast server.
class Worker {
public:
    Worker() : m_thread([this] { loop(); }) {}
    ~Worker() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    // False when the thread is busy with another call (a nested or a concurrent one).
    bool post(const std::function<void()>* work, QEventLoop* loop) {
        {
            std::lock_guard lock(m_mutex);
            if (m_work)
                return false;
            m_work = work;
            m_loop = loop;
        }
        m_wake.notify_one();
        return true;
    }

    // The caller's loop also ends when the application quits; the work still refers to
    // the caller's stack, so the caller must not return before it has finished.
    void waitUntilDone(const std::function<void()>* work) {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_work != work; });
    }

private:
    void loop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_work; });
            if (m_stop)
                return;
            const std::function<void()>* work = m_work;
            QEventLoop* eventLoop = m_loop;
            lock.unlock();
            (*work)();
            lock.lock();
            // The quit is queued after everything the work queued itself, so all of its
            // notifications have been delivered when the caller's loop returns.
            QMetaObject::invokeMethod(eventLoop, &QEventLoop::quit, Qt::QueuedConnection);
            m_work = nullptr;
            m_loop = nullptr;
            m_done.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void()>* m_work = nullptr;
    QEventLoop* m_loop = nullptr;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

void run(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        work();
        return;
    }
    QEventLoop loop;
    static Worker worker;
    if (worker.post(&work, &loop)) {
        loop.exec();
        worker.waitUntilDone(&work);
        return;
    }
    // The long-lived thread is taken: this call gets a thread of its own.
    std::thread own([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    own.join();
}

} // namespace BlockingCall
