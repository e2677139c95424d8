// The program's own work against curl doing the same on the same local server and files.
//
//   KavrinBench run [ROUNDS]        every benchmark, then one table
//   KavrinBench startup NS          one start of the main window in the working directory
//   KavrinBench book COUNT          a client book of COUNT clients in the working directory (to profile)
//   KavrinBench idle                the main window shown, nothing done: peak memory
//   KavrinBench download PORT DIR   the main window, then one download of big.bin into DIR
//
// The last three are the fresh processes that "run" starts for its rounds; each prints one
// line of numbers. Only 127.0.0.1 is ever contacted.

#include "KavrinApplication.h"
#include "KavrinOsnovaForm.h"
#include "PrenosNaFTPForm.h"
#include "support/FtpTestServer.h"
#include "support/StoreBook.h"
#include "text/Paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <unistd.h>
#include <vector>

using namespace kavrin;

namespace {

const QString user = QStringLiteral("kavrin");
const QString password = QStringLiteral("prenos-test");
constexpr qint64 bigFileSize = 512LL * 1024 * 1024;
constexpr int perClientClients = 100;
constexpr int perClientFolderFiles = 2000;
constexpr int smallFiles = 2000;
constexpr int smallFileSize = 4 * 1024;
constexpr int startupClients = 10000;
// Any one child process or curl run; a hang ends the round as a failure.
constexpr int processTimeoutMs = 10 * 60 * 1000;

// Ends the benchmark; main() reports it after the temporary folders and the server are gone.
[[noreturn]] void die(const QString& why)
{
    throw std::runtime_error(why.toStdString());
}

void progress(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Peak resident memory of this process so far, in KiB.
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

ftp::ConnectionProfile localProfile(quint16 port)
{
    ftp::ConnectionProfile profile;
    profile.host = QStringLiteral("127.0.0.1");
    profile.port = port;
    profile.user = user;
    profile.password = password;
    profile.connectTimeoutMs = 5000;
    profile.replyTimeoutMs = 30000;
    return profile;
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        die(QStringLiteral("cannot write %1").arg(path));
}

void removeFilesIn(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(name));
}

int fileCount(const QString& folder)
{
    return int(QDir(folder).entryList(QDir::Files | QDir::Hidden).size());
}

// Runs a program to its end; its wall time in seconds, or nothing when it failed.
std::optional<double> timeProcess(const QString& program, const QStringList& arguments,
                                  const QString& workingDirectory = {}, QByteArray* output = nullptr)
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setProcessChannelMode(output ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(processTimeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return seconds;
}

void pumpEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A client book in folder with count active clients, created by the program itself.
void makeBook(const QString& folder, int count, int firstNumber)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    {
        TKavrinOsnova creator(localProfile(1));
    }
    QDir::setCurrent(folder); // the window's file list has entered the transfer folder
    {
        StoreBook book(QStringLiteral("BENCHBOOK"));
        // One transaction: one write to the disk instead of one per row.
        QSqlDatabase connection = book.database().connection();
        connection.transaction();
        for (int i = 0; i < count; ++i) {
            book.exec(QStringLiteral("insert into book (davcna, naziv, aktiven) values (?, ?, ?)"),
                      { QString::number(firstNumber + i), QStringLiteral("Stranka %1").arg(i, 5, 10, QLatin1Char('0')),
                        true });
        }
        if (!connection.commit())
            die(QStringLiteral("cannot write the client book"));
    }
    QDir::setCurrent(previous);
}

struct Row
{
    QString name;
    QString ours;
    QString baseline;
    QString ratio;
    QString goal;
    bool met = false;
};

QString seconds(double value)
{
    return QStringLiteral("%1 s").arg(value, 0, 'f', 3);
}

Row timeRow(const QString& name, const std::vector<double>& ours, const std::vector<double>& baseline, double goal)
{
    const double o = median(ours);
    const double b = median(baseline);
    const double ratio = b > 0 ? o / b : 0;
    return { name,
             seconds(o),
             seconds(b),
             QStringLiteral("%1x").arg(ratio, 0, 'f', 2),
             QStringLiteral("<= %1x").arg(goal, 0, 'f', 2),
             b > 0 && ratio <= goal };
}

void printTable(const QList<Row>& rows)
{
    const auto line = [](const QString& a, const QString& b, const QString& c, const QString& d, const QString& e,
                         const QString& f) {
        std::printf(
            "%s\n",
            qPrintable(
                QStringLiteral("%1 %2 %3 %4 %5 %6").arg(a, -34).arg(b, 12).arg(c, 12).arg(d, 10).arg(e, -11).arg(f)));
    };
    line(QStringLiteral("benchmark"), QStringLiteral("ours"), QStringLiteral("baseline"), QStringLiteral("ratio"),
         QStringLiteral(" goal"), QStringLiteral("result"));
    for (const Row& row : rows)
        line(row.name, row.ours, row.baseline, row.ratio, QLatin1Char(' ') + row.goal,
             row.met ? QStringLiteral("met") : QStringLiteral("MISSED"));
    std::fflush(stdout);
}

class Bench
{
public:
    Bench(QString self, int rounds)
        : m_self(std::move(self))
        , m_rounds(rounds)
    {
        if (!m_work.isValid())
            die(QStringLiteral("no temporary folder"));
        m_remote = m_work.filePath(QStringLiteral("server/Sorvanta/Kavrin"));
        m_local = m_work.filePath(QStringLiteral("local"));
        if (!QDir().mkpath(m_remote) || !QDir().mkpath(m_local))
            die(QStringLiteral("cannot make the bench folders"));
        m_server = std::make_unique<FtpTestServer>(m_work.filePath(QStringLiteral("server")), user, password);
        QString error;
        if (!m_server->start(&error))
            die(QStringLiteral("the local FTP server: %1").arg(error));
        // curl opens its data connections in active mode (PORT, on 127.0.0.1): its passive
        // path here now and then stalls a data connection for a whole second, which would
        // flatter us. The round trips per file are the same.
        m_curl = QStringLiteral("curl");
    }

