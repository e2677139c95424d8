#include "PrenosNaFTPForm.h"

#include "ftp/ListingMatch.h"
#include "text/Blank.h"
#include "text/Paths.h"
#include "text/ReplacingFile.h"
#include "text/SafeName.h"
#include "text/Windows1250.h"
#include "ui_PrenosNaFTPForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QScreen>
#include <limits>

using namespace kavrin;

namespace {

// The part of a local path after its last separator, whole.
QString lastPathPart(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(slash + 1);
}

} // namespace

TPrenosNaFTP::Hold::Hold(TPrenosNaFTP* window)
    : m_window(window)
{
    m_window->addHold();
}

TPrenosNaFTP::Hold::~Hold()
{
    if (m_window)
        m_window->dropHold();
}

TPrenosNaFTP::TPrenosNaFTP(ftp::ConnectionProfile main, ftp::ConnectionProfile second, QWidget* parent)
    : QWidget(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
    , Fajli(QStringLiteral("BAZA"), this)
    , ui(std::make_unique<Ui::TPrenosNaFTP>())
    , m_mainProfile(std::move(main))
    , m_secondProfile(std::move(second))
{
    ui->setupUi(this);
    setFixedSize(size());
    ui->AdvOfficePager1->tabBar()->setExpanding(false);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    Fajli.setFieldDefs({store::FieldDef {QStringLiteral("NAZIV1"), store::FieldType::Text, 200, true}});
    Fajli.addLine(QStringLiteral("select cast(naziv as char(200)) as NAZIV1 FROM book"));
    Fajli.addLine(QStringLiteral("WHERE NAZIV = 'XXrt'"));

    connect(ui->AdvGlowButton1, &QToolButton::clicked, this, &TPrenosNaFTP::AdvGlowButton1Click);
    connect(&IdFTP1, &ftp::FtpClient::work, this, &TPrenosNaFTP::IdFTP1Work);
    FormCreate();
}

TPrenosNaFTP::~TPrenosNaFTP() = default;

QPointer<TPrenosNaFTP>& TPrenosNaFTP::current()
{
    static QPointer<TPrenosNaFTP> window;
    return window;
}

void TPrenosNaFTP::dropHold()
{
    if (--m_holds == 0 && m_released)
        deleteLater();
}

void TPrenosNaFTP::FormCreate()
{
}

bool TPrenosNaFTP::connectWith(const ftp::ConnectionProfile& profile, const QList<QByteArray>& folders)
{
    const Hold inUse(this);
    IdFTP1.setProfile(profile);
    try {
        IdFTP1.connectToHost();
    } catch (const std::exception&) {
        return false; // the client has closed the connection
    }
    if (!IdFTP1.isConnected())
        return false;
    try {
        IdFTP1.setBinary();
        for (const QByteArray& folder : folders)
            IdFTP1.changeDir(folder);
    } catch (const std::exception&) {
        return false; // still connected, standing in the last folder entered
    }
    return true;
}

bool TPrenosNaFTP::VzpostaviPovezavo(const QString& folder)
{
    QList<QByteArray> folders {QByteArrayLiteral("Sorvanta")};
    if (!text::isBlank(folder))
        folders.append(text::encodeRemoteName(folder));
    return connectWith(m_mainProfile, folders);
}

bool TPrenosNaFTP::VzpostaviPovezavoMerilux(const QString& first, const QString& second, const QString& third)
{
    return connectWith(m_secondProfile,
        {text::encodeRemoteName(first), text::encodeRemoteName(second), text::encodeRemoteName(third)});
}

void TPrenosNaFTP::PrekiniPovezavo()
{
    IdFTP1.disconnectFromHost();
}

void TPrenosNaFTP::ListaDatotekNaFtp(const QString& taxNumber)
{
    const Hold inUse(this);
    ui->Edit1->setText(taxNumber);
    if (!IdFTP1.isConnected())
        return;

    QList<text::ListingLine> lines;
    for (const QByteArray& raw : IdFTP1.list())
        lines.append(text::decodeListingLine(raw));
    ftp::sortListing(lines);
    ui->FileListBox1->clear();
    for (const text::ListingLine& line : lines)
        ui->FileListBox1->addItem(line.text);

    for (const text::ListingLine& line : lines) {
        const auto match = ftp::matchListingLine(line.text, ui->Edit1->text());
        if (!match)
            continue;
        Fajli.append();
        Fajli.setFieldText(QStringLiteral("NAZIV1"), match->name);
        Fajli.post();
        // The list keeps the name without trailing spaces; the server gets the same characters.
        const QString stored = Fajli.fieldText(QStringLiteral("NAZIV1"));
        m_remoteNames.insert(stored, text::encodePart(line, match->from, stored.size()));
    }
}

QByteArray TPrenosNaFTP::remoteName(const QString& name) const
{
    return m_remoteNames.value(name, text::encodeRemoteName(name));
}

bool TPrenosNaFTP::PotegniDatoteko(const QString& name, const QString& localFolder, const QString& remoteFolder)
{
    const Hold inUse(this);
    const QString localPath = text::joinLocalPath(localFolder, name);
    const QByteArray remotePath = text::joinRemotePath(text::encodeRemoteName(remoteFolder), remoteName(name));
    if (!IdFTP1.isConnected())
        return false;
    // A name that could lead out of the folder is never written: the file stays on the server.
    if (!text::isSafeLocalFileName(name))
        return false;

    ui->EllipsLabel19->setText(QStringLiteral("Kopiram podatke v računalo."));
    const qint64 size = IdFTP1.size(remotePath);
    setProgressMaximum(size);
    ui->AdvProgressBar1->setValue(0);

    try {
        text::ReplacingFile local(localPath);
        if (!local.open())
            return false;
        const qint64 received = IdFTP1.retrieve(remotePath, local.device());
        if (size >= 0 && received != size)
            return false;
        if (!local.commit())
            return false;
    } catch (const std::exception&) {
        return false;
    }
    ui->EllipsLabel19->setText(QStringLiteral("Podatki skopirani na računalo!"));
    return true;
}

bool TPrenosNaFTP::SkopirajDatoteko(const QString& localPath, const QString& remoteFolder)
{
    const Hold inUse(this);
    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly))
        throw std::runtime_error(local.errorString().toStdString());
    const qint64 size = local.size();
    local.close();

    const QByteArray remotePath
        = text::joinRemotePath(text::encodeRemoteName(remoteFolder), text::encodeRemoteName(lastPathPart(localPath)));
    ui->EllipsLabel19->setText(QStringLiteral("Kopiram podatke na strežnik."));
    setProgressMaximum(size);
    ui->AdvProgressBar1->setValue(0);

    bool stored = false;
    try {
        if (local.open(QIODevice::ReadOnly)) {
            IdFTP1.store(local, remotePath);
            stored = true;
        }
    } catch (const std::exception&) {
    }
    if (stored)
        ui->EllipsLabel19->setText(QStringLiteral("Podatki skopirani na strežnik!"));
    ui->EllipsLabel1->hide();
    return stored;
}

