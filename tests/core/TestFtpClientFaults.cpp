// The FTP client against a scripted server: odd replies, broken and silent connections,
// a hostile 227, and operations cut off from a handler that runs inside the client's waits.
#include "ftp/FtpClient.h"
#include "ftp/FtpError.h"
#include "support/ScriptedFtpServer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <ctime>
#include <memory>
#include <optional>

using kavrin::ftp::FtpClient;
using kavrin::ftp::FtpError;
using Step = ScriptedFtpServer::Step;
using Script = QList<ScriptedFtpServer::Step>;

Q_DECLARE_METATYPE(ScriptedFtpServer::Step)

namespace {

struct Outcome
{
    bool ok = true;
    int code = 0;
    QString text;
};

template<typename Operation> Outcome attempt(Operation operation)
{
    try {
        operation();
        return {};
    } catch (const FtpError& e) {
        return { false, e.code(), e.text() };
    }
}

} // namespace

class TestFtpClientFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void login_data();
    void login();
    void dataGoesToTheControlPeer();
    void retrieveEndings_data();
    void retrieveEndings();
    void storeEndings_data();
    void storeEndings();
    void size_data();
    void size();
    void silenceEndsWithinTheLimit();
    void serverClosingWhileIdle();
    void overLongReplyLineIsBounded();
    void namesThatCouldInjectAreRefused_data();
    void namesThatCouldInjectAreRefused();
    void disconnectFromWorkCutsTheTransferOff();
    void disconnectFromAPumpedEvent();
    void disconnectDuringAReplyWait();
    void freedDuringAWait();
    void operationInsideAWaitIsRefused();
    void applicationQuitDoesNotEndTheWait();

private:
    std::unique_ptr<FtpClient> connected(int timeoutMs = 300);

    std::unique_ptr<ScriptedFtpServer> m_server;
};

void TestFtpClientFaults::init()
{
    m_server = std::make_unique<ScriptedFtpServer>();
    QVERIFY(m_server->listen());
}

void TestFtpClientFaults::cleanup()
{
    m_server.reset();
}

std::unique_ptr<FtpClient> TestFtpClientFaults::connected(int timeoutMs)
{
    auto client = std::make_unique<FtpClient>();
    client->setProfile(m_server->profile(timeoutMs));
    client->connectToHost();
    return client;
}

void TestFtpClientFaults::login_data()
{
    QTest::addColumn<QByteArray>("greeting"); // empty: silence
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply"); // to that command; empty: silence
    QTest::addColumn<int>("code"); // -1: logged in
    QTest::addColumn<QString>("text");

    const QByteArray ready("220 Ready");
    QTest::newRow("usual") << ready << QByteArray() << QByteArray() << -1 << QString();
    QTest::newRow("multi-line greeting") << QByteArray("220-Welcome\r\n221 inside\r\n220-more\r\n220 Ready")
                                         << QByteArray() << QByteArray() << -1 << QString();
    QTest::newRow("USER 230 needs no PASS") << ready << QByteArray("USER") << QByteArray("230 In.") << -1 << QString();
    QTest::newRow("multi-line 331") << ready << QByteArray("USER") << QByteArray("331-Who\r\n230 x\r\n331 Pass") << -1
                                    << QString();
    QTest::newRow("SYST 500") << ready << QByteArray("SYST") << QByteArray("500 Unknown") << -1 << QString();
    QTest::newRow("SYST 200") << ready << QByteArray("SYST") << QByteArray("200 Fine") << -1 << QString();
    QTest::newRow("greeting 120") << QByteArray("120 Wait") << QByteArray() << QByteArray() << 120 << "Wait";
    QTest::newRow("greeting 421") << QByteArray("421 Busy") << QByteArray() << QByteArray() << 421 << "Busy";
    QTest::newRow("USER 530") << ready << QByteArray("USER") << QByteArray("530 No") << 530 << "No";
    QTest::newRow("USER 332") << ready << QByteArray("USER") << QByteArray("332 Account") << 332 << "Account";
    QTest::newRow("PASS 530") << ready << QByteArray("PASS") << QByteArray("530 Wrong") << 530 << "Wrong";
    QTest::newRow("PASS 202") << ready << QByteArray("PASS") << QByteArray("202 Whatever") << 202 << "Whatever";
    QTest::newRow("TYPE 504") << ready << QByteArray("TYPE") << QByteArray("504 No") << 504 << "No";
    QTest::newRow("SYST 502") << ready << QByteArray("SYST") << QByteArray("502 No") << 502 << "No";
    QTest::newRow("malformed greeting") << QByteArray("Hello") << QByteArray() << QByteArray() << 0
                                        << "Malformed reply from the server.";
    QTest::newRow("silent greeting") << QByteArray() << QByteArray() << QByteArray() << 0 << "Read timed out.";
    QTest::newRow("silent PASS") << ready << QByteArray("PASS") << QByteArray() << 0 << "Read timed out.";
}

