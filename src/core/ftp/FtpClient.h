#pragma once

#include "ftp/ConnectionProfile.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class QIODevice;

namespace kavrin::ftp {

// An FTP client over one control connection, passive data connections only.
// Every operation blocks its caller, but every wait runs the event loop, so windows keep
// repainting and a handler may call disconnectFromHost() meanwhile; the waiting
// operation then fails with FtpError and the connection is closed.
// Failures are FtpError. Remote names travel as bytes, unchanged.
class FtpClient : public QObject
{
    Q_OBJECT
public:
    enum class WorkMode { Read, Write };

    explicit FtpClient(QObject* parent = nullptr);
    ~FtpClient() override; // closes the control connection without QUIT

    void setProfile(const ConnectionProfile& profile);
    const ConnectionProfile& profile() const;

    // 220; USER 230/331; PASS 230; TYPE I 200; SYST 200/215/500. On any error the connection
    // is closed first. Connecting while open fails with "Already connected." and closes it.
    void connectToHost();
    bool isConnected() const;
    void setBinary(); // TYPE I only when the type set before differs
    void changeDir(const QByteArray& folder); // CWD, 250
    // PASV 227, LIST, 125/150, data until close, 225/226/250 (after 426 a further 226).
    QList<QByteArray> list();
    qint64 size(const QByteArray& name); // 213 gives the number, anything else -1
    // RETR into sink; returns the bytes received.
    qint64 retrieve(const QByteArray& name, QIODevice& sink);
    // STOR from source; 110/125/150, then 225/226/250.
    void store(QIODevice& source, const QByteArray& name);
    void rename(const QByteArray& from, const QByteArray& to); // RNFR 350, RNTO 250
    void remove(const QByteArray& name);                      // DELE 250
    void disconnectFromHost(); // no QUIT; cuts off a running operation
    bool isBusy() const;       // an operation is waiting

Q_SIGNALS:
    // After every block of a data transfer: bytes moved so far in this transfer.
    void work(kavrin::ftp::FtpClient::WorkMode mode, qint64 count);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kavrin::ftp
