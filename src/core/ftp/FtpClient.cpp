#include "ftp/FtpClient.h"

#include "ftp/FtpError.h"
#include "ftp/FtpReply.h"
#include "ftp/LineSplit.h"
#include "ftp/PassiveAddress.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QIODevice>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <initializer_list>

namespace kavrin::ftp {

namespace {

// One read from the data connection, one progress event.
constexpr qint64 blockSize = 256 * 1024;
// Qt's own buffer of the data socket: large enough to keep the kernel's buffer draining
// between our reads, small enough to bound memory (past it, TCP flow control holds the server).
constexpr qint64 dataReadBufferSize = 4 * 1024 * 1024;
// Bytes queued on the data socket during an upload before we wait for them to leave.
constexpr qint64 uploadWriteAhead = 1024 * 1024;
constexpr qint64 controlChunkSize = 16 * 1024;
constexpr qint64 controlReadBufferSize = 64 * 1024;
// A listing is held whole; a server that never stops sending must not fill the memory.
constexpr qint64 maxListingSize = 64 * 1024 * 1024;

const char connectTimedOut[] = "Connect timed out.";
const char readTimedOut[] = "Read timed out.";
const char connectionClosed[] = "Connection closed.";
const char closedByServer[] = "Connection closed by the server.";

bool accepts(std::initializer_list<int> codes, int code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

FtpError replyError(const FtpReply& reply)
{
    return FtpError(reply.code, QString::fromUtf8(reply.text()));
}

void checkName(QByteArrayView name)
{
    for (char c : name) {
        if (c == '\r' || c == '\n' || c == '\0')
            throw FtpError(0, QStringLiteral("A name sent to the server must not contain CR, LF or NUL."));
    }
}

// The decimal number after the first space of a 213 reply, or -1.
qint64 sizeFromReply(const FtpReply& reply)
{
    if (reply.code != 213 || reply.lines.isEmpty())
        return -1;
    const QByteArrayView line(reply.lines.first());
    const qsizetype space = line.indexOf(' ');
    if (space < 0)
        return -1;
    const QByteArrayView number = line.sliced(space + 1).trimmed();
    if (number.isEmpty() || number.size() > 18)
        return -1;
    qint64 value = 0;
    for (char c : number) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

struct FtpClient::Private
{
    FtpClient* q;
    ConnectionProfile profile;
    QTcpSocket* control;
    QTcpSocket* data;
    QTimer* timer;
    QEventLoop* loop = nullptr; // the wait under way, woken by the sockets and the timer
    FtpReplyReader reader;
    QByteArray block;
    QByteArray controlChunk;
    qint64 dataWritten = 0;
    bool binary = false;
    bool cutOff = false; // disconnectFromHost() while an operation waits
    bool busy = false;

    explicit Private(FtpClient* owner)
        : q(owner)
        , control(new QTcpSocket(owner))
        , data(new QTcpSocket(owner))
        , timer(new QTimer(owner))
    {
        timer->setSingleShot(true);
        control->setReadBufferSize(controlReadBufferSize);
        for (QTcpSocket* socket : { control, data }) {
            QObject::connect(socket, &QTcpSocket::connected, q, [this] { wake(); });
            QObject::connect(socket, &QTcpSocket::readyRead, q, [this] { wake(); });
            QObject::connect(socket, &QTcpSocket::disconnected, q, [this] { wake(); });
            QObject::connect(socket, &QTcpSocket::errorOccurred, q, [this] { wake(); });
        }
        QObject::connect(data, &QTcpSocket::bytesWritten, q, [this](qint64 bytes) {
            dataWritten += bytes;
            wake();
        });
        QObject::connect(timer, &QTimer::timeout, q, [this] { wake(); });
    }

    void wake()
    {
        if (loop)
            loop->quit();
    }

    void closeAll()
    {
        data->abort();
        control->abort();
        reader.clear();
        binary = false;
    }

    [[noreturn]] void fail(const QString& text)
    {
        closeAll();
        throw FtpError(0, text);
    }

    void requireConnected() const
    {
        if (control->state() != QAbstractSocket::ConnectedState)
            throw FtpError(0, QStringLiteral("Not connected."));
    }

    // Runs the event loop until ready() holds. Any wake-up only leads to a new test, so a
    // loop ended by someone else (QCoreApplication::quit) does not end the wait.
    template<typename Ready> void wait(Ready ready, int timeoutMs, const char* timeoutText, bool needControl)
    {
        const QPointer<FtpClient> self(q);
        const QDeadlineTimer deadline(std::max(timeoutMs, 0));
        bool useExec = true;
        for (;;) {
            if (cutOff)
                throw FtpError(0, QString::fromLatin1(connectionClosed));
            if (ready())
                return;
            if (needControl && control->state() != QAbstractSocket::ConnectedState)
                fail(QString::fromLatin1(closedByServer));
            if (deadline.hasExpired())
                fail(QString::fromLatin1(timeoutText));
            timer->start(int(std::clamp<qint64>(deadline.remainingTime(), 1, INT_MAX)));
            QEventLoop local;
            loop = &local;
            if (useExec) {
                // After QCoreApplication::quit() every new loop returns -1 at once: wait for
                // events directly instead of spinning.
                if (local.exec() == -1)
                    useExec = false;
            } else {
                local.processEvents(QEventLoop::WaitForMoreEvents);
            }
            if (!self) // freed by a handler that ran in the loop
                throw FtpError(0, QString::fromLatin1(connectionClosed));
            loop = nullptr;
            timer->stop();
        }
    }

    // Takes a complete reply out of what the control connection has delivered.
    bool pollReply(FtpReply& reply)
    {
        for (;;) {
            switch (reader.next(reply)) {
            case FtpReplyReader::Status::Complete:
                return true;
            case FtpReplyReader::Status::NeedMore:
                break;
            case FtpReplyReader::Status::Malformed:
                fail(QStringLiteral("Malformed reply from the server."));
            case FtpReplyReader::Status::LineTooLong:
                fail(QStringLiteral("A reply line from the server is too long."));
            case FtpReplyReader::Status::ReplyTooLong:
                fail(QStringLiteral("A reply from the server is too long."));
            }
            if (control->bytesAvailable() <= 0)
                return false;
            const qint64 n = control->read(controlChunk.data(), controlChunk.size());
            if (n <= 0)
                return false;
            reader.append(QByteArrayView(controlChunk.constData(), n));
        }
    }

    FtpReply readReply()
    {
        FtpReply reply;
        wait([&] { return pollReply(reply); }, profile.replyTimeoutMs, readTimedOut, true);
        return reply;
    }

    FtpReply expect(std::initializer_list<int> codes)
    {
        FtpReply reply = readReply();
        if (!accepts(codes, reply.code))
            throw replyError(reply);
        return reply;
    }

    void send(QByteArrayView verb, const QByteArray* argument = nullptr)
    {
        if (argument)
            checkName(*argument);
        requireConnected();
        QByteArray line;
        line.reserve(verb.size() + (argument ? argument->size() + 1 : 0) + 2);
        line.append(verb);
        if (argument) {
            line.append(' ');
            line.append(*argument);
        }
        line += "\r\n";
        control->write(line);
        control->flush();
    }

    FtpReply command(QByteArrayView verb, const QByteArray& argument, std::initializer_list<int> codes)
    {
        send(verb, &argument);
        return expect(codes);
    }

    FtpReply command(QByteArrayView verb, std::initializer_list<int> codes)
    {
        send(verb);
        return expect(codes);
    }

    // PASV, then the data connection to the control connection's peer: the address in the
    // reply is ignored, so a server cannot send us to another host.
    void openData()
    {
        const FtpReply reply = command("PASV", { 227 });
        const auto address = parsePassiveAddress(reply.text());
        if (!address)
            throw FtpError(reply.code, QStringLiteral("The server's passive reply holds no address."));
        data->abort();
        data->setReadBufferSize(dataReadBufferSize);
        data->connectToHost(control->peerAddress(), address->port);
        wait(
            [&] {
                if (data->state() == QAbstractSocket::ConnectedState)
                    return true;
                if (data->state() == QAbstractSocket::UnconnectedState)
                    fail(QStringLiteral("No data connection: %1").arg(data->errorString()));
                return false;
            },
            profile.connectTimeoutMs, connectTimedOut, true);
    }

    void emitWork(WorkMode mode, qint64 count)
    {
        const QPointer<FtpClient> self(q);
        Q_EMIT q->work(mode, count);
        if (!self || cutOff)
            throw FtpError(0, QString::fromLatin1(connectionClosed));
    }

    // Reads the data connection until the server closes it, every block handed to consume().
    template<typename Consume> qint64 receive(Consume consume)
    {
        qint64 total = 0;
        for (;;) {
            while (data->bytesAvailable() > 0) {
                const qint64 n = data->read(block.data(), block.size());
                if (n <= 0)
                    break;
                consume(block.constData(), n);
                total += n;
                emitWork(WorkMode::Read, total);
            }
            if (data->state() == QAbstractSocket::UnconnectedState && data->bytesAvailable() <= 0)
                break;
            wait([&] { return data->bytesAvailable() > 0 || data->state() == QAbstractSocket::UnconnectedState; },
                 profile.replyTimeoutMs, readTimedOut, true);
        }
        const auto error = data->error();
        if (error != QAbstractSocket::RemoteHostClosedError && error != QAbstractSocket::UnknownSocketError)
            fail(QStringLiteral("The data connection failed: %1").arg(data->errorString()));
        return total;
    }

    // 225, 226 or 250 ends a transfer; after 426 the server still owes a 226.
    void finishTransfer()
    {
        FtpReply reply = readReply();
        if (reply.code == 426) {
            reply = readReply();
            if (reply.code != 226)
                throw replyError(reply);
            return;
        }
        if (!accepts({ 225, 226, 250 }, reply.code))
            throw replyError(reply);
    }

    // Marks the client busy for one operation; whatever way the operation ends, no data
    // connection is left open. Harmless when the client was freed during the operation.
    class Operation
    {
    public:
        Operation(FtpClient* client, Private* d)
            : m_client(client)
            , m_d(d)
        {
            if (d->busy)
                throw FtpError(0, QStringLiteral("Another FTP operation is under way."));
            d->busy = true;
            d->cutOff = false;
        }
        ~Operation()
        {
            if (!m_client)
                return;
            m_d->data->abort();
            m_d->busy = false;
            m_d->cutOff = false;
        }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        QPointer<FtpClient> m_client;
        Private* m_d;
    };
};

FtpClient::FtpClient(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    d->block.resize(blockSize);
    d->controlChunk.resize(controlChunkSize);
}

FtpClient::~FtpClient()
{
    // A wait under way learns of this through its QPointer once its loop returns.
    d->wake();
    QObject::disconnect(d->control, nullptr, this, nullptr);
    QObject::disconnect(d->data, nullptr, this, nullptr);
    d->data->abort();
    d->control->abort();
}

void FtpClient::setProfile(const ConnectionProfile& profile)
{
    d->profile = profile;
}

const ConnectionProfile& FtpClient::profile() const
{
    return d->profile;
}

void FtpClient::connectToHost()
{
    Private::Operation operation(this, d.get());
    const QPointer<FtpClient> self(this);
    if (d->control->state() != QAbstractSocket::UnconnectedState)
        d->fail(QStringLiteral("Already connected."));
    d->closeAll();
    try {
        const QByteArray user = d->profile.user.toUtf8();
        const QByteArray password = d->profile.password.toUtf8();
        checkName(user);
        checkName(password);
        d->control->connectToHost(d->profile.host, d->profile.port);
        d->wait(
            [&] {
                if (d->control->state() == QAbstractSocket::ConnectedState)
                    return true;
                if (d->control->state() == QAbstractSocket::UnconnectedState)
                    throw FtpError(0,
                                   QStringLiteral("Cannot connect to %1:%2: %3")
                                       .arg(d->profile.host)
                                       .arg(d->profile.port)
                                       .arg(d->control->errorString()));
                return false;
            },
            d->profile.connectTimeoutMs, connectTimedOut, false);
        d->expect({ 220 });
        if (d->command("USER", user, { 230, 331 }).code == 331)
            d->command("PASS", password, { 230 });
        d->command("TYPE", QByteArray("I"), { 200 });
        d->binary = true;
        d->command("SYST", { 200, 215, 500 });
    } catch (...) {
        if (self)
            d->closeAll();
        throw;
    }
}

bool FtpClient::isConnected() const
{
    return d->control->state() == QAbstractSocket::ConnectedState;
}

void FtpClient::setBinary()
{
    Private::Operation operation(this, d.get());
    if (d->binary && isConnected())
        return;
    d->command("TYPE", QByteArray("I"), { 200 });
    d->binary = true;
}

void FtpClient::changeDir(const QByteArray& folder)
{
    Private::Operation operation(this, d.get());
    d->command("CWD", folder, { 250 });
}

QList<QByteArray> FtpClient::list()
{
    Private::Operation operation(this, d.get());
    d->requireConnected();
    d->openData();
    d->command("LIST", { 125, 150 });
    QByteArray text;
    d->receive([&](const char* bytes, qint64 n) {
        if (text.size() + n > maxListingSize)
            d->fail(QStringLiteral("The listing from the server is too long."));
        text.append(bytes, n);
    });
    d->finishTransfer();
    return splitLines(text);
}

qint64 FtpClient::size(const QByteArray& name)
{
    Private::Operation operation(this, d.get());
    d->send("SIZE", &name);
    return sizeFromReply(d->readReply());
}

qint64 FtpClient::retrieve(const QByteArray& name, QIODevice& sink)
{
    Private::Operation operation(this, d.get());
    checkName(name);
    d->requireConnected();
    d->openData();
    d->command("RETR", name, { 125, 150 });
    const qint64 total = d->receive([&](const char* bytes, qint64 n) {
        if (sink.write(bytes, n) != n)
            d->fail(QStringLiteral("Cannot write the local file: %1").arg(sink.errorString()));
    });
    d->finishTransfer();
    return total;
}

void FtpClient::store(QIODevice& source, const QByteArray& name)
{
    Private::Operation operation(this, d.get());
    checkName(name);
    d->requireConnected();
    d->openData();
    d->command("STOR", name, { 110, 125, 150 });

    QTcpSocket* data = d->data;
    d->dataWritten = 0;
    qint64 reported = 0;
    bool atEnd = false;
    for (;;) {
        while (!atEnd && data->bytesToWrite() < uploadWriteAhead) {
            const qint64 n = source.read(d->block.data(), d->block.size());
            if (n < 0)
                d->fail(QStringLiteral("Cannot read the local file: %1").arg(source.errorString()));
            if (n == 0) {
                atEnd = true;
                break;
            }
            if (data->write(d->block.constData(), n) != n)
                break; // the connection is gone; told below
        }
        if (d->dataWritten > reported) {
            reported = d->dataWritten;
            d->emitWork(WorkMode::Write, reported);
        }
        if (data->state() != QAbstractSocket::ConnectedState) {
            // The server's final reply tells why; short of that, the upload is still incomplete.
            data->abort();
            d->finishTransfer();
            throw FtpError(0, QStringLiteral("The data connection was closed during the upload."));
        }
        if (atEnd && data->bytesToWrite() == 0)
            break;
        d->wait(
            [&] {
                return d->dataWritten > reported || data->state() != QAbstractSocket::ConnectedState
                    || (!atEnd && data->bytesToWrite() < uploadWriteAhead);
            },
            d->profile.replyTimeoutMs, readTimedOut, true);
    }
    data->disconnectFromHost();
    d->wait([&] { return data->state() == QAbstractSocket::UnconnectedState; }, d->profile.replyTimeoutMs, readTimedOut,
            true);
    d->finishTransfer();
}

void FtpClient::rename(const QByteArray& from, const QByteArray& to)
{
    Private::Operation operation(this, d.get());
    checkName(to);
    d->command("RNFR", from, { 350 });
    d->command("RNTO", to, { 250 });
}

void FtpClient::remove(const QByteArray& name)
{
    Private::Operation operation(this, d.get());
    d->command("DELE", name, { 250 });
}

void FtpClient::disconnectFromHost()
{
    if (d->busy)
        d->cutOff = true;
    d->closeAll();
    d->wake();
}

bool FtpClient::isBusy() const
{
    return d->busy;
}

} // namespace kavrin::ftp
