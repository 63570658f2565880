#include "BounceBench.h"

#include "hygiene/Bounces.h"
#include "send/Pop3Login.h"
#include "support/Pop3TestServer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <cstdio>

namespace {

QByteArray dsn(int i) {
    return QByteArray(
               "Return-Path: <>\r\nFrom: MAILER-DAEMON@mail.firma.de (Mail Delivery System)\r\n"
               "To: info@firma.de\r\nSubject: Undelivered Mail Returned to Sender\r\n"
               "MIME-Version: 1.0\r\nContent-Type: multipart/report; "
               "report-type=delivery-status; boundary=\"B\"\r\n\r\n--B\r\n"
               "Content-Type: text/plain\r\n\r\nThis is the mail system at host mail.firma.de.\r\n"
               "\r\n--B\r\nContent-Type: message/delivery-status\r\n\r\n"
               "Reporting-MTA: dns; mail.firma.de\r\n\r\nFinal-Recipient: rfc822; kunde") +
           QByteArray::number(i) +
           "@example.org\r\nAction: failed\r\nStatus: 5.1.1\r\nDiagnostic-Code: smtp; 550 5.1.1 "
           "User unknown\r\n\r\n--B\r\nContent-Type: text/rfc822-headers\r\n\r\nTo: kunde" +
           QByteArray::number(i) + "@example.org\r\nSubject: Newsletter\r\n\r\n--B--\r\n";
}

QByteArray exim(int i) {
    return QByteArray(
               "Return-path: <>\r\nFrom: Mail Delivery System <Mailer-Daemon@mx.example.net>\r\n"
               "To: info@firma.de\r\nSubject: Mail delivery failed: returning message to "
               "sender\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
               "This message was created automatically by mail delivery software.\r\n\r\n"
               "A message that you sent could not be delivered to one or more of its\r\n"
               "recipients. This is a permanent error. The following address(es) failed:\r\n"
               "\r\n  kunde") +
           QByteArray::number(i) +
           "@example.org\r\n    host mx.example.org [192.0.2.10]\r\n    550 5.1.1 User unknown\r\n"
           "\r\n------ This is a copy of the message, including all the headers. ------\r\n\r\n"
           "Subject: Newsletter\r\n\r\nHallo\r\n";
}

QByteArray normal(int i) {
    QByteArray body;
    while (body.size() < 3000)
        body += "Vielen Dank fuer den Newsletter, wir melden uns bald wieder bei Ihnen.\r\n";
    return "From: Kunde <kunde" + QByteArray::number(i) +
           "@example.org>\r\nTo: info@firma.de\r\nSubject: Re: Newsletter\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
           body;
}

} // namespace

void benchBounces(qint64 n) {
    const int count = int(n > 0 && n < 100000 ? std::min<qint64>(n, 10000) : 10000);
    Pop3TestServer server;
    if (!server.error().isEmpty()) {
        std::fprintf(stderr, "POP3-Server startet nicht: %s\n", qPrintable(server.error()));
        std::exit(1);
    }
    for (int i = 0; i < count; ++i)
        server.deliver(i % 3 == 0 ? dsn(i) : i % 3 == 1 ? exim(i) : normal(i));
    const Pop3Account account{server.host(),     server.port(), server.user(),
                              server.password(), false,         {}};
    QElapsedTimer timer;
    timer.start();
    const Bounces::Scan scan = Bounces::readMailbox(account);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!scan.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(scan.error));
        std::exit(1);
    }
    std::printf("bounces_messages %d messages\n", scan.messages);
    std::printf("bounces_found %d messages\n", scan.bounces);
    std::printf("bounces_no_bounce %d messages\n", scan.noBounces);
    std::printf("bounces_seconds %.3f s\n", seconds);
    std::fflush(stdout);
}
