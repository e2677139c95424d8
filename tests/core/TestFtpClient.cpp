// The FTP client against a real server: the local pyftpdlib server and its command log.
#include "ftp/FtpClient.h"
#include "ftp/FtpError.h"
#include "support/Files.h"
#include "support/FtpTestServer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using kavrin::ftp::FtpClient;
using kavrin::ftp::FtpError;

namespace {


} // namespace

class TestFtpClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void loginSendsTheTable();
    void wrongPasswordCloses();
    void connectWhileOpenCloses();
    void changeDir_data();
    void changeDir();
    void listGivesTheServersLines();
    void size_data();
    void size();
    void retrieveExactBytes_data();
    void retrieveExactBytes();
    void storeThenRenameThenRemove();
    void setBinaryOnlyWhenNeeded();
    void disconnectedClientRefuses();
    void neverQuit();
    void silentGreetingFault();

private:
    QString kavrinFolder() const { return m_root.filePath(QStringLiteral("Sorvanta/Kavrin")); }
    std::unique_ptr<FtpClient> connected();
    QStringList newCommands() const { return m_server->commands().mid(m_seen); }

    QTemporaryDir m_root;
    std::unique_ptr<FtpTestServer> m_server;
    qsizetype m_seen = 0;
};

void TestFtpClient::initTestCase()
{
    QVERIFY(m_root.isValid());
    QVERIFY(FtpTestServer::makeProgramFolder(m_root.path()));
    m_server = std::make_unique<FtpTestServer>(m_root.path());
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
}

void TestFtpClient::init()
{
    m_seen = m_server->commands().size();
}

void TestFtpClient::cleanup()
{
    // Empty the folder but keep it: the server process may stand in it.
    QDir folder(kavrinFolder());
    for (const QString& name : folder.entryList(QDir::Files))
        QVERIFY(folder.remove(name));
}

std::unique_ptr<FtpClient> TestFtpClient::connected()
{
    auto client = std::make_unique<FtpClient>();
    client->setProfile(m_server->profile());
    client->connectToHost();
    return client;
}

void TestFtpClient::loginSendsTheTable()
{
    auto client = connected();
    QVERIFY(client->isConnected());
    QVERIFY(!client->isBusy());
    QCOMPARE(newCommands(), (QStringList { "USER kavrin", "PASS ****", "TYPE I", "SYST" }));
}

void TestFtpClient::wrongPasswordCloses()
{
    FtpClient client;
    auto profile = m_server->profile();
    profile.password = QStringLiteral("wrong");
    client.setProfile(profile);
    try {
        client.connectToHost();
        QFAIL("a wrong password logged in");
    } catch (const FtpError& e) {
        QCOMPARE(e.code(), 530);
    }
    QVERIFY(!client.isConnected());
    QCOMPARE(newCommands(), (QStringList { "USER kavrin", "PASS ****" }));
}

void TestFtpClient::connectWhileOpenCloses()
{
    auto client = connected();
    m_seen = m_server->commands().size();
    try {
        client->connectToHost();
        QFAIL("a second connect succeeded");
    } catch (const FtpError& e) {
        QCOMPARE(e.text(), QStringLiteral("Already connected."));
    }
    QVERIFY(!client->isConnected());
    QVERIFY(newCommands().isEmpty());
    // Closed, so the next connect works.
    client->connectToHost();
    QVERIFY(client->isConnected());
}

void TestFtpClient::changeDir_data()
{
    QTest::addColumn<QList<QByteArray>>("folders");
    QTest::addColumn<int>("code"); // of the last change, 0 when all succeed
    QTest::addColumn<QString>("logged"); // the last command line the server received

    QTest::newRow("program folder") << QList<QByteArray> { "Sorvanta", "Kavrin" } << 0 << "CWD Kavrin";
    QTest::newRow("missing folder") << QList<QByteArray> { "Nowhere" } << 550 << "CWD Nowhere";
    QTest::newRow("spaces sent unchanged") << QList<QByteArray> { "Sorvanta", " Kavrin " } << 550 << "CWD  Kavrin ";
    QTest::newRow("a file is no folder") << QList<QByteArray> { "Sorvanta", "Kavrin", "f.txt" } << 550 << "CWD f.txt";
}

