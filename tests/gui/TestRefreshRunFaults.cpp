// The refresh run against a local server that misbehaves, and a transfer folder that
// refuses files: whatever goes wrong for one client, no file is lost or half written,
// nothing that did not arrive whole is deleted from the server, and the run goes on.
#include "KavrinOsnovaForm.h"
#include "PrenosNaFTPForm.h"
#include "support/Files.h"
#include "support/MessageBoxWatcher.h"
#include "support/gui/RefreshRunRig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace {

// Short, so that the silent rows take seconds; the bounds below are derived from it.
constexpr int replyTimeoutMs = 1500;

QString transferFolder()
{
    return RefreshRunRig::transferFolder();
}

QToolButton* button(QWidget* window, const char* name)
{
    return window->findChild<QToolButton*>(QString::fromLatin1(name));
}

} // namespace

class TestRefreshRunFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void aFaultInOneClientsStepKeepsItsFileAndServesTheNext_data();
    void aFaultInOneClientsStepKeepsItsFileAndServesTheNext();
    void refusedDeleteKeepsBothCopiesUntilALaterRun();
    void unwritableTransferFolderDeletesNothing();

private:
    void serve(const QString& name, const QByteArray& bytes) { QVERIFY(m_rig->serve(name, bytes)); }
    void startServer(const QString& faults = {});
    void startProgram(const QList<BookRow>& clients) { QVERIFY(m_rig->startProgram(clients, replyTimeoutMs)); }
    // Runs Osveži; a step that outlives every time limit is ended with Zapri, so that a
    // broken limit fails the test instead of hanging it.
    qint64 osvezi();
    QString remote() const { return m_rig->remote(); }
    QStringList commands(const QString& pattern) const { return m_rig->commands(pattern); }

    std::unique_ptr<RefreshRunRig> m_rig;
};

void TestRefreshRunFaults::init()
{
    m_rig = std::make_unique<RefreshRunRig>();
}

void TestRefreshRunFaults::cleanup()
{
    m_rig.reset();
}

void TestRefreshRunFaults::startServer(const QString& faults)
{
    QString error;
    QVERIFY2(m_rig->startServer(faults, &error), qPrintable(error));
}

qint64 TestRefreshRunFaults::osvezi()
{
    QTimer watchdog;
    QPointer<TPrenosNaFTP> watched;
    QElapsedTimer stepClock;
    connect(&watchdog, &QTimer::timeout, this, [&] {
        if (TPrenosNaFTP::current() != watched) {
            watched = TPrenosNaFTP::current();
            stepClock.start();
        } else if (watched && !watched->isReleased() && stepClock.elapsed() > 20000) {
            QTest::mouseClick(button(watched, "AdvGlowButton1"), Qt::LeftButton);
        }
    });
    watchdog.start(100);
    QElapsedTimer clock;
    clock.start();
    m_rig->clickOsvezi();
    return clock.elapsed();
}

void TestRefreshRunFaults::aFaultInOneClientsStepKeepsItsFileAndServesTheNext_data()
{
    QTest::addColumn<QString>("faults");
    QTest::newRow("short transfer, then 226") << "short_retr=1";
    QTest::newRow("data connection cut off, 426") << "cut_retr=1";
    QTest::newRow("control connection dropped mid-transfer") << "drop_in_retr=1";
    QTest::newRow("no answer to RETR") << "silent_retr=1";
    QTest::newRow("no greeting") << "silent_greeting=1";
}

void TestRefreshRunFaults::aFaultInOneClientsStepKeepsItsFileAndServesTheNext()
{
    QFETCH(QString, faults);
    const QByteArray served = randomBytes(512 * 1024);
    const QByteArray earlier("an earlier copy of the file");
    serve(QStringLiteral("11111111_a.bin"), served);
    serve(QStringLiteral("33333333_c.xml"), "<c/>");
    startServer(faults);
    startProgram({ { 0, QStringLiteral("11111111"), QStringLiteral("Ana"), true },
                   { 0, QStringLiteral("33333333"), QStringLiteral("Cene"), true } });
    QVERIFY(writeFile(transferFolder() + QStringLiteral("/11111111_a.bin"), earlier));

    MessageBoxWatcher boxes;
    const qint64 elapsed = osvezi();
    QVERIFY(!m_rig->window().isRefreshing());
    // One silent wait at most for the faulty step, a few seconds for the rest of the run.
    QVERIFY2(elapsed < 2 * replyTimeoutMs + 5000, qPrintable(QString::number(elapsed)));

    QCOMPARE(readFile(transferFolder() + QStringLiteral("/11111111_a.bin")), earlier);
    QCOMPARE(readFile(remote() + QStringLiteral("/11111111_a.bin")), served);
    QVERIFY(commands(QStringLiteral("^DELE 11111111")).isEmpty());
    // The next client gets its file; no part file is left.
    QCOMPARE(fileNames(transferFolder()),
             QStringList({ QStringLiteral("11111111_a.bin"), QStringLiteral("33333333_c.xml") }));
    QVERIFY(!QFile::exists(remote() + QStringLiteral("/33333333_c.xml")));
    QVERIFY2(boxes.boxes().isEmpty(), qPrintable(boxes.texts().join(QLatin1Char('\n'))));
}

