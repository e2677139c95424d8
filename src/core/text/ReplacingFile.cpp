#include "text/ReplacingFile.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace kavrin::text {
namespace {

// Collisions need another process writing the same name at the same moment; a handful of
// tries is plenty.
constexpr int kCreateTries = 8;
// Leaves room in a 255-character name for the dot, the random part and ".part".
constexpr qsizetype kNameInTempName = 200;

QString temporaryName(const QString& targetName)
{
    const quint64 random = QRandomGenerator::global()->generate64();
    return u'.' + targetName.left(kNameInTempName) + u'.' + QString::number(random, 36) + QStringLiteral(".part");
}

} // namespace

ReplacingFile::ReplacingFile(const QString& targetPath)
    : m_target(QFileInfo(targetPath).absoluteFilePath())
{
}

ReplacingFile::~ReplacingFile()
{
    discard();
}

bool ReplacingFile::open()
{
    if (m_file.isOpen() || m_committed) {
        m_error = QStringLiteral("The file is already open.");
        return false;
    }
    const QFileInfo target(m_target);
    const QDir folder = target.absoluteDir();
    for (int attempt = 0; attempt < kCreateTries; ++attempt) {
        m_file.setFileName(folder.filePath(temporaryName(target.fileName())));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            platform::markHidden(m_file.fileName());
            m_error.clear();
            return true;
        }
        m_error = m_file.errorString();
        if (!m_file.exists())
            break; // not a name clash: the folder refuses the file
    }
    m_file.setFileName(QString());
    return false;
}

bool ReplacingFile::commit()
{
    if (!m_file.isOpen() || m_committed) {
        m_error = QStringLiteral("The file is not open.");
        return false;
    }
    bool ok = m_file.error() == QFileDevice::NoError;
    if (ok && !platform::flushToDisk(m_file)) {
        ok = false;
        m_error
            = QStringLiteral("Cannot write %1 through to the disk.").arg(QDir::toNativeSeparators(m_file.fileName()));
    }
    if (ok) {
        m_file.close();
        ok = m_file.error() == QFileDevice::NoError;
    }
    if (!ok) {
        if (m_file.error() != QFileDevice::NoError)
            m_error = m_file.errorString();
        discard();
        return false;
    }
    // The target must not inherit the temporary file's hidden attribute.
    platform::clearHidden(m_file.fileName());
    if (!platform::replaceFile(m_file.fileName(), m_target)) {
        m_error = QStringLiteral("Cannot replace %1.").arg(QDir::toNativeSeparators(m_target));
        discard();
        return false;
    }
    m_committed = true;
    return true;
}

void ReplacingFile::discard()
{
    if (m_committed || m_file.fileName().isEmpty())
        return;
    m_file.close();
    QFile::remove(m_file.fileName());
    m_file.setFileName(QString());
}

} // namespace kavrin::text
