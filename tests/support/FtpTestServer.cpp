#include "support/FtpTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace {

QString logPath(const QTemporaryDir& dir)
{
    return dir.filePath(QStringLiteral("commands.log"));
}

} // namespace

FtpTestServer::FtpTestServer(const QString& root, const QString& user, const QString& password)
    : m_root(root)
    , m_user(user)
    , m_password(password)
{
}

FtpTestServer::~FtpTestServer()
{
    stop();
}

bool FtpTestServer::start(QString* error)
{
    auto failed = [&](const QString& why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    if (!m_logDir.isValid())
        return failed(QStringLiteral("no temporary folder for the log"));
    m_process.setStandardErrorFile(m_logDir.filePath(QStringLiteral("server.err")));
    QStringList arguments { QStringLiteral(KAVRIN_TEST_SCRIPTS "/ftp_server.py"), m_root, m_user, m_password,
                            logPath(m_logDir) };
    if (!m_faults.isEmpty())
        arguments.append(m_faults);
    m_process.start(QStringLiteral(KAVRIN_SYSTEM_PYTHON), arguments);
    if (!m_process.waitForStarted(10000))
        return failed(QStringLiteral("cannot start %1: %2").arg(KAVRIN_SYSTEM_PYTHON, m_process.errorString()));

    QByteArray output;
    const QDeadlineTimer deadline(15000);
    while (!output.contains('\n')) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return failed(QStringLiteral("the server gave no port"));
        m_process.waitForReadyRead(int(deadline.remainingTime()));
        output += m_process.readAllStandardOutput();
    }
    bool ok = false;
    const uint port = output.left(output.indexOf('\n')).trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return failed(QStringLiteral("the server printed no port: %1").arg(QString::fromUtf8(output)));
    m_port = quint16(port);
    return true;
}

void FtpTestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Closing its input ends the server; SIGTERM and then a kill if it lingers.
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    m_port = 0;
}

QStringList FtpTestServer::commands() const
{
    QFile file(logPath(m_logDir));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString FtpTestServer::errorOutput() const
{
    QFile file(m_logDir.filePath(QStringLiteral("server.err")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

kavrin::ftp::ConnectionProfile FtpTestServer::profile(int replyTimeoutMs) const
{
    kavrin::ftp::ConnectionProfile p;
    p.host = QStringLiteral("127.0.0.1");
    p.port = m_port;
    p.user = m_user;
    p.password = m_password;
    p.connectTimeoutMs = 5000;
    p.replyTimeoutMs = replyTimeoutMs;
    return p;
}

bool FtpTestServer::makeProgramFolder(const QString& root)
{
    return QDir(root).mkpath(QStringLiteral("Sorvanta/Kavrin"));
}
