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

QString transportFailureText(int curlCode) {
    switch (CURLcode(curlCode)) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("Der Servername kann nicht aufgelöst werden");
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("Der Server nimmt keine Verbindung an");
    case CURLE_PEER_FAILED_VERIFICATION:
        return QStringLiteral("Das Zertifikat des Servers ist nicht vertrauenswürdig");
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("Die verschlüsselte Verbindung kann nicht aufgebaut werden");
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("Die Zertifikatsdatei kann nicht gelesen werden");
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return QStringLiteral("Die Verbindung zum Server ist abgebrochen");
    default:
        return {};
    }
}

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

struct Call::State {
    std::function<void()> work;
    std::unique_ptr<QObject> context; // lives on the caller's thread
    QEventLoop* loop = nullptr;       // the caller's loop while it waits
    std::function<void()> whenDone;   // called on the caller's thread at the end
    bool started = false;
    bool delivered = false; // set on the caller's thread after the work's notifications
    std::thread own;        // when the long-lived thread was taken
};

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
    bool post(const std::shared_ptr<Call::State>& call) {
        {
            std::lock_guard lock(m_mutex);
            if (m_call)
                return false;
            m_call = call;
        }
        m_wake.notify_one();
        return true;
    }

    // The caller's loop also ends when the application quits; the work still refers to
    // the caller's stack, so the caller must not return before it has finished.
    void waitUntilDone(const Call::State* call) {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_call.get() != call; });
    }

    // Runs on the worker thread: the delivery mark is queued after everything the work
    // queued itself, so all of its notifications have arrived when the caller sees it.
    static void finish(const std::shared_ptr<Call::State>& call) {
        if (!call->context)
            return; // detached: nobody waits
        QMetaObject::invokeMethod(
            call->context.get(),
            [call] {
                call->delivered = true;
                if (call->loop)
                    call->loop->quit();
                if (call->whenDone) {
                    const std::function<void()> done = std::move(call->whenDone);
                    call->whenDone = nullptr;
                    done();
                }
            },
            Qt::QueuedConnection);
    }

private:
    void loop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_call; });
            if (m_stop)
                return;
            const std::shared_ptr<Call::State> call = m_call;
            lock.unlock();
            call->work();
            finish(call);
            lock.lock();
            m_call.reset();
            m_done.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::shared_ptr<Call::State> m_call;
    bool m_stop = false;
    std::thread m_thread;
};

Worker& worker() {
    static Worker instance;
    return instance;
}

} // namespace

Call::Call(std::function<void()> work) : m_state(std::make_shared<State>()) {
    m_state->work = std::move(work);
}

Call::~Call() {
    wait();
}

void Call::start(std::function<void()> whenDone) {
    if (m_state->started)
        return;
    m_state->started = true;
    if (!QCoreApplication::instance()) {
        // Without an application there is no loop to keep turning: the work runs here.
        m_state->work();
        m_state->delivered = true;
        if (whenDone)
            whenDone();
        return;
    }
    m_state->whenDone = std::move(whenDone);
    m_state->context = std::make_unique<QObject>();
    if (worker().post(m_state))
        return;
    // The long-lived thread is taken: this call gets a thread of its own.
    m_state->own = std::thread([state = m_state] {
        state->work();
        Worker::finish(state);
    });
}

void Call::wait() {
    State& s = *m_state;
    if (!s.started)
        return;
    s.whenDone = nullptr; // the caller waits itself
    if (!s.delivered) {
        QEventLoop loop;
        s.loop = &loop;
        loop.exec();
        s.loop = nullptr;
    }
    if (s.own.joinable())
        s.own.join();
    else if (s.context)
        worker().waitUntilDone(m_state.get());
    s.delivered = true; // a second wait returns at once
    s.context.reset();
}

void detach(std::function<void()> work) {
    auto state = std::make_shared<Call::State>();
    state->work = std::move(work);
    state->started = true;
    if (!QCoreApplication::instance()) {
        state->work();
        return;
    }
    if (!worker().post(state))
        std::thread([state] { state->work(); }).detach();
}

void run(const std::function<void()>& work) {
    Call call(work);
    call.start();
    call.wait();
}

} // namespace BlockingCall
