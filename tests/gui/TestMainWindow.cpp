#include "ClientGrid.h"
#include "FileListBox.h"
#include "KavrinApplication.h"
#include "KavrinOsnovaForm.h"
#include "store/StoreError.h"
#include "support/BookRows.h"
#include "support/Files.h"
#include "support/MessageBoxWatcher.h"
#include "support/StoreBook.h"
#include "support/WorkingFolder.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace {

QString besideExecutable(const QString& name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

// The first key opens the cell's editor, the others go to the editor.
void typeIntoCell(QWidget* view, const QString& text)
{
    QTest::keyClicks(view, text.left(1));
    QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
}

QStringList entries(const FileListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void firstStartCreatesTheBookAndTheTransferFolder();
    void restartKeepsRowsInSlovenianOrder();
    void shraniInsertsThenUpdatesByTaxNumber();
    void zbrisiDeletesEveryStoredRowButOneListRow();
    void unsavedRowsNeverReachTheTable();
    void fileListFollowsTheCurrentClient_data();
    void fileListFollowsTheCurrentClient();
    void sameTaxNumberDoesNotReadTheFolderAgain();
    void plainFileInTheTransferFolderPlace();
    void lockedBookShowsTheStoreMessageAndStartsOn();
    void aBookThatCannotBeOpenedStopsTheStart();
    void zapriEndsTheProgramWithExitCodeZero();

private:
    TKavrinOsnova* start();
    void restart();
    QAbstractItemModel* grid() const { return m_window->findChild<ClientGrid*>(QStringLiteral("DBAdvGrid1"))->model(); }
    FileListBox* fileList() const { return m_window->findChild<FileListBox*>(QStringLiteral("FileListBox1")); }
    void click(const char* button);
    void setCell(int row, int column, const QVariant& value);
    QStringList gridColumn(int column) const;

    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<TKavrinOsnova> m_window;
};

void TestMainWindow::init()
{
    QDir(besideExecutable(QStringLiteral("Prenosi"))).removeRecursively();
    QFile::remove(besideExecutable(QStringLiteral("Prenosi")));
    m_folder = std::make_unique<WorkingFolder>();
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_folder.reset();
}

TKavrinOsnova* TestMainWindow::start()
{
    m_window = std::make_unique<TKavrinOsnova>();
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("main window not exposed");
    return m_window.get();
}

void TestMainWindow::restart()
{
    m_window.reset();
    QDir::setCurrent(m_folder->path());
    start();
}

void TestMainWindow::click(const char* button)
{
    QTest::mouseClick(m_window->findChild<QToolButton*>(QString::fromLatin1(button)), Qt::LeftButton);
}

void TestMainWindow::setCell(int row, int column, const QVariant& value)
{
    QAbstractItemModel* model = grid();
    const QModelIndex index = model->index(row, column);
    QVERIFY(model->setData(index, value, value.typeId() == QMetaType::Bool ? Qt::CheckStateRole : Qt::EditRole));
}

QStringList TestMainWindow::gridColumn(int column) const
{
    QStringList values;
    for (int row = 0; row < grid()->rowCount(); ++row)
        values.append(grid()->index(row, column).data().toString());
    return values;
}

void TestMainWindow::firstStartCreatesTheBookAndTheTransferFolder()
{
    const QString prenosi = besideExecutable(QStringLiteral("Prenosi"));
    QVERIFY(QDir().mkpath(prenosi + QStringLiteral("/podmapa.err")));
    for (const char* name : {"b.err", "a.ERR", "c.xml", ".skrita.err"})
        QVERIFY(writeFile(prenosi + QLatin1Char('/') + QLatin1String(name), {}));

    start();
    QVERIFY(QFile::exists(m_folder->file(QStringLiteral("Book.db"))));
    QVERIFY(storedBookRows(m_folder->path()).isEmpty());
    QCOMPARE(grid()->rowCount(), 0);
    QCOMPARE(QDir::currentPath(), QDir(prenosi).canonicalPath());
    QCOMPARE(fileList()->directory(), QDir(prenosi).canonicalPath());
    // An empty book sets no mask: the ".err" files show, folders and hidden files do not.
    QCOMPARE(entries(fileList()), QStringList({QStringLiteral("a.ERR"), QStringLiteral("b.err")}));
    QVERIFY(QFile::exists(prenosi + QStringLiteral("/c.xml")));
}

void TestMainWindow::restartKeepsRowsInSlovenianOrder()
{
    start();
    m_window.reset();
    const QStringList names {QStringLiteral("Žan"), QStringLiteral("Sova"), QStringLiteral("Dom"),
        QStringLiteral("Čebela"), QStringLiteral("Zala"), QStringLiteral("Tine"), QStringLiteral("Šola"),
        QStringLiteral("Cvet")};
    QList<BookRow> rows;
    for (int i = 0; i < names.size(); ++i)
        rows.append({0, QString::number(100 + i), names[i], i % 2 == 0});
    insertBookRows(m_folder->path(), rows);
    const QList<BookRow> stored = storedBookRows(m_folder->path());

    restart();
    QCOMPARE(gridColumn(0),
        QStringList({QStringLiteral("Cvet"), QStringLiteral("Čebela"), QStringLiteral("Dom"), QStringLiteral("Sova"),
            QStringLiteral("Šola"), QStringLiteral("Tine"), QStringLiteral("Zala"), QStringLiteral("Žan")}));
    QCOMPARE(grid()->index(7, 1).data().toString(), QStringLiteral("100")); // Žan's tax number
    QCOMPARE(grid()->index(7, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(storedBookRows(m_folder->path()), stored);
}

void TestMainWindow::shraniInsertsThenUpdatesByTaxNumber()
{
    start();
    click("AdvGlowButton1"); // Dodaj
    QCOMPARE(grid()->rowCount(), 1);
    QCOMPARE(grid()->index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(storedBookRows(m_folder->path()).isEmpty());

    // Typed into the cells; the last one is still being edited when Shrani is clicked.
    auto* view = m_window->findChild<ClientGrid*>(QStringLiteral("DBAdvGrid1"));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    view->setFocus();
    view->setCurrentIndex(grid()->index(0, 0));
    typeIntoCell(view, QStringLiteral("Mizarstvo Novak"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    view->setCurrentIndex(grid()->index(0, 1));
    typeIntoCell(view, QStringLiteral("12345678901234")); // one more than the field takes
    click("AdvGlowButton15"); // Shrani
    QList<BookRow> rows = storedBookRows(m_folder->path());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].naziv, QStringLiteral("Mizarstvo Novak"));
    QCOMPARE(rows[0].davcna, QStringLiteral("1234567890123"));
    QVERIFY(rows[0].aktiven);

    // The same tax number again: an update of the stored row, its Zapst kept.
    setCell(0, 0, QStringLiteral("Mizarstvo Novak doo"));
    setCell(0, 2, false);
    click("AdvGlowButton15");
    const QList<BookRow> updated = storedBookRows(m_folder->path());
    QCOMPARE(updated.size(), 1);
    QCOMPARE(updated[0].zapst, rows[0].zapst);
    QCOMPARE(updated[0].naziv, QStringLiteral("Mizarstvo Novak doo"));
    QVERIFY(!updated[0].aktiven);

    // A changed tax number is a client the table does not know: a new row.
    setCell(0, 1, QStringLiteral("999"));
    click("AdvGlowButton15");
    rows = storedBookRows(m_folder->path());
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].davcna, QStringLiteral("1234567890123"));
    QCOMPARE(rows[1].davcna, QStringLiteral("999"));
    QVERIFY(rows[1].zapst > rows[0].zapst);
}

void TestMainWindow::zbrisiDeletesEveryStoredRowButOneListRow()
{
    start();
    m_window.reset();
    insertBookRows(m_folder->path(),
        {{0, QStringLiteral("111"), QStringLiteral("Ana"), true}, {0, QStringLiteral("111"), QStringLiteral("Bor"), true},
            {0, QStringLiteral("222"), QStringLiteral("Cene"), true}});
    restart();
    click("AdvGlowButton3"); // Zbriši on Ana
    const QList<BookRow> rows = storedBookRows(m_folder->path());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].naziv, QStringLiteral("Cene"));
    QCOMPARE(gridColumn(0), QStringList({QStringLiteral("Bor"), QStringLiteral("Cene")}));
}

