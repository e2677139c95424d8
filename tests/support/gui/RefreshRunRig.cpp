#include "support/gui/RefreshRunRig.h"

#include "KavrinOsnovaForm.h"
#include "PrenosNaFTPForm.h"
#include "support/Files.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

RefreshRunRig::RefreshRunRig()
{
    QDir(transferFolder()).removeRecursively();
    QFile::remove(transferFolder());
    FtpTestServer::makeProgramFolder(m_serverRoot.path());
}

RefreshRunRig::~RefreshRunRig()
{
    m_window.reset();
    for (QWidget* widget : QApplication::topLevelWidgets())
        delete qobject_cast<TPrenosNaFTP*>(widget);
    m_server.reset();
    QDir(transferFolder()).removeRecursively();
    QFile::remove(transferFolder());
}

QString RefreshRunRig::transferFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Prenosi"));
}

bool RefreshRunRig::serve(const QString& name, const QByteArray& bytes)
{
    return writeFile(remote() + QLatin1Char('/') + name, bytes);
}

bool RefreshRunRig::startServer(const QString& faults, QString* error)
{
    m_server = std::make_unique<FtpTestServer>(m_serverRoot.path());
    m_server->setFaults(faults);
    return m_server->start(error);
}

bool RefreshRunRig::startProgram(const QList<BookRow>& clients, int replyTimeoutMs)
{
    {
        TKavrinOsnova first(m_server->profile(replyTimeoutMs)); // creates the book
    }
    QDir::setCurrent(m_folder.path());
    insertBookRows(m_folder.path(), clients);
    m_window = std::make_unique<TKavrinOsnova>(m_server->profile(replyTimeoutMs));
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get());
}

QStringList RefreshRunRig::commands(const QString& pattern) const
{
    return m_server->commands().filter(QRegularExpression(pattern));
}

void RefreshRunRig::clickOsvezi()
{
    QTest::mouseClick(m_window->findChild<QToolButton*>(QStringLiteral("AdvGlowButton11")), Qt::LeftButton);
}
