#pragma once

#include "support/BookRows.h"
#include "support/FtpTestServer.h"
#include "support/WorkingFolder.h"

#include <QTemporaryDir>
#include <memory>

class TKavrinOsnova;

// What a refresh run needs around it: a client book in a fresh working folder, a local FTP
// server over "Sorvanta/Kavrin", and the main window pointed at that server. The transfer
// folder beside the test program starts and ends empty.
class RefreshRunRig
{
public:
    RefreshRunRig();
    ~RefreshRunRig();

    static QString transferFolder();
    QString remote() const { return m_serverRoot.path() + QStringLiteral("/Sorvanta/Kavrin"); }
    bool serve(const QString& name, const QByteArray& bytes);

    bool startServer(const QString& faults, QString* error);
    // Creates the book, adds the clients as another program would, then starts the window.
    bool startProgram(const QList<BookRow>& clients, int replyTimeoutMs);

    FtpTestServer& server() { return *m_server; }
    TKavrinOsnova& window() { return *m_window; }
    QStringList commands(const QString& pattern) const;
    void clickOsvezi();

private:
    WorkingFolder m_folder;
    QTemporaryDir m_serverRoot;
    std::unique_ptr<FtpTestServer> m_server;
    std::unique_ptr<TKavrinOsnova> m_window;
};
