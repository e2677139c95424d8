#include "support/WorkingFolder.h"

#include <QDir>

WorkingFolder::WorkingFolder()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

WorkingFolder::~WorkingFolder()
{
    QDir::setCurrent(m_previous);
}
