#include "PrenosNaFTPForm.h"
#include "support/Files.h"
#include "support/FtpTestServer.h"
#include "support/ScriptedFtpServer.h"
#include "support/StoreBook.h"
#include "support/WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

Q_DECLARE_METATYPE(ScriptedFtpServer::Step)

namespace {

const QString taxNumber = QStringLiteral("12345678");



QStringList scratchList(TPrenosNaFTP& window)
{
    QStringList names;
    for (window.Fajli.first(); !window.Fajli.eof(); window.Fajli.next())
        names.append(window.Fajli.fieldText(QStringLiteral("NAZIV1")));
    return names;
}

// Frees what closing released, as the next pass through the event loop does.
void passThroughEventLoop()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestTransferWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectEntersTheProgramFolder_data();
    void connectEntersTheProgramFolder();
    void failedLoginsCloseTheConnection();
    void missingMakerFolderLeavesTheConnectionOpen();
    void listingKeepsOnlyTheClientsFiles();
    void downloadReplacesTheLocalFile();
    void downloadRefusesNamesThatLeaveTheFolder_data();
    void downloadRefusesNamesThatLeaveTheFolder();
    void failedDownloadsLeaveTheLocalCopyWhole_data();
    void failedDownloadsLeaveTheLocalCopyWhole();
    void downloadWithoutASize();
    void uploadAndRename();
    void zapriCutsOffAStalledListing();

private:
    TPrenosNaFTP* window(const kavrin::ftp::ConnectionProfile& profile);
    QString remoteFolder() const { return m_serverRoot->path() + QStringLiteral("/Sorvanta/Kavrin"); }

    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<StoreBook> m_book;
    std::unique_ptr<QTemporaryDir> m_serverRoot;
    std::unique_ptr<FtpTestServer> m_server;
    QPointer<TPrenosNaFTP> m_window;
};

void TestTransferWindow::init()
{
    m_folder = std::make_unique<WorkingFolder>();
    m_book = std::make_unique<StoreBook>();
    m_book->start();
    m_serverRoot = std::make_unique<QTemporaryDir>();
    QVERIFY(FtpTestServer::makeProgramFolder(m_serverRoot->path()));
    m_server = std::make_unique<FtpTestServer>(m_serverRoot->path());
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
}

void TestTransferWindow::cleanup()
{
    delete m_window.data();
    m_server.reset();
    m_serverRoot.reset();
    m_book.reset();
    m_folder.reset();
}

TPrenosNaFTP* TestTransferWindow::window(const kavrin::ftp::ConnectionProfile& profile)
{
    m_window = new TPrenosNaFTP(profile, profile);
    m_window->show();
    return m_window;
}

void TestTransferWindow::connectEntersTheProgramFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QStringList>("cwds");
    QTest::newRow("program folder") << "Kavrin" << true << QStringList {"CWD Sorvanta", "CWD Kavrin"};
    QTest::newRow("empty") << "" << true << QStringList {"CWD Sorvanta"};
    QTest::newRow("blanks") << "   " << true << QStringList {"CWD Sorvanta"};
    QTest::newRow("padded, sent unchanged") << " Kavrin " << false << QStringList {"CWD Sorvanta", "CWD  Kavrin "};
}

void TestTransferWindow::connectEntersTheProgramFolder()
{
    QFETCH(QString, folder);
    QFETCH(bool, connected);
    QFETCH(QStringList, cwds);
    TPrenosNaFTP* w = window(m_server->profile());
    QCOMPARE(w->VzpostaviPovezavo(folder), connected);
    QVERIFY(w->IdFTP1.isConnected()); // a refused folder leaves the connection open
    QStringList sent;
    for (const QString& command : m_server->commands()) {
        if (command.startsWith(QLatin1String("CWD")))
            sent.append(command);
    }
    QCOMPARE(sent, cwds);
    QVERIFY(m_server->commands().contains(QStringLiteral("TYPE I")));
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("EllipsLabel19"))->text(), QStringLiteral("Vzpostavljam povezavo..."));

    w->close();
    QVERIFY(w->isReleased());
    passThroughEventLoop();
    QVERIFY(!m_window); // freed, and with it the connection, without a log-out
    QTRY_VERIFY(m_server->commands().size() >= cwds.size());
    QVERIFY(!m_server->commands().contains(QStringLiteral("QUIT")));
}