void TestMainWindow::unsavedRowsNeverReachTheTable()
{
    start();
    m_window.reset();
    insertBookRows(m_folder->path(), {{0, QString(), QStringLiteral("Brez davčne"), true}});
    restart();
    click("AdvGlowButton1");
    setCell(1, 0, QStringLiteral("Neshranjen"));
    QCOMPARE(grid()->rowCount(), 2);
    // Zbriši on the unsaved row: its empty tax number matches no stored client.
    click("AdvGlowButton3");
    QCOMPARE(grid()->rowCount(), 1);
    click("AdvGlowButton1");
    setCell(1, 0, QStringLiteral("Tudi neshranjen"));
    restart();
    const QList<BookRow> rows = storedBookRows(m_folder->path());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].naziv, QStringLiteral("Brez davčne"));
    QCOMPARE(gridColumn(0), QStringList({QStringLiteral("Brez davčne")}));
}

void TestMainWindow::fileListFollowsTheCurrentClient_data()
{
    QTest::addColumn<QString>("davcna");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("shown");
    const QStringList errFiles {QStringLiteral("c.err")};
    QTest::newRow("tax number") << "12345678" << "12345678*.*"
                                << QStringList {QStringLiteral("12345678_a.xml"), QStringLiteral("123456789_b.xml")};
    QTest::newRow("prefix of another, no extension")
        << "1234" << "1234*.*"
        << QStringList {QStringLiteral("1234"), QStringLiteral("12345678_a.xml"), QStringLiteral("123456789_b.xml")};
    QTest::newRow("empty") << "" << "*.err" << QStringList {QStringLiteral("   x.err"), QStringLiteral("c.err")};
    QTest::newRow("blanks") << "   " << "   *.err" << QStringList {QStringLiteral("   x.err")};
    QTest::newRow("surrounding blanks") << " 1234 " << " 1234 *.*" << QStringList {};
}

