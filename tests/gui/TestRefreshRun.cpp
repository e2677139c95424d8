#include "KavrinOsnovaForm.h"
#include "PrenosNaFTPForm.h"
#include "support/Files.h"
#include "support/MessageBoxWatcher.h"
#include "support/gui/RefreshRunRig.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTimer>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace {

// Lets the windows that closed go, as the event loop does after a run.
void passThroughEventLoop()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString transferFolder()
{
    return RefreshRunRig::transferFolder();
}

} // namespace

class TestRefreshRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void fetchesEveryActiveClientsFilesAndRemovesThem();
    void filesThatCannotBeWrittenHereStayOnTheServer();
    void aFailedConnectionDoesNotStopTheNextClient();
    void aListingErrorEndsTheRunAndKeepsItsWindow();
    void zapriOfTheTransferWindowEndsOnlyThatClientsStep_data();
    void zapriOfTheTransferWindowEndsOnlyThatClientsStep();
    void clicksDuringARunStartNothingAndCloseAfterIt();

private:
    void serveFiles(const QMap<QString, QByteArray>& files);
    void startServer(const QString& faults = {});
    void startProgram(const QList<BookRow>& clients);
    void osvezi() { m_rig->clickOsvezi(); }
    QString remote() const { return m_rig->remote(); }
    TKavrinOsnova* window() const { return &m_rig->window(); }
    int logins() const { return int(m_rig->commands(QStringLiteral("^USER ")).size()); }

    std::unique_ptr<RefreshRunRig> m_rig;
    QMap<QString, QByteArray> m_served;
};

void TestRefreshRun::init()
{
    m_rig = std::make_unique<RefreshRunRig>();
    m_served.clear();
}

void TestRefreshRun::cleanup()
{
    m_rig.reset();
}

void TestRefreshRun::serveFiles(const QMap<QString, QByteArray>& files)
{
    for (auto it = files.begin(); it != files.end(); ++it) {
        QVERIFY(m_rig->serve(it.key(), it.value()));
        m_served.insert(it.key(), it.value());
    }
}

void TestRefreshRun::startServer(const QString& faults)
{
    QString error;
    QVERIFY2(m_rig->startServer(faults, &error), qPrintable(error));
}

void TestRefreshRun::startProgram(const QList<BookRow>& clients)
{
    QVERIFY(m_rig->startProgram(clients, 2000));
}

void TestRefreshRun::fetchesEveryActiveClientsFilesAndRemovesThem()
{
    const QByteArray large = randomBytes(3 * 1024 * 1024);
    serveFiles({{QStringLiteral("11111111_a.xml"), "<a/>"}, {QStringLiteral("11111111_velika.bin"), large},
        {QStringLiteral("22222222_x.xml"), "<neaktiven/>"}, {QStringLiteral("33333333_c.xml"), "<c/>"},
        {QStringLiteral("Uvozeno-33333333_star.xml"), "<uvozeno/>"}, {QStringLiteral("99999999_z.xml"), "<nihce/>"},
        {QStringLiteral("44444444_d.xml"), "<d/>"}});
    startServer();
    startProgram({{0, QStringLiteral("11111111"), QStringLiteral("Ana"), true},
        {0, QStringLiteral("22222222"), QStringLiteral("Bor"), false},
        {0, QStringLiteral("33333333"), QStringLiteral("Cene"), true},
        {0, QStringLiteral("44444444"), QStringLiteral("Dani"), true}});

    osvezi();
    QVERIFY(!window()->isRefreshing());
    const QStringList fetched {QStringLiteral("11111111_a.xml"), QStringLiteral("11111111_velika.bin"),
        QStringLiteral("33333333_c.xml"), QStringLiteral("44444444_d.xml")};
    QCOMPARE(fileNames(transferFolder()), fetched);
    for (const QString& name : fetched) {
        QCOMPARE(readFile(transferFolder() + QLatin1Char('/') + name), m_served.value(name));
        QVERIFY2(!QFile::exists(remote() + QLatin1Char('/') + name), qPrintable(name));
    }
    QCOMPARE(fileNames(remote()),
        QStringList({QStringLiteral("22222222_x.xml"), QStringLiteral("99999999_z.xml"),
            QStringLiteral("Uvozeno-33333333_star.xml")}));
    QCOMPARE(logins(), 3);
    QVERIFY(m_rig->commands(QStringLiteral("^QUIT")).isEmpty());

    // The cursor ends on the last client, and the file list shows its files as they now are.
    QCOMPARE(window()->Stranke.currentRow(), 3);
    const auto* fileList = window()->findChild<QListWidget*>(QStringLiteral("FileListBox1"));
    QCOMPARE(fileList->count(), 1);
    QCOMPARE(fileList->item(0)->text(), QStringLiteral("44444444_d.xml"));
    passThroughEventLoop();
    QVERIFY(!TPrenosNaFTP::current());
}