void TestFtpClient::changeDir()
{
    QFETCH(QList<QByteArray>, folders);
    QFETCH(int, code);
    QFETCH(QString, logged);

    QVERIFY(writeFile(kavrinFolder() + "/f.txt", "x"));
    auto client = connected();
    int failed = 0;
    try {
        for (const QByteArray& folder : folders)
            client->changeDir(folder);
    } catch (const FtpError& e) {
        failed = e.code();
    }
    QCOMPARE(failed, code);
    QVERIFY(client->isConnected()); // a refused change leaves the connection open
    QCOMPARE(newCommands().last(), logged);
}

void TestFtpClient::listGivesTheServersLines()
{
    const QStringList names { "12345678_a.xml", "Uvozeno-12345678_b.xml", "with space.txt" };
    for (const QString& name : names)
        QVERIFY(writeFile(kavrinFolder() + '/' + name, "data"));
    auto client = connected();
    client->changeDir("Sorvanta");
    client->changeDir("Kavrin");
    qint64 lastCount = -1;
    int events = 0;
    connect(client.get(), &FtpClient::work, this, [&](FtpClient::WorkMode mode, qint64 count) {
        QCOMPARE(mode, FtpClient::WorkMode::Read);
        lastCount = count;
        ++events;
    });
    const QList<QByteArray> lines = client->list();
    QCOMPARE(lines.size(), names.size());
    QStringList found;
    qint64 bytes = 0;
    for (const QByteArray& line : lines) {
        QVERIFY2(line.startsWith('-'), line.constData()); // detailed listing, unparsed
        found.append(QString::fromUtf8(line).section(QRegularExpression("\\d\\d:\\d\\d |\\d{4} "), -1));
        bytes += line.size() + 2;
    }
    found.sort();
    QCOMPARE(found, names);
    QVERIFY(events >= 1);
    QCOMPARE(lastCount, bytes);
    QVERIFY(newCommands().contains("LIST"));

    client->changeDir("..");
    const QList<QByteArray> parent = client->list();
    QCOMPARE(parent.size(), 1);
    QVERIFY(parent.first().endsWith(" Kavrin"));
}

void TestFtpClient::size_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("file") << QByteArray("Sorvanta/Kavrin/f.bin") << qint64(12345);
    QTest::newRow("empty file") << QByteArray("Sorvanta/Kavrin/empty.bin") << qint64(0);
    QTest::newRow("missing file") << QByteArray("Sorvanta/Kavrin/none.bin") << qint64(-1);
    QTest::newRow("folder") << QByteArray("Sorvanta") << qint64(-1);
}

void TestFtpClient::size()
{
    QFETCH(QByteArray, name);
    QFETCH(qint64, expected);
    QVERIFY(writeFile(kavrinFolder() + "/f.bin", randomBytes(12345)));
    QVERIFY(writeFile(kavrinFolder() + "/empty.bin", {}));
    auto client = connected();
    QCOMPARE(client->size(name), expected);
    QVERIFY(client->isConnected());
    QCOMPARE(newCommands().last(), "SIZE " + QString::fromUtf8(name));
}

void TestFtpClient::retrieveExactBytes_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("empty") << qsizetype(0);
    QTest::newRow("one byte") << qsizetype(1);
    QTest::newRow("several blocks") << qsizetype(5 * 1024 * 1024 + 17);
}

void TestFtpClient::retrieveExactBytes()
{
    QFETCH(qsizetype, size);
    const QByteArray bytes = randomBytes(size);
    QVERIFY(writeFile(kavrinFolder() + "/12345678_x.xml", bytes));
    auto client = connected();
    client->changeDir("Sorvanta");
    QList<qint64> counts;
    connect(client.get(), &FtpClient::work, this, [&](FtpClient::WorkMode mode, qint64 count) {
        QCOMPARE(mode, FtpClient::WorkMode::Read);
        counts.append(count);
    });
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QCOMPARE(client->retrieve("Kavrin/12345678_x.xml", sink), qint64(size));
    QVERIFY(sink.data() == bytes);
    if (size == 0) {
        QVERIFY(counts.isEmpty());
    } else {
        QVERIFY(counts.first() > 0);
        QCOMPARE(counts.last(), qint64(size));
        QVERIFY(std::is_sorted(counts.begin(), counts.end()));
    }
    // The connection serves the next command.
    QCOMPARE(client->size("Kavrin/12345678_x.xml"), qint64(size));
    QVERIFY(newCommands().contains("RETR Kavrin/12345678_x.xml"));
}