void TestMainWindow::fileListFollowsTheCurrentClient()
{
    QFETCH(QString, davcna);
    QFETCH(QString, mask);
    QFETCH(QStringList, shown);
    const QString prenosi = besideExecutable(QStringLiteral("Prenosi"));
    QVERIFY(QDir().mkpath(prenosi));
    for (const char* name : {"12345678_a.xml", "123456789_b.xml", "1234", "   x.err", "c.err", "9999_c.xml"})
        QVERIFY(writeFile(prenosi + QLatin1Char('/') + QLatin1String(name), {}));
    start();
    m_window.reset();
    insertBookRows(m_folder->path(), {{0, davcna, QStringLiteral("A"), true}, {0, QStringLiteral("9999"), QStringLiteral("B"), true}});
    restart();
    QCOMPARE(fileList()->mask(), mask);
    QCOMPARE(entries(fileList()), shown);

    // The grid's row is the client list's row: a click on the other client moves both.
    auto* view = m_window->findChild<ClientGrid*>(QStringLiteral("DBAdvGrid1"));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(grid()->index(1, 0)).center());
    QCOMPARE(m_window->Stranke.currentRow(), 1);
    QCOMPARE(entries(fileList()), QStringList({QStringLiteral("9999_c.xml")}));
}

void TestMainWindow::sameTaxNumberDoesNotReadTheFolderAgain()
{
    const QString prenosi = besideExecutable(QStringLiteral("Prenosi"));
    start();
    m_window.reset();
    insertBookRows(m_folder->path(),
        {{0, QStringLiteral("555"), QStringLiteral("A"), true}, {0, QStringLiteral("555"), QStringLiteral("B"), true},
            {0, QStringLiteral("777"), QStringLiteral("C"), true}});
    restart();
    QVERIFY(entries(fileList()).isEmpty());
    QVERIFY(writeFile(prenosi + QStringLiteral("/555_nova.xml"), {}));
    m_window->Stranke.next();
    QVERIFY(entries(fileList()).isEmpty());
    m_window->Stranke.next();
    m_window->Stranke.first();
    QCOMPARE(entries(fileList()), QStringList({QStringLiteral("555_nova.xml")}));
}

void TestMainWindow::plainFileInTheTransferFolderPlace()
{
    QVERIFY(writeFile(besideExecutable(QStringLiteral("Prenosi")), {}));
    MessageBoxWatcher boxes;
    start();
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(fileList()->directory(), QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    QVERIFY(m_window->Stranke.isActive());
}

void TestMainWindow::lockedBookShowsTheStoreMessageAndStartsOn()
{
    start();
    m_window.reset();
    const StoreLockHolder holder(m_folder->file(QStringLiteral("Book.db")));
    QVERIFY2(holder.isHolding(), qPrintable(holder.errors()));

    MessageBoxWatcher boxes;
    QDir::setCurrent(m_folder->path());
    QElapsedTimer clock;
    clock.start();
    start();
    QVERIFY2(clock.elapsed() >= 1000, "the store retries before it gives up");
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes()[0].title, QStringLiteral("Kavrin - Prenos podatkov v računovodstvo"));
    QVERIFY2(boxes.boxes()[0].text.contains(QStringLiteral("locked")), qPrintable(boxes.boxes()[0].text));
    QVERIFY(boxes.boxes()[0].text.endsWith(QLatin1Char('.')));
    QVERIFY(!m_window->Stranke.isActive());
    QVERIFY(m_window->isVisible());
}

void TestMainWindow::aBookThatCannotBeOpenedStopsTheStart()
{
    // The window is not built; the entry shows why and ends with exit code 1.
    QVERIFY(QDir().mkdir(m_folder->file(QStringLiteral("Book.db"))));
    try {
        TKavrinOsnova window;
        QFAIL("the window was built on a book that cannot be opened");
    } catch (const kavrin::store::StoreError& error) {
        MessageBoxWatcher boxes;
        kavrin::gui::KavrinApplication::showApplicationError(error);
        QCOMPARE(boxes.boxes().size(), 1);
        QCOMPARE(boxes.boxes()[0].title, QStringLiteral("Application Error"));
        QCOMPARE(boxes.boxes()[0].text, QStringLiteral("StoreError: ") + error.message());
    }
}

void TestMainWindow::zapriEndsTheProgramWithExitCodeZero()
{
    start();
    QTimer::singleShot(0, this, [this] { click("AdvGlowButton2"); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(3); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!m_window->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
