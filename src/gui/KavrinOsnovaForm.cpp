#include "KavrinOsnovaForm.h"

#include "ClientGridModel.h"
#include "KavrinApplication.h"
#include "Looks.h"
#include "PrenosNaFTPForm.h"
#include "store/BookTable.h"
#include "store/Table.h"
#include "text/Blank.h"
#include "text/Paths.h"
#include "ui_KavrinOsnovaForm.h"

#include <QCloseEvent>
#include <QDir>
#include <QScopeGuard>
#include <QScreen>

using namespace kavrin;
using store::FieldDef;
using store::FieldType;

namespace {

// Lets every pending event through, and frees the windows released since the last pump.
void pumpEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TKavrinOsnova::TKavrinOsnova(ftp::ConnectionProfile profile, QWidget* parent)
    : QWidget(parent)
    , BAZA(QStringLiteral("BAZA"), store::LockProtocol {15, 100})
    , Stranke(QStringLiteral("BAZA"), this)
    , Ukaz(QStringLiteral("BAZA"), this)
    , ui(std::make_unique<Ui::TKavrinOsnova>())
    , m_profile(std::move(profile))
{
    BAZA.setConnected(true);
    Stranke.setFieldDefs({
        FieldDef {QStringLiteral("davcna"), FieldType::Text, 13},
        FieldDef {QStringLiteral("naziv"), FieldType::Text, 20},
        FieldDef {QStringLiteral("aktiven"), FieldType::Boolean, 0},
    });

    ui->setupUi(this);
    ui->Label1->raise();
    ui->Klient->tabBar()->setExpanding(false);
    for (QLabel* picture : {ui->AdvPicture1, ui->AdvPicture2})
        picture->setPixmap(gui::logoPixmap(QSize(185, 53), devicePixelRatioF()));
    for (QToolButton* button :
        {ui->AdvGlowButton1, ui->AdvGlowButton3, ui->AdvGlowButton15, ui->AdvGlowButton11, ui->AdvGlowButton2})
        button->setFocusPolicy(Qt::NoFocus); // a click leaves the grid's cell editor where it is

    m_gridModel = new ClientGridModel(Stranke,
        {{QStringLiteral("naziv"), QStringLiteral("Stranka")}, {QStringLiteral("davcna"), QStringLiteral("Davčna")},
            {QStringLiteral("aktiven"), QStringLiteral("Aktiven")}},
        this);
    ui->DBAdvGrid1->setClientModel(m_gridModel);

    connect(&Stranke, &store::Dataset::afterScroll, this, gui::toErrorDisplay([this] { StrankeAfterScroll(); }));
    connect(ui->AdvGlowButton1, &QToolButton::clicked, this, gui::toErrorDisplay([this] { AdvGlowButton1Click(); }));
    connect(ui->AdvGlowButton3, &QToolButton::clicked, this, gui::toErrorDisplay([this] { AdvGlowButton3Click(); }));
    connect(ui->AdvGlowButton15, &QToolButton::clicked, this, gui::toErrorDisplay([this] { AdvGlowButton15Click(); }));
    connect(ui->AdvGlowButton11, &QToolButton::clicked, this, gui::toErrorDisplay([this] { AdvGlowButton11Click(); }));
    connect(ui->AdvGlowButton2, &QToolButton::clicked, this, gui::toErrorDisplay([this] { AdvGlowButton2Click(); }));

    try {
        FormCreate();
    } catch (const std::exception& error) {
        gui::KavrinApplication::showError(error);
    }
}

TKavrinOsnova::~TKavrinOsnova() = default;

void TKavrinOsnova::showCentred()
{
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    show();
}

void TKavrinOsnova::AdvGlowButton2Click()
{
    close();
}

void TKavrinOsnova::BazaBook()
{
    store::Table table(BAZA.name(), QStringLiteral("Book.dat"));
    BAZA.setConnected(false);
    BAZA.setConnected(true);

    store::defineBookTable(table);
    if (!table.exists())
        table.createTable();
    table.alterTable();
}

void TKavrinOsnova::AdvGlowButton1Click()
{
    ui->DBAdvGrid1->takeOverEdit();
    Stranke.append();
    Stranke.setFieldBool(QStringLiteral("aktiven"), true);
    Stranke.post();
}

void TKavrinOsnova::AdvGlowButton15Click()
{
    ui->DBAdvGrid1->takeOverEdit();
    const auto bindCurrentRow = [this] {
        Ukaz.setParamText(0, Stranke.fieldText(QStringLiteral("naziv")));
        Ukaz.setParamBool(1, Stranke.fieldBool(QStringLiteral("aktiven")));
        Ukaz.setParamText(2, Stranke.fieldText(QStringLiteral("davcna")));
    };

    Ukaz.clearSql();
    Ukaz.addLine(QStringLiteral("select * from book where davcna = :dv1"));
    Ukaz.setParamText(0, Stranke.fieldText(QStringLiteral("davcna")));
    Ukaz.setActive(true);
    if (Ukaz.recordCount() <= 0) {
        Ukaz.setActive(false);
        Ukaz.clearSql();
        Ukaz.addLine(QStringLiteral("insert into book"));
        Ukaz.addLine(QStringLiteral("(naziv, aktiven, davcna)"));
        Ukaz.addLine(QStringLiteral("values (:naz1, :akt, :dv1)"));
    } else {
        Ukaz.setActive(false);
        Ukaz.clearSql();
        Ukaz.addLine(QStringLiteral("update book"));
        Ukaz.addLine(QStringLiteral("set naziv = :naz1,"));
        Ukaz.addLine(QStringLiteral("    aktiven = :akt"));
        Ukaz.addLine(QStringLiteral("where davcna = :dv1"));
    }
    bindCurrentRow();
    Ukaz.execSql();
}

void TKavrinOsnova::FormCreate()
{
    BazaBook();
    QDir().mkpath(text::transferFolderPath()); // a failure shows when the folder is entered
    ui->FileListBox1->setDirectory(text::transferFolderPath());
    NapolniTabelo();
}

void TKavrinOsnova::NapolniTabelo()
{
    Stranke.setActive(false);
    Stranke.clearSql();
    Stranke.addLine(QStringLiteral("select * from book order by naziv"));
    Stranke.setActive(true);
}

void TKavrinOsnova::AdvGlowButton3Click()
{
    ui->DBAdvGrid1->takeOverEdit();
    Ukaz.clearSql();
    Ukaz.addLine(QStringLiteral("delete from book"));
    Ukaz.addLine(QStringLiteral("where davcna = :dv1"));
    Ukaz.setParamText(0, Stranke.fieldText(QStringLiteral("davcna")));
    Ukaz.execSql();
    Stranke.deleteRow();
}

void TKavrinOsnova::AdvGlowButton11Click()
{
    if (m_refreshing)
        return;
    ui->DBAdvGrid1->takeOverEdit();
    setRefreshing(true);
    Stranke.disableControls();
    const auto resume = qScopeGuard([this] {
        Stranke.enableControls();
        setRefreshing(false);
        // Show the current client's files as the run has left them.
        try {
            ui->FileListBox1->read();
        } catch (const std::exception&) {
        }
        if (m_closeRequested)
            close();
    });

    Stranke.first();
    while (!Stranke.eof()) {
        if (Stranke.fieldBool(QStringLiteral("aktiven")))
            serveClient(Stranke.fieldText(QStringLiteral("davcna")));
        Stranke.next();
    }
}

void TKavrinOsnova::serveClient(const QString& taxNumber)
{
    pumpEvents();
    auto* window = new TPrenosNaFTP(m_profile);
    TPrenosNaFTP::current() = window;
    window->show();
    const TPrenosNaFTP::Hold hold = window->hold();

    try {
        if (window->VzpostaviPovezavo(QStringLiteral("Kavrin")) && !window->isReleased()) {
            window->Fajli.setActive(true);
            window->ListaDatotekNaFtp(taxNumber);
            window->Fajli.first();
            while (!window->isReleased() && !window->Fajli.eof()) {
                const QString name = window->Fajli.fieldText(QStringLiteral("NAZIV1"));
                try {
                    if (window->PotegniDatoteko(name, text::transferFolderPath(), QString()))
                        window->IdFTP1.remove(window->remoteName(name));
                } catch (const std::exception&) {
                    // This file stays on the server for a later run.
                }
                if (!window->isReleased())
                    window->Fajli.next();
            }
        }
    } catch (const std::exception&) {
        if (!window->isReleased())
            throw; // the window stays open with its connection; the error reaches the display
        return; // the user closed the window in the middle of its work: go on with the next client
    }
    if (!window->isReleased())
        window->close();
}

void TKavrinOsnova::StrankeAfterScroll()
{
    if (Stranke.isEmpty())
        return;
    const QString davcna = Stranke.fieldText(QStringLiteral("davcna"));
    ui->FileListBox1->setMask(davcna + (text::isBlank(davcna) ? QStringLiteral("*.err") : QStringLiteral("*.*")));
}

void TKavrinOsnova::setRefreshing(bool refreshing)
{
    m_refreshing = refreshing;
    // The run owns the client list's cursor: nothing may move it or change the book meanwhile.
    for (QWidget* control : {static_cast<QWidget*>(ui->DBAdvGrid1), static_cast<QWidget*>(ui->AdvGlowButton1),
             static_cast<QWidget*>(ui->AdvGlowButton3), static_cast<QWidget*>(ui->AdvGlowButton15),
             static_cast<QWidget*>(ui->AdvGlowButton11)})
        control->setEnabled(!refreshing);
}

void TKavrinOsnova::closeEvent(QCloseEvent* event)
{
    if (m_refreshing) {
        // The run finishes first; the program ends when it has returned.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    event->accept();
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void TKavrinOsnova::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ui->Klient->setGeometry(8, 8, width() - 8, height() - 8);
}