void TestFtpClientFaults::login()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(int, code);
    QFETCH(QString, text);

    m_server->setGreeting(greeting.isEmpty() ? Script {} : Script { ScriptedFtpServer::reply(greeting) });
    if (!command.isEmpty())
        m_server->on(command, reply.isEmpty() ? Script {} : Script { ScriptedFtpServer::reply(reply) });
    FtpClient client;
    client.setProfile(m_server->profile());
    const Outcome outcome = attempt([&] { client.connectToHost(); });
    if (code < 0) {
        QVERIFY2(outcome.ok, qPrintable(outcome.text));
        QVERIFY(client.isConnected());
        const bool askedForPassword = m_server->commands().contains("PASS secret");
        QCOMPARE(askedForPassword, !reply.startsWith("230"));
        QCOMPARE(m_server->commands().last(), QByteArray("SYST"));
    } else {
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.code, code);
        QCOMPARE(outcome.text, text);
        QVERIFY(!client.isConnected()); // closed before the error reaches the caller
    }
}

void TestFtpClientFaults::dataGoesToTheControlPeer()
{
    // The reply names another loopback address; the data port listens on 127.0.0.1 only, so
    // a client that followed the reply would find nothing there.
    m_server->on("PASV", { ScriptedFtpServer::passive("127,0,0,2") });
    m_server->on("LIST",
                 { ScriptedFtpServer::reply("150 Here"), ScriptedFtpServer::sendData("a\r\nb\rc\n\nd"),
                   ScriptedFtpServer::closeData(), ScriptedFtpServer::reply("226 Done") });
    auto client = connected();
    QList<QByteArray> lines;
    const Outcome outcome = attempt([&] { lines = client->list(); });
    QVERIFY2(outcome.ok, qPrintable(outcome.text));
    QCOMPARE(lines, (QList<QByteArray> { "a", "b", "c", "", "d" }));
    QCOMPARE(m_server->dataConnections(), 1);
    QCOMPARE(m_server->commands().last(), QByteArray("LIST"));
}

void TestFtpClientFaults::retrieveEndings_data()
{
    using S = ScriptedFtpServer;
    QTest::addColumn<Script>("script"); // for RETR
    QTest::addColumn<int>("code"); // -1: success
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("connectedAfter");

    const QByteArray body("0123456789");
    const Script sent { S::reply("150 Opening"), S::sendData(body), S::closeData() };
    QTest::newRow("226") << sent + Script { S::reply("226 Done") } << -1 << QString() << true;
    QTest::newRow("225") << sent + Script { S::reply("225 Done") } << -1 << QString() << true;
    QTest::newRow("250") << sent + Script { S::reply("250 Done") } << -1 << QString() << true;
    QTest::newRow("125 then 226") << Script { S::reply("125 Already open"), S::sendData(body), S::closeData(),
                                              S::reply("226 Done") }
                                  << -1 << QString() << true;
    QTest::newRow("426 then 226") << sent + Script { S::reply("426 Aborted"), S::reply("226 Done") } << -1 << QString()
                                  << true;
    QTest::newRow("426 then 451") << sent + Script { S::reply("426 Aborted"), S::reply("451 Failed") } << 451
                                  << "Failed" << true;
    QTest::newRow("short, then 451") << sent + Script { S::reply("451 Local error") } << 451 << "Local error" << true;
    QTest::newRow("cut off, then 426 and silence")
        << Script { S::reply("150 Opening"), S::sendData(body), S::abortData(), S::reply("426 Cut") } << 0
        << "Read timed out." << false;
    QTest::newRow("refused") << Script { S::reply("550 No such file") } << 550 << "No such file" << true;
    QTest::newRow("200 is no opening") << Script { S::reply("200 Odd") } << 200 << "Odd" << true;
    QTest::newRow("data stalls") << Script { S::reply("150 Opening"), S::sendData(body) } << 0 << "Read timed out."
                                 << false;
    QTest::newRow("no final reply") << sent << 0 << "Read timed out." << false;
    QTest::newRow("control dropped mid-transfer")
        << Script { S::reply("150 Opening"), S::sendData(body), S::dropControl() } << 0
        << "Connection closed by the server." << false;
    QTest::newRow("malformed final reply")
        << sent + Script { S::reply("2x6 Done") } << 0 << "Malformed reply from the server." << false;
}