void TPrenosNaFTP::PreimenujDatoteko(const QString& name, const QString& remoteFolder)
{
    const Hold inUse(this);
    const QByteArray folder = text::encodeRemoteName(remoteFolder);
    const QByteArray oldName = text::joinRemotePath(folder, remoteName(name));
    const QByteArray newName = text::joinRemotePath(folder, QByteArrayLiteral("Uvozeno-") + remoteName(name));
    if (!IdFTP1.isConnected())
        return;
    IdFTP1.rename(oldName, newName);
}

void TPrenosNaFTP::AdvGlowButton1Click()
{
    PrekiniPovezavo(); // also cuts off an operation that is waiting on the server
    close();
}

void TPrenosNaFTP::setProgressMaximum(qint64 maximum)
{
    m_progressShift = 0;
    while ((maximum >> m_progressShift) > std::numeric_limits<int>::max())
        ++m_progressShift;
    const int scaled = int(maximum >> m_progressShift);
    // A maximum below the minimum (no size known) must not fail.
    ui->AdvProgressBar1->setRange(0, std::max(scaled, 0));
}

void TPrenosNaFTP::IdFTP1Work(ftp::FtpClient::WorkMode, qint64 count)
{
    const qint64 scaled = count >> m_progressShift;
    ui->AdvProgressBar1->setValue(int(std::min<qint64>(scaled, ui->AdvProgressBar1->maximum())));
    QCoreApplication::processEvents();
}

void TPrenosNaFTP::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (!m_released)
        FormClose();
}

void TPrenosNaFTP::FormClose()
{
    Fajli.close();
    m_released = true;
    if (m_holds == 0)
        deleteLater();
}
