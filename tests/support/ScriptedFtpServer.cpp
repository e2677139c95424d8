#include "support/ScriptedFtpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

ScriptedFtpServer::ScriptedFtpServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
    , m_greeting({ reply("220 Scripted server ready.") })
{
    m_rules["USER"] = { reply("331 Password please.") };
    m_rules["PASS"] = { reply("230 Logged in.") };
    m_rules["TYPE"] = { reply("200 Type set.") };
    m_rules["SYST"] = { reply("215 UNIX Type: L8") };
    m_rules["PASV"] = { passive() };
    m_rules["CWD"] = { reply("250 Folder changed.") };
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedFtpServer::acceptControl);
}

ScriptedFtpServer::~ScriptedFtpServer() = default;

bool ScriptedFtpServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 ScriptedFtpServer::port() const
{
    return m_server->serverPort();
}

kavrin::ftp::ConnectionProfile ScriptedFtpServer::profile(int timeoutMs) const
{
    kavrin::ftp::ConnectionProfile p;
    p.host = QStringLiteral("127.0.0.1");
    p.port = port();
    p.user = QStringLiteral("kavrin");
    p.password = QStringLiteral("secret");
    p.connectTimeoutMs = timeoutMs;
    p.replyTimeoutMs = timeoutMs;
    return p;
}

void ScriptedFtpServer::acceptControl()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_control)
            m_control->deleteLater();
        m_control = socket;
        m_input.clear();
        m_queue.clear();
        m_floodLeft = 0;
        connect(socket, &QTcpSocket::readyRead, this, &ScriptedFtpServer::readCommands);
        connect(socket, &QTcpSocket::bytesWritten, this, &ScriptedFtpServer::pumpFlood);
        m_queue = m_greeting;
        run();
    }
}

void ScriptedFtpServer::readCommands()
{
    if (!m_control)
        return;
    m_input += m_control->readAll();
    for (qsizetype end; (end = m_input.indexOf("\r\n")) >= 0;) {
        const QByteArray line = m_input.left(end);
        m_input.remove(0, end + 2);
        m_commands.append(line);
        const QList<Step>* steps = nullptr;
        qsizetype matched = -1;
        for (auto rule = m_rules.cbegin(); rule != m_rules.cend(); ++rule) {
            if (line.startsWith(rule.key()) && rule.key().size() > matched) {
                matched = rule.key().size();
                steps = &rule.value();
            }
        }
        if (steps)
            m_queue += *steps;
        else
            m_queue += reply("502 Not implemented.");
    }
    run();
}

void ScriptedFtpServer::acceptData()
{
    if (!m_dataServer)
        return;
    while (QTcpSocket* socket = m_dataServer->nextPendingConnection()) {
        ++m_dataConnections;
        if (m_data)
            m_data->deleteLater();
        m_data = socket;
        connect(socket, &QTcpSocket::bytesWritten, this, &ScriptedFtpServer::run);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { m_received += socket->readAll(); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket->isOpen())
                m_received += socket->readAll();
            run();
        });
    }
    run();
}

// Plays the queued steps until one has to wait for the data connection.
void ScriptedFtpServer::run()
{
    // Closing a socket signals at once; the outer call goes on with the queue.
    if (m_running)
        return;
    m_running = true;
    playSteps();
    m_running = false;
}

void ScriptedFtpServer::playSteps()
{
    while (!m_queue.isEmpty() && m_control) {
        const Step step = m_queue.first();
        switch (step.kind) {
        case Step::Kind::Reply:
            m_control->write(step.bytes + "\r\n");
            break;
        case Step::Kind::Raw:
            m_control->write(step.bytes);
            break;
        case Step::Kind::Passive: {
            if (m_dataServer)
                m_dataServer->deleteLater();
            if (m_data)
                m_data->deleteLater();
            m_data = nullptr;
            m_dataServer = new QTcpServer(this);
            connect(m_dataServer, &QTcpServer::newConnection, this, &ScriptedFtpServer::acceptData);
            if (!m_dataServer->listen(QHostAddress::LocalHost, 0)) {
                m_control->write("425 No data port.\r\n");
                break;
            }
            const quint16 port = m_dataServer->serverPort();
            m_control->write("227 Entering Passive Mode (" + step.bytes + ',' + QByteArray::number(port / 256) + ','
                             + QByteArray::number(port % 256) + ").\r\n");
            break;
        }
        case Step::Kind::SendData:
            if (!m_data)
                return;
            m_data->write(step.bytes);
            break;
        case Step::Kind::CloseData:
            if (!m_data)
                return;
            m_data->disconnectFromHost();
            break;
        case Step::Kind::AbortData:
            if (!m_data || m_data->bytesToWrite() > 0)
                return;
            m_data->abort();
            break;
        case Step::Kind::ReadData:
            if (!m_data || m_data->state() == QAbstractSocket::ConnectedState)
                return;
            break;
        case Step::Kind::DropControl:
            m_queue.clear();
            m_control->flush(); // the replies before the drop still go out
            m_control->abort();
            return;
        case Step::Kind::Flood:
            m_floodLeft = step.count;
            pumpFlood();
            break;
        }
        m_queue.removeFirst();
    }
}

void ScriptedFtpServer::pumpFlood()
{
    constexpr qint64 chunk = 64 * 1024;
    static const QByteArray filler(chunk, 'x');
    // Keep little queued, so what was sent shows how much the client has taken.
    while (m_control && m_floodLeft > 0 && m_control->bytesToWrite() < chunk) {
        const qint64 n = std::min(chunk, m_floodLeft);
        m_control->write(filler.constData(), n);
        m_floodLeft -= n;
        m_floodSent += n;
    }
}
