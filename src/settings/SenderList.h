#pragma once
#include "settings/AccountSettings.h"

#include <QString>
#include <QStringList>

// The sender lists: one sender per line, written as address, " <", name, ">". The
// first line is the default sender; the composer offers every line.
namespace SenderList {

struct Sender {
    QString address;
    QString name;
};

// Address: word 1 with the delimiter "<", trimmed. Name: word 2, trimmed, without its
// closing ">".
Sender parseLine(const QString& line);
QString formatLine(const QString& address, const QString& name);

// Reads a list. A missing file is an empty list; a file that exists but cannot be read
// gives false and a German message, so nobody overwrites what could not be read.
bool read(const QString& path, QStringList* lines, QString* error);

// The list in force for the database: its own list when the database has settings of
// its own (created as a copy of AbsenderMails.ini when it is missing), else
// AbsenderMails.ini.
QString activePath(const QString& programFolder, const QString& dataFolder,
                   const QString& definitionName);
// Creates the database's own list as a copy of the general one when it is missing.
bool ensureDatabaseList(const QString& dataFolder, const QString& definitionName, QString* error);

// Replaces the first line by the new default sender and keeps the lines from the
// second on. *saved receives the lines written.
bool saveDefaultSender(const QString& path, const QString& address, const QString& name,
                       QStringList* saved, QString* error);

} // namespace SenderList