void TestFtpClientFaults::retrieveEndings()
{
    QFETCH(Script, script);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(bool, connectedAfter);

    m_server->on("RETR", script);
    auto client = connected();
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    qint64 received = -1;
    const Outcome outcome = attempt([&] { received = client->retrieve("f.bin", sink); });
    if (code < 0) {
        QVERIFY2(outcome.ok, qPrintable(outcome.text));
        QCOMPARE(received, 10);
        QCOMPARE(sink.data(), QByteArray("0123456789"));
    } else {
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.code, code);
        QCOMPARE(outcome.text, text);
    }
    QCOMPARE(client->isConnected(), connectedAfter);
    QVERIFY(!client->isBusy());
    QCOMPARE(m_server->commands().last(), QByteArray("RETR f.bin"));
    if (connectedAfter) // still in step with the server
        client->changeDir("next");
}

void TestFtpClientFaults::storeEndings_data()
{
    using S = ScriptedFtpServer;
    QTest::addColumn<Script>("script"); // for STOR
    QTest::addColumn<int>("code"); // -1: success
    QTest::addColumn<bool>("connectedAfter");

    QTest::newRow("150, 226") << Script { S::reply("150 Send"), S::readData(), S::reply("226 Stored") } << -1 << true;
    QTest::newRow("110, 250") << Script { S::reply("110 Marker"), S::readData(), S::reply("250 Stored") } << -1 << true;
    QTest::newRow("426 then 226") << Script { S::reply("125 Send"), S::readData(), S::reply("426 Hm"),
                                              S::reply("226 Stored") }
                                  << -1 << true;
    QTest::newRow("refused") << Script { S::reply("553 Not allowed") } << 553 << true;
    QTest::newRow("final 452") << Script { S::reply("150 Send"), S::readData(), S::reply("452 Disk full") } << 452
                               << true;
    QTest::newRow("data closed by the server")
        << Script { S::reply("150 Send"), S::closeData(), S::reply("451 Aborted") } << 451 << true;
    QTest::newRow("no final reply") << Script { S::reply("150 Send"), S::readData() } << 0 << false;
}

void TestFtpClientFaults::storeEndings()
{
    QFETCH(Script, script);
    QFETCH(int, code);
    QFETCH(bool, connectedAfter);

    m_server->on("STOR", script);
    auto client = connected();
    // Large enough that the data connection closed early is seen before all is sent.
    QByteArray bytes(8 * 1024 * 1024, 'u');
    bytes[12345] = 'v';
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    const Outcome outcome = attempt([&] { client->store(source, "up.bin"); });
    if (code < 0) {
        QVERIFY2(outcome.ok, qPrintable(outcome.text));
        QVERIFY(m_server->received() == bytes);
    } else {
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.code, code);
    }
    QCOMPARE(client->isConnected(), connectedAfter);
    QCOMPARE(m_server->commands().last(), QByteArray("STOR up.bin"));
}

void TestFtpClientFaults::size_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<qint64>("size");
    QTest::newRow("number") << QByteArray("213 1234") << qint64(1234);
    QTest::newRow("zero") << QByteArray("213 0") << qint64(0);
    QTest::newRow("large") << QByteArray("213 6000000000") << qint64(6000000000);
    QTest::newRow("two spaces") << QByteArray("213  77") << qint64(77);
    QTest::newRow("not a number") << QByteArray("213 abc") << qint64(-1);
    QTest::newRow("number and words") << QByteArray("213 12 bytes") << qint64(-1);
    QTest::newRow("negative") << QByteArray("213 -5") << qint64(-1);
    QTest::newRow("no text") << QByteArray("213") << qint64(-1);
    QTest::newRow("refused") << QByteArray("550 No such file") << qint64(-1);
    QTest::newRow("other code with a number") << QByteArray("212 99") << qint64(-1);
}