void TestRefreshRun::filesThatCannotBeWrittenHereStayOnTheServer()
{
    // A name that would lead out of the transfer folder, and one that a folder occupies here.
    serveFiles({{QStringLiteral("11111111_..\\..\\ven.xml"), "<ven/>"}, {QStringLiteral("11111111_zaseden.xml"), "<z/>"},
        {QStringLiteral("11111111_dober.xml"), "<d/>"}});
    QVERIFY(QDir().mkpath(transferFolder() + QStringLiteral("/11111111_zaseden.xml")));
    startServer();
    startProgram({{0, QStringLiteral("11111111"), QStringLiteral("Ana"), true}});
    osvezi();
    QCOMPARE(fileNames(remote()),
        QStringList({QStringLiteral("11111111_..\\..\\ven.xml"), QStringLiteral("11111111_zaseden.xml")}));
    QCOMPARE(fileNames(transferFolder()), QStringList({QStringLiteral("11111111_dober.xml")}));
}

void TestRefreshRun::aFailedConnectionDoesNotStopTheNextClient()
{
    serveFiles({{QStringLiteral("11111111_a.xml"), "<a/>"}, {QStringLiteral("33333333_c.xml"), "<c/>"}});
    startServer(QStringLiteral("refuse_login=1"));
    startProgram({{0, QStringLiteral("11111111"), QStringLiteral("Ana"), true},
        {0, QStringLiteral("33333333"), QStringLiteral("Cene"), true}});
    MessageBoxWatcher boxes;
    osvezi();
    QCOMPARE(fileNames(transferFolder()), QStringList({QStringLiteral("33333333_c.xml")}));
    QVERIFY(QFile::exists(remote() + QStringLiteral("/11111111_a.xml")));
    QVERIFY(boxes.boxes().isEmpty());
}

void TestRefreshRun::aListingErrorEndsTheRunAndKeepsItsWindow()
{
    serveFiles({{QStringLiteral("11111111_a.xml"), "<a/>"}, {QStringLiteral("33333333_c.xml"), "<c/>"},
        {QStringLiteral("44444444_d.xml"), "<d/>"}, {QStringLiteral("55555555_e.xml"), "<e/>"}});
    startServer(QStringLiteral("refuse_list=3"));
    startProgram({{0, QStringLiteral("11111111"), QStringLiteral("Ana"), true},
        {0, QStringLiteral("33333333"), QStringLiteral("Cene"), true},
        {0, QStringLiteral("44444444"), QStringLiteral("Dani"), true},
        {0, QStringLiteral("55555555"), QStringLiteral("Eva"), true}});
    MessageBoxWatcher boxes;
    osvezi();
    QCOMPARE(fileNames(transferFolder()), QStringList({QStringLiteral("11111111_a.xml"), QStringLiteral("33333333_c.xml")}));
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(window()->Stranke.currentRow(), 2);
    QCOMPARE(logins(), 3);
    passThroughEventLoop();
    const QPointer<TPrenosNaFTP> left = TPrenosNaFTP::current();
    QVERIFY(left && left->isVisible() && !left->isReleased());
    // The grid follows the client list again.
    QVERIFY(window()->findChild<QWidget*>(QStringLiteral("DBAdvGrid1"))->isEnabled());
    QVERIFY(!window()->Stranke.controlsDisabled());

    QTest::mouseClick(left->findChild<QToolButton*>(QStringLiteral("AdvGlowButton1")), Qt::LeftButton);
    passThroughEventLoop();
    QVERIFY(!left);
}