    ~Bench() { removeFilesIn(text::transferFolderPath()); }

    QString url(const QString& path) const
    {
        return QStringLiteral("ftp://%1:%2@127.0.0.1:%3/Sorvanta/Kavrin/%4")
            .arg(user, password)
            .arg(m_server->port())
            .arg(path);
    }

    int logins() const { return int(m_server->commands().filter(QRegularExpression(QStringLiteral("^USER "))).size()); }

    // 1 and 5: one fresh process per round of ours, so its peak memory is its own.
    QList<Row> download()
    {
        progress(QStringLiteral("[1] download of 512 MiB, [5] its peak memory"));
        const QString big = m_remote + QStringLiteral("/big.bin");
        {
            QFile file(big);
            if (!file.open(QIODevice::WriteOnly))
                die(QStringLiteral("cannot write %1").arg(big));
            for (qint64 written = 0; written < bigFileSize; written += 8 * 1024 * 1024)
                file.write(randomBytes(8 * 1024 * 1024));
        }
        QTemporaryDir bookFolder(m_work.filePath(QStringLiteral("book-XXXXXX")));
        makeBook(bookFolder.path(), 0, 0);

        const QString target = m_local + QStringLiteral("/big.bin");
        std::vector<double> ours, curl, idleKiB, downloadKiB;
        for (int round = 0; round < m_rounds; ++round) {
            QFile::remove(target);
            ::sync();
            QByteArray output;
            const auto total
                = timeProcess(m_self, { QStringLiteral("download"), QString::number(m_server->port()), m_local },
                              bookFolder.path(), &output);
            const QList<QByteArray> numbers = output.trimmed().split(' ');
            if (!total || numbers.size() != 3 || QFileInfo(target).size() != bigFileSize)
                die(QStringLiteral("our download failed: %1").arg(QString::fromUtf8(output)));
            ours.push_back(numbers[0].toDouble());
            downloadKiB.push_back(numbers[2].toDouble());

            QFile::remove(target);
            ::sync();
            QElapsedTimer clock;
            clock.start();
            if (!timeProcess(m_curl,
                             { QStringLiteral("-sS"), QStringLiteral("--ftp-port"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("-o"), target, url(QStringLiteral("big.bin")) })
                || !timeProcess(QStringLiteral("sync"), { target }) || QFileInfo(target).size() != bigFileSize)
                die(QStringLiteral("curl's download failed"));
            curl.push_back(clock.nsecsElapsed() / 1e9);
            QFile::remove(target);

            if (!timeProcess(m_self, { QStringLiteral("idle") }, bookFolder.path(), &output))
                die(QStringLiteral("the idle program failed"));
            idleKiB.push_back(output.trimmed().toDouble());
            progress(QStringLiteral("  round %1: ours %2 s, curl %3 s; peak %4 MiB downloading, %5 MiB idle")
                         .arg(round + 1)
                         .arg(ours.back(), 0, 'f', 3)
                         .arg(curl.back(), 0, 'f', 3)
                         .arg(downloadKiB.back() / 1024, 0, 'f', 1)
                         .arg(idleKiB.back() / 1024, 0, 'f', 1));
        }
        QFile::remove(big);
        QFile::remove(target);

        const double added = (median(downloadKiB) - median(idleKiB)) / 1024;
        Row memory { QStringLiteral("5 peak memory, download vs idle"),
                     QStringLiteral("%1 MiB").arg(median(downloadKiB) / 1024, 0, 'f', 1),
                     QStringLiteral("%1 MiB").arg(median(idleKiB) / 1024, 0, 'f', 1),
                     QStringLiteral("+%1 MiB").arg(added, 0, 'f', 1),
                     QStringLiteral("<= +32 MiB"),
                     added <= 32 };
        return { timeRow(QStringLiteral("1 download 512 MiB"), ours, curl, 1.1), memory };
    }

    // 2: the refresh run for clients with nothing waiting, in a folder of other names.
    Row perClient()
    {
        progress(QStringLiteral("[2] %1 clients, a folder of %2 other files")
                     .arg(perClientClients)
                     .arg(perClientFolderFiles));
        for (int i = 0; i < perClientFolderFiles; ++i)
            writeFile(m_remote + QStringLiteral("/99999999_%1.xml").arg(i, 4, 10, QLatin1Char('0')), "<drugo/>");
        QTemporaryDir bookFolder(m_work.filePath(QStringLiteral("book-XXXXXX")));
        makeBook(bookFolder.path(), perClientClients, 20000001);

        const QString previous = QDir::currentPath();
        QDir::setCurrent(bookFolder.path());
        std::vector<double> ours, curl;
        {
            TKavrinOsnova window(localProfile(m_server->port()));
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                die(QStringLiteral("the main window was not shown"));
            for (int round = 0; round < m_rounds; ++round) {
                const int before = logins();
                QElapsedTimer clock;
                clock.start();
                window.AdvGlowButton11Click();
                ours.push_back(clock.nsecsElapsed() / 1e9);
                pumpEvents();
                if (logins() - before != perClientClients || fileCount(text::transferFolderPath()) != 0)
                    die(QStringLiteral("our run did not serve every client"));

                clock.start();
                for (int client = 0; client < perClientClients; ++client) {
                    if (!timeProcess(m_curl,
                                     { QStringLiteral("-sS"), QStringLiteral("--ftp-port"), QStringLiteral("127.0.0.1"),
                                       QStringLiteral("-o"), QStringLiteral("/dev/null"), url({}) }))
                        die(QStringLiteral("curl's listing failed"));
                }
                curl.push_back(clock.nsecsElapsed() / 1e9);
                progress(QStringLiteral("  round %1: ours %2 s, curl %3 s")
                             .arg(round + 1)
                             .arg(ours.back(), 0, 'f', 3)
                             .arg(curl.back(), 0, 'f', 3));
            }
        }
        pumpEvents();
        QDir::setCurrent(previous);
        removeFilesIn(m_remote);
        return timeRow(QStringLiteral("2 refresh, 100 clients, no files"), ours, curl, 1.2);
    }

    // 3: one client, many small files, each fetched and deleted.
    QList<Row> smallFileRun()
    {
        progress(QStringLiteral("[3] one client, %1 files of %2 KiB").arg(smallFiles).arg(smallFileSize / 1024));
        QList<QString> names;
        QList<QByteArray> contents;
        for (int i = 0; i < smallFiles; ++i) {
            names.append(QStringLiteral("11111111_%1.xml").arg(i, 4, 10, QLatin1Char('0')));
            contents.append(randomBytes(smallFileSize));
        }
        const auto serve = [&] {
            for (int i = 0; i < smallFiles; ++i)
                writeFile(m_remote + QLatin1Char('/') + names[i], contents[i]);
        };
        const auto check = [&](const QString& folder, const QString& who) {
            if (fileCount(m_remote) != 0 || fileCount(folder) != smallFiles)
                die(QStringLiteral("%1 left %2 files on the server and fetched %3")
                        .arg(who)
                        .arg(fileCount(m_remote))
                        .arg(fileCount(folder)));
            QFile sample(folder + QLatin1Char('/') + names.last());
            if (!sample.open(QIODevice::ReadOnly) || sample.readAll() != contents.last())
                die(QStringLiteral("%1 fetched other bytes").arg(who));
        };

        // One curl run: a transfer per file, each followed by its DELE, on one connection.
        const QString config = m_work.filePath(QStringLiteral("small.curl"));
        {
            QFile file(config);
            if (!file.open(QIODevice::WriteOnly))
                die(QStringLiteral("cannot write %1").arg(config));
            for (const QString& name : names) {
                if (name != names.first())
                    file.write("next\n");
                file.write(QStringLiteral("silent\nshow-error\nftp-port = \"127.0.0.1\"\nurl = \"%1\"\noutput = "
                                          "\"%2/%3\"\nquote = \"-DELE %3\"\n")
                               .arg(url(name), m_local, name)
                               .toUtf8());
            }
        }

        QTemporaryDir bookFolder(m_work.filePath(QStringLiteral("book-XXXXXX")));
        makeBook(bookFolder.path(), 1, 11111111);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(bookFolder.path());
        std::vector<double> ours, curl, curlSynced;
        int curlLogins = 0;
        QStringList fetched;
        for (const QString& name : names)
            fetched.append(m_local + QLatin1Char('/') + name);
        {
            TKavrinOsnova window(localProfile(m_server->port()));
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                die(QStringLiteral("the main window was not shown"));
            for (int round = 0; round < m_rounds; ++round) {
                serve();
                removeFilesIn(text::transferFolderPath());
                ::sync();
                QElapsedTimer clock;
                clock.start();
                window.AdvGlowButton11Click();
                ours.push_back(clock.nsecsElapsed() / 1e9);
                pumpEvents();
                check(text::transferFolderPath(), QStringLiteral("our run"));

                serve();
                removeFilesIn(m_local);
                ::sync();
                const int before = logins();
                clock.start();
                if (!timeProcess(m_curl, { QStringLiteral("-K"), config }))
                    die(QStringLiteral("curl's run failed"));
                curl.push_back(clock.nsecsElapsed() / 1e9);
                curlLogins = logins() - before;
                check(m_local, QStringLiteral("curl"));
                // We write each file through to the disk before its DELE; curl does not.
                // Its files flushed afterwards show what that costs.
                const auto flushed = timeProcess(QStringLiteral("sync"), fetched);
                if (!flushed)
                    die(QStringLiteral("sync of curl's files failed"));
                curlSynced.push_back(curl.back() + *flushed);
                progress(QStringLiteral("  round %1: ours %2 s, curl %3 s, then sync %4 s (curl logged in %5 time(s))")
                             .arg(round + 1)
                             .arg(ours.back(), 0, 'f', 3)
                             .arg(curl.back(), 0, 'f', 3)
                             .arg(*flushed, 0, 'f', 3)
                             .arg(curlLogins));
            }
        }
        pumpEvents();
        QDir::setCurrent(previous);
        removeFilesIn(text::transferFolderPath());
        removeFilesIn(m_local);
        if (curlLogins != 1)
            die(QStringLiteral("curl did not keep one connection: %1 logins").arg(curlLogins));
        return { timeRow(QStringLiteral("3 refresh, 2000 files of 4 KiB"), ours, curl, 1.5),
                 timeRow(QStringLiteral("3' same, curl + sync of its files"), ours, curlSynced, 1.5) };
    }

    // 4: a fresh process per start, the big book against the empty one.
    Row startup()
    {
        progress(QStringLiteral("[4] start-up with %1 clients against an empty book").arg(startupClients));
        QTemporaryDir emptyBook(m_work.filePath(QStringLiteral("book-XXXXXX")));
        QTemporaryDir bigBook(m_work.filePath(QStringLiteral("book-XXXXXX")));
        makeBook(emptyBook.path(), 0, 0);
        makeBook(bigBook.path(), startupClients, 30000001);
        std::vector<double> big, empty;
        const auto start = [&](const QString& folder) {
            QByteArray output;
            if (!timeProcess(m_self, { QStringLiteral("startup"), QString::number(monotonicNs()) }, folder, &output))
                die(QStringLiteral("the start-up failed"));
            return output.trimmed().toDouble();
        };
        for (int round = 0; round < m_rounds; ++round) {
            big.push_back(start(bigBook.path()));
            empty.push_back(start(emptyBook.path()));
            progress(QStringLiteral("  round %1: %2 clients %3 s, empty %4 s")
                         .arg(round + 1)
                         .arg(startupClients)
                         .arg(big.back(), 0, 'f', 3)
                         .arg(empty.back(), 0, 'f', 3));
        }
        return timeRow(QStringLiteral("4 start-up, 10000 clients vs empty"), big, empty, 1.5);
    }

private:
    QString m_self;
    int m_rounds;
    QTemporaryDir m_work { QDir::tempPath() + QStringLiteral("/kavrin-bench-XXXXXX") };
    QString m_remote;
    QString m_local;
    QString m_curl;
    std::unique_ptr<FtpTestServer> m_server;
};

// The main window as the program shows it at start.
std::unique_ptr<TKavrinOsnova> showMainWindow(quint16 port)
{
    auto window = std::make_unique<TKavrinOsnova>(localProfile(port));
    window->showCentred();
    if (!QTest::qWaitForWindowExposed(window.get()))
        die(QStringLiteral("the main window was not shown"));
    return window;
}

// spawnedNs: the monotonic clock when the parent started this process, so the time
// includes loading the program and its libraries.
int startupMode(qint64 spawnedNs)
{
    const auto window = showMainWindow(1);
    std::printf("%.6f\n", (monotonicNs() - spawnedNs) / 1e9);
    return 0;
}

int idleMode()
{
    const auto window = showMainWindow(1);
    pumpEvents();
    std::printf("%lld\n", peakResidentKiB());
    return 0;
}

int downloadMode(quint16 port, const QString& folder)
{
    const auto main = showMainWindow(port);
    pumpEvents();
    const qint64 idle = peakResidentKiB();
    auto* window = new TPrenosNaFTP(localProfile(port));
    window->show();
    QElapsedTimer clock;
    clock.start();
    bool done = false;
    {
        const TPrenosNaFTP::Hold hold = window->hold();
        done = window->VzpostaviPovezavo(QStringLiteral("Kavrin"))
            && window->PotegniDatoteko(QStringLiteral("big.bin"), folder, QString());
        window->PrekiniPovezavo();
    }
    const double elapsed = clock.nsecsElapsed() / 1e9;
    window->close();
    pumpEvents();
    if (!done)
        die(QStringLiteral("PotegniDatoteko failed"));
    std::printf("%.6f %lld %lld\n", elapsed, idle, peakResidentKiB());
    return 0;
}

} // namespace

int run(int argc, char** argv)
{
    gui::KavrinApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString mode = arguments.value(1);
    if (mode == QLatin1String("startup") && arguments.size() == 3)
        return startupMode(arguments[2].toLongLong());
    if (mode == QLatin1String("book") && arguments.size() == 3) {
        makeBook(QDir::currentPath(), arguments[2].toInt(), 30000001);
        return 0;
    }
    if (mode == QLatin1String("idle"))
        return idleMode();
    if (mode == QLatin1String("download") && arguments.size() == 4)
        return downloadMode(quint16(arguments[2].toUInt()), arguments[3]);
    if (mode != QLatin1String("run")) {
        std::fprintf(stderr, "usage: KavrinBench run [ROUNDS] | startup NS | book COUNT | idle | download PORT DIR\n");
        return 2;
    }
    const int rounds = std::clamp(arguments.value(2, QStringLiteral("5")).toInt(), 1, 50);
    QList<Row> rows;
    {
        Bench bench(QCoreApplication::applicationFilePath(), rounds);
        const QStringList only = qEnvironmentVariable("KAVRIN_BENCH_ONLY").split(QLatin1Char(','), Qt::SkipEmptyParts);
        const auto wanted = [&](const char* key) { return only.isEmpty() || only.contains(QLatin1String(key)); };
        if (wanted("1") || wanted("5"))
            rows += bench.download();
        if (wanted("2"))
            rows.append(bench.perClient());
        if (wanted("3"))
            rows += bench.smallFileRun();
        if (wanted("4"))
            rows.append(bench.startup());
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.name < b.name; });
    std::printf("\nmedians of %d rounds\n", rounds);
    printTable(rows);
    return 0;
}

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "KavrinBench: %s\n", error.what());
        return 2;
    }
}
