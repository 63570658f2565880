#pragma once
#include <QString>
#include <QTemporaryDir>

// Shared pieces of the test servers on 127.0.0.1.
namespace TestServers {

// A port on 127.0.0.1 that nobody listens on right now.
int freePort();
// Whether something accepts connections on 127.0.0.1 at the port.
bool accepts(int port);

// A self-signed certificate for 127.0.0.1 and localhost, made with openssl once per test
// process. A client trusts it by taking certFile() as its certificate authority.
struct Certificate {
    QString certFile;
    QString keyFile;
    QString error; // why openssl could not make it; empty on success
};
const Certificate& certificate();

} // namespace TestServers