void TestFtpClientFaults::size()
{
    QFETCH(QByteArray, reply);
    QFETCH(qint64, size);
    m_server->on("SIZE", { ScriptedFtpServer::reply(reply) });
    auto client = connected();
    QCOMPARE(client->size("a b.xml"), size);
    QVERIFY(client->isConnected());
    QCOMPARE(m_server->commands().last(), QByteArray("SIZE a b.xml"));

    // A broken connection is an error, not a -1.
    m_server->on("SIZE", { ScriptedFtpServer::dropControl() });
    QVERIFY_THROWS_EXCEPTION(FtpError, client->size("x"));
    QVERIFY(!client->isConnected());
}

void TestFtpClientFaults::silenceEndsWithinTheLimit()
{
    m_server->on("CWD", {});
    auto client = connected(300);
    QElapsedTimer timer;
    timer.start();
    const Outcome outcome = attempt([&] { client->changeDir("Sorvanta"); });
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(outcome.text, QStringLiteral("Read timed out."));
    QCOMPARE(outcome.code, 0);
    QVERIFY(!client->isConnected());
    QVERIFY2(elapsed >= 250 && elapsed < 2000, qPrintable(QString::number(elapsed)));
}

void TestFtpClientFaults::serverClosingWhileIdle()
{
    m_server->on("CWD", { ScriptedFtpServer::reply("250 Fine"), ScriptedFtpServer::dropControl() });
    auto client = connected();
    client->changeDir("Sorvanta");
    QTRY_VERIFY_WITH_TIMEOUT(!client->isConnected(), 2000);
    const Outcome outcome = attempt([&] { client->changeDir("Kavrin"); });
    QCOMPARE(outcome.text, QStringLiteral("Not connected."));
}

void TestFtpClientFaults::overLongReplyLineIsBounded()
{
    constexpr qint64 flood = 256 * 1024 * 1024;
    m_server->on("CWD", { ScriptedFtpServer::flood(flood) });
    auto client = connected(5000);
    const Outcome outcome = attempt([&] { client->changeDir("Sorvanta"); });
    QCOMPARE(outcome.text, QStringLiteral("A reply line from the server is too long."));
    QVERIFY(!client->isConnected());
    // The client stopped reading at once instead of taking in the whole line.
    QVERIFY2(m_server->floodSent() < 32 * 1024 * 1024, qPrintable(QString::number(m_server->floodSent())));
}

void TestFtpClientFaults::namesThatCouldInjectAreRefused_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("CWD with CR LF") << 0 << QByteArray("Kavrin\r\nDELE x");
    QTest::newRow("SIZE with LF") << 1 << QByteArray("a\nDELE x");
    QTest::newRow("RETR with CR") << 2 << QByteArray("a\rb");
    QTest::newRow("STOR with NUL") << 3 << QByteArray("a\0b", 3);
    QTest::newRow("RNFR with LF") << 4 << QByteArray("a\nb");
    QTest::newRow("RNTO with LF") << 5 << QByteArray("a\nb");
    QTest::newRow("DELE with CR LF") << 6 << QByteArray("x\r\nDELE y");
}

void TestFtpClientFaults::namesThatCouldInjectAreRefused()
{
    QFETCH(int, operation);
    QFETCH(QByteArray, name);
    auto client = connected();
    const auto before = m_server->commands();
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    const Outcome outcome = attempt([&] {
        switch (operation) {
        case 0:
            client->changeDir(name);
            break;
        case 1:
            client->size(name);
            break;
        case 2:
            client->retrieve(name, buffer);
            break;
        case 3:
            client->store(buffer, name);
            break;
        case 4:
            client->rename(name, "b");
            break;
        case 5:
            client->rename("a", name);
            break;
        case 6:
            client->remove(name);
            break;
        }
    });
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.code, 0);
    QTest::qWait(20); // anything sent would arrive by now
    QCOMPARE(m_server->commands(), before);
    QVERIFY(client->isConnected());
}

void TestFtpClientFaults::disconnectFromWorkCutsTheTransferOff()
{
    const QByteArray big(16 * 1024 * 1024, 'b');
    m_server->on("RETR",
                 { ScriptedFtpServer::reply("150 Opening"), ScriptedFtpServer::sendData(big),
                   ScriptedFtpServer::closeData(), ScriptedFtpServer::reply("226 Done") });
    auto client = connected(5000);
    int events = 0;
    connect(client.get(), &FtpClient::work, this, [&](FtpClient::WorkMode, qint64) {
        ++events;
        QCoreApplication::processEvents();
        client->disconnectFromHost();
    });
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    const Outcome outcome = attempt([&] { client->retrieve("big.bin", sink); });
    QCOMPARE(outcome.text, QStringLiteral("Connection closed."));
    QCOMPARE(outcome.code, 0);
    QCOMPARE(events, 1);
    QVERIFY(sink.size() < big.size());
    QVERIFY(!client->isConnected());
    QVERIFY(!client->isBusy());
}

