#pragma once
#include <QString>
#include <functional>
#include <memory>

class QTemporaryFile;

// Network calls (SMTP, POP3, HTTP) block for as long as the server takes. They run on a
// worker thread while the calling thread keeps its event loop turning, so a window
// keeps painting and its "Abbrechen" button is heard. The caller sees an ordinary
// blocking call. Without an application object the work simply runs in place.
namespace BlockingCall {

// Runs the work on a worker thread and returns when it has finished. The work must not
// touch objects of the calling thread except through queued calls.
void run(const std::function<void()>& work);

// The same in two steps, so the caller can do its own work while the call runs:
// start() hands the work to the worker thread and returns at once, wait() keeps the
// caller's event loop turning until the work has finished and everything it queued
// for the caller has been delivered. Destroying a started call waits for it.
//
// A caller that must not wait at all (a state machine driven by its event loop) gives
// start() a function that is called on the caller's thread once the work has finished
// and its notifications have been delivered; wait() then returns without a loop of its
// own.
class Call {
public:
    explicit Call(std::function<void()> work);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    void start(std::function<void()> whenDone = {});
    void wait();

    struct State; // shared with the worker thread

private:
    std::shared_ptr<State> m_state;
};

// Runs the work on a worker thread and returns at once; nobody waits for it (closing
// a connection whose answer does not matter).
void detach(std::function<void()> work);

// The German text of a libcurl transport failure every protocol shares (no connection,
// an untrusted certificate, a broken connection); empty for other codes.
QString transportFailureText(int curlCode);

// Initialises libcurl once for the process; safe to call from any thread.
void ensureCurl();

// Writes the system's certificate authorities followed by the extra one (a PEM file)
// into the open temporary file, so a private server's authority is added to the trusted
// ones rather than put in their place. False when the extra file cannot be read.
bool writeCaBundle(const QString& extraCaFile, QTemporaryFile* bundle);

} // namespace BlockingCall