void TestRefreshRun::zapriOfTheTransferWindowEndsOnlyThatClientsStep_data()
{
    QTest::addColumn<QString>("faults");
    QTest::newRow("stalled connect") << "silent_greeting=1";
    QTest::newRow("download") << "";
}

void TestRefreshRun::zapriOfTheTransferWindowEndsOnlyThatClientsStep()
{
    QFETCH(QString, faults);
    serveFiles({{QStringLiteral("11111111_a.bin"), QByteArray(40 * 1024 * 1024, 'a')},
        {QStringLiteral("33333333_c.xml"), "<c/>"}});
    startServer(faults);
    startProgram({{0, QStringLiteral("11111111"), QStringLiteral("Ana"), true},
        {0, QStringLiteral("33333333"), QStringLiteral("Cene"), true}});

    // Zapri as soon as the first window works: on its first block of data, or while its
    // greeting does not come.
    QMetaObject::Connection onWork;
    QTimer watcher;
    bool clicked = false;
    const auto zapri = [&] {
        if (clicked || !TPrenosNaFTP::current())
            return;
        clicked = true;
        QTest::mouseClick(TPrenosNaFTP::current()->findChild<QToolButton*>(QStringLiteral("AdvGlowButton1")),
            Qt::LeftButton);
    };
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (!faults.isEmpty()) {
            zapri();
        } else if (TPrenosNaFTP::current() && !onWork) {
            onWork = connect(&TPrenosNaFTP::current()->IdFTP1, &kavrin::ftp::FtpClient::work, this, zapri);
        }
    });
    watcher.start(faults.isEmpty() ? 1 : 300);

    QElapsedTimer clock;
    clock.start();
    osvezi();
    QVERIFY(clicked);
    QVERIFY2(clock.elapsed() < 8000, "the cut-off step must not wait for a time limit");
    QCOMPARE(fileNames(transferFolder()), QStringList({QStringLiteral("33333333_c.xml")}));
    QVERIFY(QFile::exists(remote() + QStringLiteral("/11111111_a.bin")));
    QVERIFY(!QFile::exists(remote() + QStringLiteral("/33333333_c.xml")));
}

void TestRefreshRun::clicksDuringARunStartNothingAndCloseAfterIt()
{
    serveFiles({{QStringLiteral("11111111_a.bin"), QByteArray(8 * 1024 * 1024, 'a')},
        {QStringLiteral("33333333_c.xml"), "<c/>"}});
    startServer();
    startProgram({{0, QStringLiteral("11111111"), QStringLiteral("Ana"), true},
        {0, QStringLiteral("33333333"), QStringLiteral("Cene"), true}});

    bool done = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (done || !TPrenosNaFTP::current())
            return;
        done = true;
        osvezi();                        // disabled while the run goes on
        window()->AdvGlowButton11Click(); // and refused when reached another way
        QTest::mouseClick(window()->findChild<QToolButton*>(QStringLiteral("AdvGlowButton3")), Qt::LeftButton);
        QTest::mouseClick(window()->findChild<QToolButton*>(QStringLiteral("AdvGlowButton2")), Qt::LeftButton);
    });
    watcher.start(1);
    MessageBoxWatcher boxes;
    osvezi();
    QVERIFY(done);
    QCOMPARE(logins(), 2);
    QCOMPARE(fileNames(transferFolder()), QStringList({QStringLiteral("11111111_a.bin"), QStringLiteral("33333333_c.xml")}));
    QCOMPARE(window()->Stranke.recordCount(), 2);
    // Zapri during the run: the window stayed until the run was done, then it closed and
    // the program ends with exit code 0.
    QVERIFY(!window()->isVisible());
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(3); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

QTEST_MAIN(TestRefreshRun)
#include "TestRefreshRun.moc"