void TestTransferWindow::failedLoginsCloseTheConnection()
{
    kavrin::ftp::ConnectionProfile wrong = m_server->profile();
    wrong.password = QStringLiteral("napačno");
    TPrenosNaFTP* w = window(wrong);
    QVERIFY(!w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(!w->IdFTP1.isConnected());
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("EllipsLabel19"))->text(), QStringLiteral("Vzpostavljam povezavo..."));

    // Connecting on an open connection fails and closes it.
    TPrenosNaFTP* second = window(m_server->profile());
    QVERIFY(second->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(!second->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(!second->IdFTP1.isConnected());
    delete w;
}

void TestTransferWindow::missingMakerFolderLeavesTheConnectionOpen()
{
    QVERIFY(QDir(m_serverRoot->path() + QStringLiteral("/Sorvanta")).removeRecursively());
    TPrenosNaFTP* w = window(m_server->profile());
    QVERIFY(!w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(w->IdFTP1.isConnected());
    w->PrekiniPovezavo();
    QVERIFY(!w->IdFTP1.isConnected());
    w->PrekiniPovezavo(); // on a closed connection: nothing
    QVERIFY(!w->IdFTP1.isConnected());
}

void TestTransferWindow::listingKeepsOnlyTheClientsFiles()
{
    for (const char* name : {"12345678_b.xml", "12345678_A.xml", "Uvozeno-12345678_c.xml", "racun_12345678.xml",
             "87654321_d.xml"})
        QVERIFY(writeFile(remoteFolder() + QLatin1Char('/') + QLatin1String(name), "x"));
    TPrenosNaFTP* w = window(m_server->profile());
    w->ListaDatotekNaFtp(taxNumber); // not connected yet: nothing but the holder
    QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(), taxNumber);
    QVERIFY(!m_server->commands().contains(QStringLiteral("LIST")));

    QVERIFY(w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    w->Fajli.setActive(true);
    w->ListaDatotekNaFtp(taxNumber);
    // In the raw listing's order, case ignored; the rest of a line from the tax number on.
    QCOMPARE(scratchList(*w),
        QStringList({QStringLiteral("12345678_A.xml"), QStringLiteral("12345678_b.xml"), QStringLiteral("12345678.xml")}));
    QCOMPARE(w->findChild<QListWidget*>(QStringLiteral("FileListBox1"))->count(), 5);
}

void TestTransferWindow::downloadReplacesTheLocalFile()
{
    QByteArray bytes(300000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    QVERIFY(writeFile(remoteFolder() + QStringLiteral("/12345678_x.xml"), bytes));
    const QString local = m_folder->file(QStringLiteral("Prenosi"));
    QVERIFY(QDir().mkpath(local));
    QVERIFY(writeFile(local + QStringLiteral("/12345678_x.xml"), "an older copy"));

    TPrenosNaFTP* w = window(m_server->profile());
    QVERIFY(!w->PotegniDatoteko(QStringLiteral("12345678_x.xml"), local, QString())); // not connected
    QVERIFY(w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(w->PotegniDatoteko(QStringLiteral("12345678_x.xml"), local, QString()));
    QCOMPARE(readFile(local + QStringLiteral("/12345678_x.xml")), bytes);
    QCOMPARE(QDir(local).entryList(QDir::Files | QDir::Hidden), QStringList({QStringLiteral("12345678_x.xml")}));
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("EllipsLabel19"))->text(), QStringLiteral("Podatki skopirani na računalo!"));
    const auto* bar = w->findChild<QProgressBar*>(QStringLiteral("AdvProgressBar1"));
    QCOMPARE(bar->maximum(), bytes.size());
    QCOMPARE(bar->value(), bytes.size());
    QVERIFY(m_server->commands().contains(QStringLiteral("SIZE 12345678_x.xml")));
}

void TestTransferWindow::downloadRefusesNamesThatLeaveTheFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../12345678_x.xml";
    QTest::newRow("slash") << "sub/12345678_x.xml";
    QTest::newRow("backslash") << "..\\12345678_x.xml";
    QTest::newRow("dot dot") << "..";
    QTest::newRow("control character") << "12345678\t.xml";
}

void TestTransferWindow::downloadRefusesNamesThatLeaveTheFolder()
{
    QFETCH(QString, name);
    const QString local = m_folder->file(QStringLiteral("Prenosi/inside"));
    QVERIFY(QDir().mkpath(local));
    QVERIFY(writeFile(remoteFolder() + QStringLiteral("/12345678_x.xml"), "x"));
    TPrenosNaFTP* w = window(m_server->profile());
    QVERIFY(w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(!w->PotegniDatoteko(name, local, QString()));
    for (const QString& command : m_server->commands())
        QVERIFY2(!command.startsWith(QLatin1String("RETR")), qPrintable(command));
    QVERIFY(QDir(local).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QCOMPARE(QDir(m_folder->file(QStringLiteral("Prenosi"))).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestTransferWindow::failedDownloadsLeaveTheLocalCopyWhole_data()
{
    QTest::addColumn<QList<ScriptedFtpServer::Step>>("retr");
    using S = ScriptedFtpServer;
    QTest::newRow("refused") << QList<S::Step> {S::reply("550 No such file.")};
    QTest::newRow("short") << QList<S::Step> {S::reply("150 Here it comes."), S::sendData("only part"), S::closeData(),
        S::reply("226 Done.")};
    QTest::newRow("cut off") << QList<S::Step> {S::reply("150 Here it comes."), S::sendData("only part"),
        S::abortData(), S::reply("426 Connection closed; transfer aborted.")};
    QTest::newRow("control dropped") << QList<S::Step> {S::reply("150 Here it comes."), S::sendData("only"),
        S::dropControl()};
    QTest::newRow("silent after data") << QList<S::Step> {S::reply("150 Here it comes."), S::sendData("0123456789"),
        S::closeData()};
}

void TestTransferWindow::failedDownloadsLeaveTheLocalCopyWhole()
{
    QFETCH(QList<ScriptedFtpServer::Step>, retr);
    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.on("SIZE", {ScriptedFtpServer::reply("213 10")});
    server.on("RETR", retr);
    QVERIFY(writeFile(m_folder->file(QStringLiteral("12345678_x.xml")), "the earlier copy"));

    TPrenosNaFTP* w = window(server.profile(300));
    QVERIFY(w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(!w->PotegniDatoteko(QStringLiteral("12345678_x.xml"), m_folder->path(), QString()));
    QCOMPARE(readFile(m_folder->file(QStringLiteral("12345678_x.xml"))), QByteArray("the earlier copy"));
    QCOMPARE(QDir(m_folder->path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("EllipsLabel19"))->text(), QStringLiteral("Kopiram podatke v računalo."));
}

void TestTransferWindow::downloadWithoutASize()
{
    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.on("SIZE", {ScriptedFtpServer::reply("550 SIZE not allowed.")});
    server.on("RETR", {ScriptedFtpServer::reply("150 Here it comes."), ScriptedFtpServer::sendData("whole file"),
                          ScriptedFtpServer::closeData(), ScriptedFtpServer::reply("226 Done.")});
    TPrenosNaFTP* w = window(server.profile(2000));
    QVERIFY(w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(w->PotegniDatoteko(QStringLiteral("12345678_x.xml"), m_folder->path(), QString()));
    QCOMPARE(readFile(m_folder->file(QStringLiteral("12345678_x.xml"))), QByteArray("whole file"));
}

void TestTransferWindow::uploadAndRename()
{
    TPrenosNaFTP* w = window(m_server->profile());
    QVERIFY(w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY_THROWS_EXCEPTION(std::exception, w->SkopirajDatoteko(m_folder->file(QStringLiteral("missing.xml")), QString()));
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("EllipsLabel19"))->text(), QStringLiteral("Vzpostavljam povezavo..."));

    QVERIFY(writeFile(m_folder->file(QStringLiteral("12345678_u.xml")), "uploaded bytes"));
    QVERIFY(w->SkopirajDatoteko(m_folder->file(QStringLiteral("12345678_u.xml")), QString()));
    QCOMPARE(readFile(remoteFolder() + QStringLiteral("/12345678_u.xml")), QByteArray("uploaded bytes"));
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("EllipsLabel19"))->text(), QStringLiteral("Podatki skopirani na strežnik!"));
    QVERIFY(w->findChild<QLabel*>(QStringLiteral("EllipsLabel1"))->isHidden());

    w->PreimenujDatoteko(QStringLiteral("12345678_u.xml"), QString());
    QVERIFY(QFile::exists(remoteFolder() + QStringLiteral("/Uvozeno-12345678_u.xml")));
    w->Fajli.setActive(true);
    w->ListaDatotekNaFtp(taxNumber);
    QCOMPARE(scratchList(*w), QStringList());
}

void TestTransferWindow::zapriCutsOffAStalledListing()
{
    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.on("LIST", {}); // silence
    TPrenosNaFTP* w = window(server.profile(20000));
    QVERIFY(w->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    w->Fajli.setActive(true);
    const TPrenosNaFTP::Hold inUse = w->hold();
    QTimer::singleShot(100, w, [w] {
        QTest::mouseClick(w->findChild<QToolButton*>(QStringLiteral("AdvGlowButton1")), Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(std::exception, w->ListaDatotekNaFtp(taxNumber));
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(w->isReleased());
    QVERIFY(!w->IdFTP1.isConnected());
    passThroughEventLoop();
    QVERIFY(m_window); // still held
}

QTEST_MAIN(TestTransferWindow)
#include "TestTransferWindow.moc"