void TestFtpClient::storeThenRenameThenRemove()
{
    const QByteArray bytes = randomBytes(3 * 1024 * 1024 + 5);
    auto client = connected();
    client->changeDir("Sorvanta");
    client->changeDir("Kavrin");
    QList<qint64> counts;
    connect(client.get(), &FtpClient::work, this, [&](FtpClient::WorkMode mode, qint64 count) {
        QCOMPARE(mode, FtpClient::WorkMode::Write);
        counts.append(count);
    });
    QBuffer source;
    source.setData(bytes);
    source.open(QIODevice::ReadOnly);
    client->store(source, "12345678_up.xml");
    QFile stored(kavrinFolder() + "/12345678_up.xml");
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QVERIFY(stored.readAll() == bytes);
    stored.close();
    QVERIFY(!counts.isEmpty());
    QCOMPARE(counts.last(), qint64(bytes.size()));

    // Storing again replaces, never appends.
    QBuffer small;
    small.setData("short");
    small.open(QIODevice::ReadOnly);
    client->store(small, "12345678_up.xml");
    QCOMPARE(QFileInfo(stored).size(), 5);

    client->rename("12345678_up.xml", "Uvozeno-12345678_up.xml");
    QVERIFY(!QFile::exists(stored.fileName()));
    QVERIFY(QFile::exists(kavrinFolder() + "/Uvozeno-12345678_up.xml"));
    try {
        client->rename("missing.xml", "other.xml");
        QFAIL("renamed a missing file");
    } catch (const FtpError& e) {
        QCOMPARE(e.code(), 550);
    }
    QVERIFY(!newCommands().contains("RNTO other.xml")); // RNFR was refused

    client->remove("Uvozeno-12345678_up.xml");
    QVERIFY(!QFile::exists(kavrinFolder() + "/Uvozeno-12345678_up.xml"));
    try {
        client->remove("Uvozeno-12345678_up.xml");
        QFAIL("removed a missing file");
    } catch (const FtpError& e) {
        QCOMPARE(e.code(), 550);
    }
    QVERIFY(client->isConnected());
    const QStringList sent = newCommands();
    QVERIFY(sent.contains("STOR 12345678_up.xml"));
    QVERIFY(!sent.contains("APPE 12345678_up.xml"));
}

void TestFtpClient::setBinaryOnlyWhenNeeded()
{
    auto client = connected();
    m_seen = m_server->commands().size();
    client->setBinary();
    client->changeDir("Sorvanta");
    QCOMPARE(newCommands(), QStringList { "CWD Sorvanta" });
}

void TestFtpClient::disconnectedClientRefuses()
{
    auto client = connected();
    client->disconnectFromHost();
    QVERIFY(!client->isConnected());
    client->disconnectFromHost(); // nothing on a closed connection
    m_seen = m_server->commands().size();
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QVERIFY_THROWS_EXCEPTION(FtpError, client->changeDir("Sorvanta"));
    QVERIFY_THROWS_EXCEPTION(FtpError, client->list());
    QVERIFY_THROWS_EXCEPTION(FtpError, client->size("x"));
    QVERIFY_THROWS_EXCEPTION(FtpError, client->retrieve("x", sink));
    QVERIFY_THROWS_EXCEPTION(FtpError, client->setBinary());
    QVERIFY(!client->isBusy());
    client->connectToHost();
    client->changeDir("Sorvanta");
    QCOMPARE(newCommands(), (QStringList { "USER kavrin", "PASS ****", "TYPE I", "SYST", "CWD Sorvanta" }));
}

void TestFtpClient::neverQuit()
{
    {
        auto closedByCall = connected();
        closedByCall->disconnectFromHost();
        auto closedByDestructor = connected();
        closedByDestructor->changeDir("Sorvanta");
    }
    // One more session, so the server has surely read whatever the others sent.
    auto last = connected();
    last->changeDir("Sorvanta");
    const QStringList all = m_server->commands();
    QVERIFY(all.size() > 10);
    for (const QString& line : all)
        QVERIFY2(!line.startsWith("QUIT", Qt::CaseInsensitive), qPrintable(line));
}

void TestFtpClient::silentGreetingFault()
{
    FtpTestServer server(m_root.path());
    server.setFaults(QStringLiteral("silent_greeting=1"));
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    FtpClient client;
    client.setProfile(server.profile(300));
    try {
        client.connectToHost();
        QFAIL("the first session was greeted");
    } catch (const FtpError& e) {
        QCOMPARE(e.text(), QStringLiteral("Read timed out."));
    }
    QVERIFY(!client.isConnected());
    client.setProfile(server.profile());
    client.connectToHost(); // only the first session is silent
    QVERIFY(client.isConnected());
}

QTEST_GUILESS_MAIN(TestFtpClient)
#include "TestFtpClient.moc"