void TestRefreshRunFaults::refusedDeleteKeepsBothCopiesUntilALaterRun()
{
    const QMap<QString, QByteArray> served { { QStringLiteral("11111111_a.xml"), "<a/>" },
                                             { QStringLiteral("11111111_b.xml"), "<b/>" } };
    for (auto it = served.begin(); it != served.end(); ++it)
        serve(it.key(), it.value());
    startServer(QStringLiteral("refuse_dele=1"));
    startProgram({ { 0, QStringLiteral("11111111"), QStringLiteral("Ana"), true } });
    MessageBoxWatcher boxes;

    osvezi();
    const QStringList deletes = commands(QStringLiteral("^DELE "));
    QCOMPARE(deletes.size(), 2);
    const QString refused = deletes.first().mid(5);
    const QString other = deletes.last().mid(5);
    QCOMPARE(readFile(transferFolder() + QLatin1Char('/') + refused), served.value(refused));
    QCOMPARE(readFile(remote() + QLatin1Char('/') + refused), served.value(refused));
    // The refusal ends nothing: the client's other file is fetched and deleted.
    QCOMPARE(readFile(transferFolder() + QLatin1Char('/') + other), served.value(other));
    QVERIFY(!QFile::exists(remote() + QLatin1Char('/') + other));

    // The maker puts out a newer version meanwhile; the next run replaces the local copy.
    serve(refused, "<novejša/>");
    osvezi();
    QCOMPARE(readFile(transferFolder() + QLatin1Char('/') + refused), QByteArray("<novejša/>"));
    QVERIFY(!QFile::exists(remote() + QLatin1Char('/') + refused));
    QCOMPARE(fileNames(transferFolder()), QStringList(served.keys()));
    QCOMPARE(commands(QStringLiteral("^DELE ")).size(), 3);
    QVERIFY(boxes.boxes().isEmpty());
}

void TestRefreshRunFaults::unwritableTransferFolderDeletesNothing()
{
    // Tests run as root, whom permission bits do not stop. A plain file in the folder's
    // place refuses every file made inside it (ENOTDIR) at the same point where a read-only
    // folder refuses an ordinary user (EACCES): when the download opens its local file.
    const QByteArray occupant("not a folder");
    QVERIFY(writeFile(transferFolder(), occupant));
    serve(QStringLiteral("11111111_a.xml"), "<a/>");
    serve(QStringLiteral("33333333_c.xml"), "<c/>");
    startServer();
    startProgram({ { 0, QStringLiteral("11111111"), QStringLiteral("Ana"), true },
                   { 0, QStringLiteral("33333333"), QStringLiteral("Cene"), true } });

    osvezi();
    QVERIFY(!m_rig->window().isRefreshing());
    QCOMPARE(commands(QStringLiteral("^USER ")).size(), 2);
    QVERIFY(commands(QStringLiteral("^DELE ")).isEmpty());
    QCOMPARE(fileNames(remote()), QStringList({ QStringLiteral("11111111_a.xml"), QStringLiteral("33333333_c.xml") }));
    QCOMPARE(readFile(transferFolder()), occupant);

    // The download itself says so.
    auto* window = new TPrenosNaFTP(m_rig->server().profile(replyTimeoutMs));
    const QPointer<TPrenosNaFTP> guard(window);
    QVERIFY(window->VzpostaviPovezavo(QStringLiteral("Kavrin")));
    QVERIFY(!window->PotegniDatoteko(QStringLiteral("11111111_a.xml"), transferFolder(), QString()));
    QVERIFY(QFile::exists(remote() + QStringLiteral("/11111111_a.xml")));
    delete guard.data();
}

QTEST_MAIN(TestRefreshRunFaults)
#include "TestRefreshRunFaults.moc"
