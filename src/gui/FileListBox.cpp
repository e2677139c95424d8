#include "FileListBox.h"

#include "KavrinApplication.h"
#include "platform/FileSystem.h"
#include "text/Wildcard.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <stdexcept>

namespace {
constexpr int entryHeight = 13;
}

QString enterFolder(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = info.exists() && !info.isDir() ? info.absolutePath() : path;
    if (!QDir::setCurrent(folder))
        throw std::runtime_error("File not found");
    return QDir::currentPath();
}

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
    , m_directory(QDir::currentPath())
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setFrameShape(QFrame::Box);
}

void FileListBox::setDirectory(const QString& path)
{
    const QString entered = enterFolder(path);
    if (entered.compare(m_directory, Qt::CaseInsensitive) == 0)
        return;
    m_directory = entered;
    read();
}

void FileListBox::setMask(const QString& mask)
{
    if (mask == m_mask)
        return;
    m_mask = mask;
    read();
}

void FileListBox::showEvent(QShowEvent* event)
{
    QListWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    kavrin::gui::toErrorDisplay([this] { read(); })();
}

void FileListBox::read()
{
    if (!m_shown)
        return;
    enterFolder(m_directory);
    clear();

    const QFileInfoList files = QDir(m_directory).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
    QStringList names;
    for (const QString& pattern : kavrin::text::splitMask(m_mask)) {
        for (const QFileInfo& file : files) {
            if (!kavrin::platform::isHiddenOrSystem(file) && !file.isDir()
                && kavrin::text::matchesPattern(file.fileName(), pattern))
                names.append(file.fileName());
        }
    }
    QCollator order(QLocale(QLocale::Slovenian, QLocale::Slovenia));
    order.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return order(a, b); });
    for (const QString& name : names) {
        auto* entry = new QListWidgetItem(name, this);
        entry->setSizeHint(QSize(0, entryHeight));
    }
}