void TestFtpClientFaults::disconnectFromAPumpedEvent()
{
    // As a button click would: posted while the transfer runs, handled in the progress pump.
    QByteArray big(32 * 1024 * 1024, 'b');
    m_server->on("STOR",
                 { ScriptedFtpServer::reply("150 Send"), ScriptedFtpServer::readData(),
                   ScriptedFtpServer::reply("226 Stored") });
    auto client = connected(5000);
    bool posted = false;
    connect(client.get(), &FtpClient::work, this, [&](FtpClient::WorkMode mode, qint64) {
        QCOMPARE(mode, FtpClient::WorkMode::Write);
        if (!posted)
            QTimer::singleShot(0, client.get(), [&] { client->disconnectFromHost(); });
        posted = true;
        QCoreApplication::processEvents();
    });
    QBuffer source(&big);
    source.open(QIODevice::ReadOnly);
    const Outcome outcome = attempt([&] { client->store(source, "big.bin"); });
    QCOMPARE(outcome.text, QStringLiteral("Connection closed."));
    QVERIFY(posted);
    QVERIFY(!client->isConnected());
    QVERIFY(m_server->received().size() < big.size());
}

void TestFtpClientFaults::disconnectDuringAReplyWait()
{
    m_server->on("CWD", {});
    auto client = connected(10000);
    QTimer::singleShot(50, client.get(), [&] { client->disconnectFromHost(); });
    QElapsedTimer timer;
    timer.start();
    const Outcome outcome = attempt([&] { client->changeDir("Sorvanta"); });
    QCOMPARE(outcome.text, QStringLiteral("Connection closed."));
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!client->isConnected());
    // Usable again afterwards.
    m_server->on("CWD", { ScriptedFtpServer::reply("250 Fine") });
    client->connectToHost();
    client->changeDir("Sorvanta");
}

void TestFtpClientFaults::freedDuringAWait()
{
    m_server->on("CWD", {});
    QPointer<FtpClient> client = new FtpClient;
    client->setProfile(m_server->profile(10000));
    client->connectToHost();
    QTimer::singleShot(50, [&] { delete client.data(); });
    const Outcome outcome = attempt([&] { client->changeDir("Sorvanta"); });
    QCOMPARE(outcome.text, QStringLiteral("Connection closed."));
    QVERIFY(client.isNull());
}

void TestFtpClientFaults::operationInsideAWaitIsRefused()
{
    m_server->on("RETR",
                 { ScriptedFtpServer::reply("150 Opening"), ScriptedFtpServer::sendData("abc"),
                   ScriptedFtpServer::closeData(), ScriptedFtpServer::reply("226 Done") });
    auto client = connected();
    std::optional<Outcome> nested;
    connect(client.get(), &FtpClient::work, this, [&](FtpClient::WorkMode, qint64) {
        QVERIFY(client->isBusy());
        nested = attempt([&] { client->changeDir("elsewhere"); });
    });
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QCOMPARE(client->retrieve("f", sink), 3);
    QVERIFY(nested.has_value());
    QVERIFY(!nested->ok);
    QVERIFY(!m_server->commands().contains("CWD elsewhere"));
    QVERIFY(client->isConnected());
}

void TestFtpClientFaults::applicationQuitDoesNotEndTheWait()
{
    m_server->on("CWD", {});
    auto client = connected(400);
    Outcome outcome;
    qint64 elapsed = 0;
    std::clock_t cpu = 0;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(20, [] { QCoreApplication::quit(); });
        QElapsedTimer timer;
        timer.start();
        const std::clock_t start = std::clock();
        outcome = attempt([&] { client->changeDir("Sorvanta"); });
        cpu = std::clock() - start;
        elapsed = timer.elapsed();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    QCOMPARE(outcome.text, QStringLiteral("Read timed out."));
    QVERIFY2(elapsed >= 350, qPrintable(QString::number(elapsed)));
    // Waiting, not spinning, after every new event loop has started to return at once.
    QVERIFY2(cpu < CLOCKS_PER_SEC / 10, qPrintable(QString::number(double(cpu) / CLOCKS_PER_SEC)));
}

QTEST_GUILESS_MAIN(TestFtpClientFaults)
#include "TestFtpClientFaults.moc"
