#include "platform/FileSystem.h"
#include "support/Files.h"
#include "text/ReplacingFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using kavrin::text::ReplacingFile;

namespace {



QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestReplacingFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replacesExistingFile();
    void createsMissingFile();
    void leavesOldFileWithoutCommit_data();
    void leavesOldFileWithoutCommit();
    void failedReplaceLeavesNoTemporaryFile();
    void openFailsInReadOnlyFolder();
    void openFailsInMissingFolder();
    void refusesCommitWhenNotOpen();
};

void TestReplacingFile::replacesExistingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("12345678_x.xml");
    QVERIFY(writeFile(target, "old contents, longer than the new ones"));

    ReplacingFile file(target);
    QVERIFY(file.open());
    const QFileInfo temp(file.temporaryPath());
    QCOMPARE(temp.absolutePath(), QFileInfo(target).absolutePath());
    QVERIFY(temp.fileName() != QFileInfo(target).fileName());
    QVERIFY2(kavrin::platform::isHiddenOrSystem(temp), qPrintable(temp.fileName()));
    QVERIFY(!kavrin::platform::isHiddenOrSystem(QFileInfo(target)));

    // A second writer of the same target gets a file of its own.
    ReplacingFile other(target);
    QVERIFY(other.open());
    QVERIFY(other.temporaryPath() != file.temporaryPath());
    other.discard();

    QCOMPARE(file.device().write("new"), 3);
    QCOMPARE(readFile(target), QByteArray("old contents, longer than the new ones"));
    QVERIFY(file.commit());

    QCOMPARE(readFile(target), QByteArray("new"));
    QVERIFY(!QFile::exists(temp.absoluteFilePath()));
    QCOMPARE(entries(dir.path()), QStringList { "12345678_x.xml" });
    QVERIFY(!kavrin::platform::isHiddenOrSystem(QFileInfo(target)));
    QVERIFY(!file.commit());
}

void TestReplacingFile::createsMissingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("račun.xml");
    {
        ReplacingFile file(target);
        QVERIFY(file.open());
        QCOMPARE(file.device().write(QByteArray(100000, 'x')), 100000);
        QVERIFY(file.commit());
    } // the destructor of a committed file must not remove the result
    QCOMPARE(readFile(target), QByteArray(100000, 'x'));
    QCOMPARE(entries(dir.path()), QStringList { "račun.xml" });
}

void TestReplacingFile::leavesOldFileWithoutCommit_data()
{
    QTest::addColumn<bool>("destroy");
    QTest::newRow("discarded") << false;
    QTest::newRow("destroyed") << true;
}

void TestReplacingFile::leavesOldFileWithoutCommit()
{
    QFETCH(bool, destroy);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("a.xml");
    QVERIFY(writeFile(target, "old"));
    {
        ReplacingFile file(target);
        QVERIFY(file.open());
        QCOMPARE(file.device().write("half a downlo"), 13);
        QVERIFY(QFile::exists(file.temporaryPath()));
        if (!destroy) {
            file.discard();
            QVERIFY(!file.commit());
            QCOMPARE(entries(dir.path()), QStringList { "a.xml" });
        }
    }
    QCOMPARE(readFile(target), QByteArray("old"));
    QCOMPARE(entries(dir.path()), QStringList { "a.xml" });
}

void TestReplacingFile::failedReplaceLeavesNoTemporaryFile()
{
    // A folder in the target's place cannot be replaced by a file.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("busy");
    QVERIFY(QDir(dir.path()).mkpath("busy/inside"));

    ReplacingFile file(target);
    QVERIFY(file.open());
    QCOMPARE(file.device().write("x"), 1);
    QVERIFY(!file.commit());
    QVERIFY(!file.errorString().isEmpty());
    QCOMPARE(entries(dir.path()), QStringList { "busy" });
    QVERIFY(QFileInfo(target).isDir());
}

void TestReplacingFile::openFailsInReadOnlyFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("locked");
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    const QString target = folder + "/a.xml";
    QVERIFY(writeFile(target, "old"));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto unlock = qScopeGuard([&] {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });

    QFile probe(folder + "/probe");
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        QSKIP("Folder permissions do not stop this user from writing (running as root)");
    }

    ReplacingFile file(target);
    QVERIFY(!file.open());
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(file.temporaryPath().isEmpty());
    QVERIFY(!file.commit());
    QCOMPARE(readFile(target), QByteArray("old"));
    QCOMPARE(entries(folder), QStringList { "a.xml" });
}

void TestReplacingFile::openFailsInMissingFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ReplacingFile file(dir.filePath("gone/a.xml"));
    QVERIFY(!file.open());
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(file.temporaryPath().isEmpty());
    QVERIFY(!file.commit());
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestReplacingFile::refusesCommitWhenNotOpen()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("a.xml");
    ReplacingFile file(target);
    QVERIFY(!file.commit());
    QVERIFY(!QFile::exists(target));
    QVERIFY(entries(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestReplacingFile)
#include "TestReplacingFile.moc"
