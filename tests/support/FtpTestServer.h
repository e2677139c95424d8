#pragma once

#include "ftp/ConnectionProfile.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The local pyftpdlib server (ftp_server.py) over a folder of the test's choosing, on
// 127.0.0.1 at a free port, for as long as this object lives.
class FtpTestServer
{
public:
    explicit FtpTestServer(const QString& root, const QString& user = QStringLiteral("kavrin"),
                           const QString& password = QStringLiteral("prenos-test"));
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // Faults the server plays, set before start(): comma-separated key=value pairs of
    // ftp_server.py ("silent_greeting=1": the first session gets no greeting).
    void setFaults(const QString& faults) { m_faults = faults; }
    // Starts the server and waits (bounded) for its port; false with a reason otherwise.
    bool start(QString* error = nullptr);
    void stop();
    quint16 port() const { return m_port; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }

    // The commands the server received so far, one line each ("PASS ****" for the password).
    QStringList commands() const;
    // What the server wrote on its error output: its own session log and any traceback.
    QString errorOutput() const;
    // A profile for this server, with short time limits.
    kavrin::ftp::ConnectionProfile profile(int replyTimeoutMs = 5000) const;

    // Creates the maker and program folders "Sorvanta/Kavrin" under root.
    static bool makeProgramFolder(const QString& root);

private:
    QString m_root;
    QString m_user;
    QString m_password;
    QString m_faults;
    QTemporaryDir m_logDir;
    QProcess m_process;
    quint16 m_port = 0;
};
