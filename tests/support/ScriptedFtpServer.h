#pragma once

#include "ftp/ConnectionProfile.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>

class QTcpServer;
class QTcpSocket;

// An FTP server inside the test's process, on 127.0.0.1, that answers each command from a
// script: for replies and failures a real server will not give. It serves one control
// connection at a time and runs in the test's thread, so it answers while the client waits.
class ScriptedFtpServer : public QObject
{
    Q_OBJECT
public:
    struct Step
    {
        enum class Kind { Reply, Raw, Passive, SendData, CloseData, AbortData, ReadData, DropControl, Flood };
        Kind kind;
        QByteArray bytes;
        qint64 count = 0;
    };
    // Lines (joined by CR LF in the text) sent with a final CR LF.
    static Step reply(const QByteArray& lines) { return { Step::Kind::Reply, lines }; }
    // Bytes sent as they are.
    static Step raw(const QByteArray& bytes) { return { Step::Kind::Raw, bytes }; }
    // Opens a data port on 127.0.0.1 and replies 227 naming the given "h1,h2,h3,h4" with it.
    static Step passive(const QByteArray& host = "127,0,0,1") { return { Step::Kind::Passive, host }; }
    // These wait for the client's data connection first.
    static Step sendData(const QByteArray& bytes) { return { Step::Kind::SendData, bytes }; }
    static Step closeData() { return { Step::Kind::CloseData, {} }; } // after the pending bytes
    static Step abortData() { return { Step::Kind::AbortData, {} }; } // after the pending bytes
    static Step readData() { return { Step::Kind::ReadData, {} }; } // until the client closes
    static Step dropControl() { return { Step::Kind::DropControl, {} }; }
    // Sends count bytes of 'x' without a line break, as fast as the client takes them.
    static Step flood(qint64 count) { return { Step::Kind::Flood, {}, count }; }

    explicit ScriptedFtpServer(QObject* parent = nullptr);
    ~ScriptedFtpServer() override;

    bool listen();
    quint16 port() const;
    kavrin::ftp::ConnectionProfile profile(int timeoutMs = 300) const;

    // What a new control connection gets first; "220 Scripted server ready." unless set.
    void setGreeting(const QList<Step>& steps) { m_greeting = steps; }
    // The steps for every command line that starts with prefix (the longest prefix wins).
    // An empty list is silence. USER, PASS, TYPE, SYST, PASV and CWD have working defaults;
    // any other command gets 502.
    void on(const QByteArray& prefix, const QList<Step>& steps) { m_rules[prefix] = steps; }

    QList<QByteArray> commands() const { return m_commands; }
    QByteArray received() const { return m_received; } // what readData() read
    int dataConnections() const { return m_dataConnections; }
    qint64 floodSent() const { return m_floodSent; }

private:
    void acceptControl();
    void readCommands();
    void acceptData();
    void run();
    void playSteps();
    void pumpFlood();

    QTcpServer* m_server;
    QPointer<QTcpSocket> m_control;
    QPointer<QTcpServer> m_dataServer;
    QPointer<QTcpSocket> m_data;
    QByteArray m_input;
    QList<Step> m_greeting;
    QMap<QByteArray, QList<Step>> m_rules;
    QList<Step> m_queue;
    QList<QByteArray> m_commands;
    QByteArray m_received;
    int m_dataConnections = 0;
    qint64 m_floodLeft = 0;
    qint64 m_floodSent = 0;
    bool m_running = false;
};
