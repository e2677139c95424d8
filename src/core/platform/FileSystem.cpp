#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kavrin::platform {

#ifdef Q_OS_WIN

namespace {

std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

void setHiddenAttribute(const QString& path, bool hidden)
{
    const std::wstring native = nativePath(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    DWORD wanted = hidden ? (attributes | FILE_ATTRIBUTE_HIDDEN) : (attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN));
    if (wanted == 0)
        wanted = FILE_ATTRIBUTE_NORMAL;
    if (wanted != attributes)
        SetFileAttributesW(native.c_str(), wanted);
}

} // namespace

bool isHiddenOrSystem(const QFileInfo& info)
{
    const DWORD attributes = GetFileAttributesW(nativePath(info.absoluteFilePath()).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

void markHidden(const QString& path)
{
    setHiddenAttribute(path, true);
}

void clearHidden(const QString& path)
{
    setHiddenAttribute(path, false);
}

bool flushToDisk(QFile& file)
{
    if (!file.flush())
        return false;
    const intptr_t handle = _get_osfhandle(file.handle());
    if (handle == -1)
        return false;
    return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool replaceFile(const QString& from, const QString& to)
{
    return MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
        != 0;
}

#else

bool isHiddenOrSystem(const QFileInfo& info)
{
    return info.fileName().startsWith(u'.');
}

void markHidden(const QString&) { }

void clearHidden(const QString&) { }

bool flushToDisk(QFile& file)
{
    if (!file.flush())
        return false;
    const int fd = file.handle();
    if (fd < 0)
        return false;
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool replaceFile(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return false;
    // Make the new directory entry itself durable; the rename has happened either way.
    const int dir = ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

#endif

} // namespace kavrin::platform
